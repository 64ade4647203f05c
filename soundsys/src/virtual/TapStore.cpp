#include "virtual/TapStore.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "core/Volume.h"
#include "virtual/WavFile.h"

namespace tws {

namespace {
// Untouched reserved memory costs nothing resident; it spares regrowth copies.
constexpr uint64_t kReserve = 4u << 20;
}  // namespace

Tap::Tap(uint32_t index, const Format& format, uint64_t limit)
    : index_(index), format_(format), limit_(limit) {
    data_.reserve(std::min(limit, kReserve));
}

void Tap::append(const uint8_t* data, uint32_t bytes, int32_t volume) {
    std::lock_guard lock(mutex_);
    total_ += bytes;
    const uint64_t room = limit_ > data_.size() ? limit_ - data_.size() : 0;
    // Whole frames only, so the stored bytes stay a valid sound.
    uint64_t take = std::min<uint64_t>(bytes, room);
    take -= take % format_.blockAlign;
    if (take == 0) return;
    const size_t at = data_.size();
    try {
        data_.insert(data_.end(), data, data + take);
    } catch (const std::bad_alloc&) {
        return;  // the tap stays short; playback goes on
    }
    if (volume != 0) applyVolume(data_.data() + at, data_.data() + at, static_cast<uint32_t>(take), format_, volume);
}

void Tap::info(tws_virtual_tap& out) {
    std::lock_guard lock(mutex_);
    out = {};
    out.kept = data_.size();
    out.total = total_;
    out.live = live_ ? 1 : 0;
    out.format_size = format_.recordSize();
    std::memcpy(&out.format, &format_.record, format_.recordSize());
}

int64_t Tap::read(uint64_t offset, void* dest, uint64_t capacity) {
    std::lock_guard lock(mutex_);
    if (offset >= data_.size() || dest == nullptr) return 0;
    const uint64_t n = std::min<uint64_t>(capacity, data_.size() - offset);
    std::memcpy(dest, data_.data() + offset, n);
    return static_cast<int64_t>(n);
}

int64_t Tap::drain(void* dest, uint64_t capacity) {
    std::lock_guard lock(mutex_);
    if (dest == nullptr) return 0;
    uint64_t n = std::min<uint64_t>(capacity, data_.size());
    n -= n % format_.blockAlign;
    std::memcpy(dest, data_.data(), n);
    data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<int64_t>(n);
}

bool Tap::writeWav(const std::string& path) {
    std::lock_guard lock(mutex_);
    return writeWavFile(path, format_, data_.data(), data_.size());
}

uint64_t Tap::finish() {
    std::lock_guard lock(mutex_);
    live_ = false;
    return data_.size();
}

std::shared_ptr<Tap> TapStore::open(const Format& format) {
    std::lock_guard lock(mutex_);
    auto tap = std::make_shared<Tap>(next_, format, limit_);
    taps_[next_++] = {tap, false, 0};
    return tap;
}

void TapStore::close(const std::shared_ptr<Tap>& tap) {
    const uint64_t kept = tap->finish();
    std::string directory;
    {
        std::lock_guard lock(mutex_);
        directory = directory_;
    }
    if (!directory.empty())
        tap->writeWav(directory + "/out-" + std::to_string(tap->index()) + ".wav");

    std::lock_guard lock(mutex_);
    auto it = taps_.find(tap->index());
    if (it == taps_.end()) return;
    it->second.released = true;
    it->second.kept = kept;
    uint64_t held = 0;
    for (auto& [index, entry] : taps_)
        if (entry.released) held += entry.kept;
    for (auto e = taps_.begin(); e != taps_.end() && held > kReleasedBudget;) {
        if (e->second.released) {
            held -= e->second.kept;
            e = taps_.erase(e);
        } else {
            ++e;
        }
    }
}

std::shared_ptr<Tap> TapStore::find(uint32_t index) {
    std::lock_guard lock(mutex_);
    auto it = taps_.find(index);
    return it == taps_.end() ? nullptr : it->second.tap;
}

uint32_t TapStore::count() {
    std::lock_guard lock(mutex_);
    return next_;
}

void TapStore::setDirectory(const std::string& directory) {
    std::lock_guard lock(mutex_);
    directory_ = directory;
}

void TapStore::setLimit(uint64_t bytes) {
    std::lock_guard lock(mutex_);
    limit_ = bytes;
}

void TapStore::clearReleased() {
    std::lock_guard lock(mutex_);
    std::erase_if(taps_, [](const auto& item) { return item.second.released; });
}

void TapStore::restartNumbering() {
    std::lock_guard lock(mutex_);
    if (std::none_of(taps_.begin(), taps_.end(), [](const auto& item) { return !item.second.released; }))
        next_ = 0;
}

}  // namespace tws
