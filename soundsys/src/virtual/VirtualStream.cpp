#include "virtual/VirtualStream.h"

#include <cmath>

#include "virtual/CounterSignal.h"
#include "virtual/TapStore.h"
#include "virtual/VirtualDriver.h"

namespace tws {

namespace {
// Wake a little after the computed instant so rounding never leaves the
// cursor one frame short of the position that is due.
constexpr int64_t kSlackNs = 1000;
}

VirtualStream::VirtualStream(BufferCore& buffer, VirtualDriver& driver, std::shared_ptr<Tap> tap)
    : buffer_(buffer), driver_(driver), tap_(std::move(tap)), rate_(buffer.format().rate) {}

VirtualStream::~VirtualStream() {
    driver_.forget(this);
    if (started_) driver_.clock().remove(this);
    if (tap_) driver_.taps().close(tap_);
}

tws_result VirtualStream::start() {
    tws_result r = driver_.clock().add(this);
    started_ = r == TWS_OK;
    if (started_) driver_.remember(this);
    return r;
}

void VirtualStream::lose(uint32_t restoreFailures) {
    restoreFailures_.store(restoreFailures);
    buffer_.setLost();
}

void VirtualStream::wake() { driver_.clock().wake(); }

tws_result VirtualStream::restore() {
    uint32_t left = restoreFailures_.load();
    while (left > 0) {
        if (restoreFailures_.compare_exchange_weak(left, left - 1)) return TWS_ERR_BUFFERLOST;
    }
    return TWS_OK;
}

void VirtualStream::reanchor(int64_t now) {
    anchorNs_ = now;
    anchorFrames_ = moved_;
}

int64_t VirtualStream::tick(const Clock::Tick& tick, std::vector<PendingNotice>& out) {
    tick_ = &tick;
    auto service = buffer_.service(*this, out);
    tick_ = nullptr;
    if (!service.running || tick.manual) return Clock::kNever;
    if (service.framesToNextEvent == Ring::kNoEvent) return tick.now + Clock::kStepNs;
    const double frames = static_cast<double>(moved_ - anchorFrames_ + service.framesToNextEvent);
    const double seconds = frames / (rate_ * tick.speed);
    if (seconds > 1e6) return tick.now + Clock::kStepNs;  // far off; keep stepping
    return anchorNs_ + static_cast<int64_t>(std::ceil(seconds * 1e9)) + kSlackNs;
}

uint64_t VirtualStream::framesDue(const RunInfo& info) {
    const Clock::Tick& tick = *tick_;
    if (info.generation != seenGeneration_) {
        // Started (again): time runs from this pass.
        seenGeneration_ = info.generation;
        reanchor(tick.now);
    }
    volume_ = info.volume;
    uint64_t due = 0;
    if (tick.manual) {
        due = tick.manualFrames;
    } else {
        const double elapsed = static_cast<double>(tick.now - anchorNs_) * 1e-9;
        const auto target = anchorFrames_ + static_cast<uint64_t>(std::floor(elapsed * rate_ * tick.speed));
        due = target > moved_ ? target - moved_ : 0;
    }
    moved_ += due;
    return due;
}

void VirtualStream::chunk(uint8_t* data, uint32_t bytes) {
    const auto& format = buffer_.format();
    if (tap_) {
        tap_->append(data, bytes, volume_);
    } else {
        const uint32_t frames = bytes / format.blockAlign;
        fillCounter(data, frames, captured_, format);
        captured_ += frames;
    }
}

}  // namespace tws
