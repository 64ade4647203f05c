#include "directsound/DsOutputStream.h"

#include <algorithm>
#include <cstring>

namespace tws {

namespace {

constexpr DWORD kLostStepMs = 10;
constexpr uint32_t kAheadPeriods = 6;
// The system takes sound from its write cursor, which runs ahead of what it
// plays by a lead of its own (about 50 ms under Wine): the device buffer
// holds that lead, what is queued beyond it, and silence behind.
constexpr uint32_t kLeadPeriods = 16;

}  // namespace

DsOutputStream::DsOutputStream(BufferCore& buffer)
    : DsStream(buffer),
      format_(buffer.format()),
      feed_(format_),
      cursor_(format_.rate, buffer.bytes() / format_.blockAlign) {}

DsOutputStream::~DsOutputStream() {
    stopThread();
    if (dsb_) dsb_->Stop();
}

tws_result DsOutputStream::create(IDirectSound8* ds, BufferCore& buffer, std::unique_ptr<Stream>& out) {
    std::unique_ptr<DsOutputStream> s(new DsOutputStream(buffer));
    // The ring never moves once allocated: the feeder reads it ahead of the
    // cursor, always under the buffer's lock (inside service()).
    void* base = nullptr;
    uint32_t bytes = 0;
    if (tws_result r = buffer.lock(0, 0, true, false, &base, &bytes, nullptr, nullptr)) return r;
    const uint32_t align = s->format_.blockAlign;
    s->ringFrames_ = bytes / align;
    s->feed_.attach(static_cast<uint8_t*>(base), s->ringFrames_);
    s->period_ = periodFrames(s->format_);
    // Ahead of the system's write cursor by a few of the feeder's periods: a
    // volume change or a stop is heard that soon after the system's own lead.
    // Never more than half the ring: the owner writes the other half.
    s->maxAhead_ = std::max(2 * s->period_, std::min(s->ringFrames_ / 2, kAheadPeriods * s->period_));
    s->deviceFrames_ = s->maxAhead_ + (kLeadPeriods + 4) * s->period_;
    s->staging_.assign(size_t{s->maxAhead_} * align, s->format_.silenceByte());

    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_GLOBALFOCUS;
    desc.dwBufferBytes = s->deviceFrames_ * align;
    WAVEFORMATEXTENSIBLE record;
    static_assert(sizeof record == sizeof s->format_.record, "the module's format record is the system's");
    std::memcpy(&record, &s->format_.record, sizeof record);
    desc.lpwfxFormat = &record.Format;
    if (HRESULT hr = ds->CreateSoundBuffer(&desc, s->dsb_.put(), nullptr); FAILED(hr)) return dsResult(hr);
    if (tws_result r = s->startThread()) return r;
    out = std::move(s);
    return TWS_OK;
}

void DsOutputStream::loop(std::vector<PendingNotice>& batch, const std::atomic<bool>& released) {
    while (!quitting()) {
        if (lost_ && !adoptRestored()) {
            // No device buffer: the cursor runs on the clock so the owner
            // sees the buffer move, hears of the loss and gets to restore it.
            room_ = 0;
            auto service = buffer_.service(*this, batch);
            if (!deliver(batch, released)) return;
            sleep(service.running ? kLostStepMs : INFINITE);
            continue;
        }
        if (!measure()) {
            loseDevice();
            continue;
        }
        staged_ = 0;
        restart_ = false;
        auto service = buffer_.service(*this, batch);
        if (!deliver(batch, released)) return;
        if (!service.running) {
            if (active_) halt();  // stop drops what the device still holds
            cursor_.resync();
            sleep(INFINITE);
            continue;
        }
        if (restart_ && active_) halt();
        const bool starting = !active_;
        if (staged_ > 0 && !writeStaged()) {
            loseDevice();
            continue;
        }
        // Once the device plays, its write cursor jumps ahead by its lead:
        // queue beyond that at once, before it reaches the end of what is there.
        if (!(starting && active_)) sleep(kPeriodMs);
    }
}

bool DsOutputStream::measure() {
    if (!active_) {
        queued_ = 0;
        room_ = maxAhead_;
        return true;
    }
    DWORD play = 0, write = 0;
    if (FAILED(dsb_->GetCurrentPosition(&play, &write))) return false;
    const uint32_t align = format_.blockAlign;
    const uint32_t now = play / align % deviceFrames_;
    devPlayed_ += (now + deviceFrames_ - lastPlay_) % deviceFrames_;
    lastPlay_ = now;
    // The device has taken the frames up to its write cursor already.
    const uint32_t lead = (write / align % deviceFrames_ + deviceFrames_ - now) % deviceFrames_;
    devNext_ = std::max(devNext_, devPlayed_ + lead);  // a late feeder leaves a gap
    queued_ = devNext_ - devPlayed_;
    const uint64_t ahead = std::min<uint64_t>(queued_ - lead, maxAhead_);
    // Never past what the device buffer holds beside what it still plays.
    const uint64_t free = deviceFrames_ - std::min<uint64_t>(deviceFrames_, queued_ + 2 * period_);
    const auto room = static_cast<uint32_t>(std::min<uint64_t>(maxAhead_ - ahead, free));
    room_ = room >= period_ ? room - room % period_ : 0;
    return true;
}

bool DsOutputStream::put(uint64_t at, const uint8_t* data, uint32_t frames) {
    const uint32_t align = format_.blockAlign;
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    const auto offset = static_cast<DWORD>(at % deviceFrames_ * align);
    if (FAILED(dsb_->Lock(offset, frames * align, &p1, &n1, &p2, &n2, 0))) return false;
    if (data != nullptr) {
        std::memcpy(p1, data, n1);
        if (p2 != nullptr) std::memcpy(p2, data + n1, n2);
    } else {
        std::memset(p1, format_.silenceByte(), n1);
        if (p2 != nullptr) std::memset(p2, format_.silenceByte(), n2);
    }
    return SUCCEEDED(dsb_->Unlock(p1, n1, p2, n2));
}

bool DsOutputStream::begin() {
    dsb_->Stop();
    if (FAILED(dsb_->SetCurrentPosition(0)) || !put(0, nullptr, deviceFrames_)) return false;
    devPlayed_ = devNext_ = 0;
    lastPlay_ = 0;
    return true;
}

void DsOutputStream::halt() {
    dsb_->Stop();
    active_ = false;
}

bool DsOutputStream::writeStaged() {
    if (!active_ && !begin()) return false;
    if (!put(devNext_, staging_.data(), staged_)) return false;
    devNext_ += staged_;
    cursor_.wrote(staged_);
    // Silence in the rest of the device buffer, up to where it plays now.
    const uint64_t free = deviceFrames_ - std::min<uint64_t>(deviceFrames_, devNext_ - devPlayed_);
    if (free > 0 && !put(devNext_, nullptr, static_cast<uint32_t>(free))) return false;
    if (!active_) {
        if (FAILED(dsb_->Play(0, 0, DSBPLAY_LOOPING))) return false;
        active_ = true;
    }
    return true;
}

void DsOutputStream::loseDevice() {
    lost_ = true;
    active_ = false;
    cursor_.lose();
    buffer_.setLost();
}

bool DsOutputStream::adoptRestored() {
    std::lock_guard lock(restoreMutex_);
    if (!restored_) return false;
    restored_ = false;
    lost_ = false;
    cursor_.resync();  // feed again from wherever the cursor is
    return true;
}

tws_result DsOutputStream::restore() {
    // The feeder leaves the device buffer alone while the buffer is lost.
    if (FAILED(dsb_->Restore())) return TWS_ERR_BUFFERLOST;
    {
        std::lock_guard lock(restoreMutex_);
        restored_ = true;
    }
    wake();
    return TWS_OK;
}

uint64_t DsOutputStream::framesDue(const RunInfo& info) {
    const auto step = cursor_.step(info, feed_.ended(), lost_, queued_);
    if (step.restarted) {
        // Started, moved or switched to looping: feed afresh from the cursor.
        restart_ = true;
        feed_.restart(info.cursor);
        queued_ = 0;
    }
    if (!lost_) {
        feed_.fill(staging_.data(), room_, info.looping, info.volume);
        staged_ = room_;
    }
    return step.due;
}

}  // namespace tws
