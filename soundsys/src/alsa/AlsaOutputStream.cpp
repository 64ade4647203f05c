#include "alsa/AlsaOutputStream.h"

#include <algorithm>
#include <cerrno>

namespace tws {

namespace {

constexpr int kRetryMs = 20;
constexpr int kLostStepMs = 10;

}  // namespace

AlsaOutputStream::AlsaOutputStream(const std::string& name, BufferCore& buffer)
    : AlsaStream(buffer),
      name_(name),
      format_(buffer.format()),
      feed_(format_),
      cursor_(format_.rate, buffer.bytes() / format_.blockAlign) {}

AlsaOutputStream::~AlsaOutputStream() { stopThread(); }

tws_result AlsaOutputStream::create(const std::string& name, BufferCore& buffer,
                                    std::unique_ptr<Stream>& out) {
    std::unique_ptr<AlsaOutputStream> s(new AlsaOutputStream(name, buffer));
    // The ring never moves once allocated: the feeder reads it ahead of the
    // cursor, always under the buffer's lock (inside service()).
    void* base = nullptr;
    uint32_t bytes = 0;
    if (tws_result r = buffer.lock(0, 0, true, false, &base, &bytes, nullptr, nullptr)) return r;
    s->ringFrames_ = bytes / s->format_.blockAlign;
    s->feed_.attach(static_cast<uint8_t*>(base), s->ringFrames_);
    if (tws_result r = AlsaPcm::open(name, SND_PCM_STREAM_PLAYBACK, s->format_, s->ringFrames_, s->pcm_))
        return r;
    s->stagingFrames_ = s->pcm_->bufferFrames();
    s->staging_.assign(static_cast<size_t>(s->stagingFrames_) * s->format_.blockAlign,
                       s->format_.silenceByte());
    s->maxAhead_ = std::max(s->pcm_->periodFrames(), s->ringFrames_ / 2);
    if (tws_result r = s->startThread()) return r;
    out = std::move(s);
    return TWS_OK;
}

void AlsaOutputStream::loop(std::vector<PendingNotice>& batch, const std::atomic<bool>& released) {
    while (!quitting()) {
        if (lost_ && !adoptRestored()) {
            // No device: the cursor runs on the clock so the owner sees the
            // buffer move, hears of the loss and gets to restore it.
            room_ = 0;
            auto service = buffer_.service(*this, batch);
            if (!deliver(batch, released)) return;
            wake_.wait(service.running ? kLostStepMs : -1);
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
            if (active_) pcm_->reset();  // stop drops what the device still holds
            active_ = false;
            cursor_.resync();
            wake_.wait(-1);
            continue;
        }
        if (restart_ && active_) pcm_->reset();
        if (staged_ > 0) {
            active_ = true;
            if (!writeStaged()) {
                loseDevice();
                continue;
            }
        }
        // A period at most: some devices (the sound server's plugin among
        // them) signal readiness late right after a start. With nothing
        // staged the device may well be ready (we hold back so as not to read
        // past what the owner wrote): then only the period's sleep counts.
        if (staged_ > 0) {
            pcm_->wait(wake_.fd(), pcm_->periodMs());
            wake_.drain();
        } else {
            wake_.wait(pcm_->periodMs());
        }
    }
}

bool AlsaOutputStream::measure() {
    snd_pcm_t* pcm = pcm_->get();
    snd_pcm_sframes_t avail = snd_pcm_avail_update(pcm);
    if (avail < 0) {
        // An xrun played out everything queued; the cursor catches up below.
        if (pcm_->recover(static_cast<int>(avail)) < 0) return false;
        avail = snd_pcm_avail_update(pcm);
        if (avail < 0) return false;
    }
    snd_pcm_sframes_t delay = 0;
    if (snd_pcm_delay(pcm, &delay) < 0 || delay < 0) delay = 0;
    delay_ = static_cast<uint64_t>(delay);
    const uint32_t period = pcm_->periodFrames();
    // Never read further ahead than the ring's owner has written.
    const uint64_t ahead = std::min<uint64_t>(delay_, maxAhead_);
    const auto room = static_cast<uint32_t>(
        std::min<uint64_t>({static_cast<uint64_t>(avail), stagingFrames_, maxAhead_ - ahead}));
    room_ = room >= period ? room - room % period : 0;
    return true;
}

bool AlsaOutputStream::writeStaged() {
    const uint32_t align = format_.blockAlign;
    uint32_t done = 0;
    while (done < staged_ && !quitting()) {
        snd_pcm_sframes_t n = snd_pcm_writei(pcm_->get(), staging_.data() + size_t{done} * align,
                                             staged_ - done);
        if (n == -EAGAIN) {
            pcm_->wait(-1, kRetryMs);
        } else if (n < 0) {
            if (pcm_->recover(static_cast<int>(n)) < 0) return false;
        } else {
            done += static_cast<uint32_t>(n);
            cursor_.wrote(static_cast<uint64_t>(n));
        }
    }
    return true;
}

void AlsaOutputStream::loseDevice() {
    lost_ = true;
    active_ = false;
    pcm_.reset();
    cursor_.lose();
    buffer_.setLost();
}

bool AlsaOutputStream::adoptRestored() {
    std::lock_guard lock(restoreMutex_);
    if (!restored_) return false;
    pcm_ = std::move(restored_);
    lost_ = false;
    cursor_.resync();  // feed again from wherever the cursor is
    return true;
}

tws_result AlsaOutputStream::restore() {
    std::unique_ptr<AlsaPcm> pcm;
    if (AlsaPcm::open(name_, SND_PCM_STREAM_PLAYBACK, format_, ringFrames_, pcm) != TWS_OK)
        return TWS_ERR_BUFFERLOST;
    {
        std::lock_guard lock(restoreMutex_);
        restored_ = std::move(pcm);
    }
    wake_.signal();
    return TWS_OK;
}

uint64_t AlsaOutputStream::framesDue(const RunInfo& info) {
    const auto step = cursor_.step(info, feed_.ended(), lost_, delay_);
    if (step.restarted) {
        // Started, moved or switched to looping: feed afresh from the cursor.
        restart_ = true;
        feed_.restart(info.cursor);
        delay_ = 0;
    }
    if (!lost_) stage(info);
    return step.due;
}

void AlsaOutputStream::stage(const RunInfo& info) {
    feed_.fill(staging_.data(), room_, info.looping, info.volume);
    staged_ = room_;
}

}  // namespace tws
