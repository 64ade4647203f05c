#include "alsa/AlsaCaptureStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace tws {

AlsaCaptureStream::~AlsaCaptureStream() { stopThread(); }

tws_result AlsaCaptureStream::create(const std::string& name, BufferCore& buffer,
                                     std::unique_ptr<Stream>& out) {
    std::unique_ptr<AlsaCaptureStream> s(new AlsaCaptureStream(buffer));
    const uint32_t ringFrames = buffer.bytes() / s->format_.blockAlign;
    if (tws_result r = AlsaPcm::open(name, SND_PCM_STREAM_CAPTURE, s->format_, ringFrames, s->pcm_))
        return r;
    s->stagingFrames_ = s->pcm_->bufferFrames();
    // Silence from the start: the ring never receives bytes the device did not write.
    s->staging_.assign(static_cast<size_t>(s->stagingFrames_) * s->format_.blockAlign,
                       s->format_.silenceByte());
    if (tws_result r = s->startThread()) return r;
    out = std::move(s);
    return TWS_OK;
}

void AlsaCaptureStream::loop(std::vector<PendingNotice>& batch, const std::atomic<bool>& released) {
    while (!quitting()) {
        staged_ = 0;
        copied_ = 0;
        if (active_ && !take()) {
            // The device is gone: the buffer stops, which its owner sees.
            lost_ = true;
            active_ = false;
            pcm_.reset();
            buffer_.setLost();
            buffer_.halt();
        }
        restart_ = false;
        auto service = buffer_.service(*this, batch);
        if (!deliver(batch, released)) return;
        if (service.running && lost_) {
            buffer_.halt();
            continue;
        }
        if (!service.running) {
            if (active_) pcm_->reset();
            active_ = false;
            wake_.wait(-1);
            continue;
        }
        if (restart_) {
            if (pcm_->reset() < 0 || snd_pcm_start(pcm_->get()) < 0) {
                lost_ = true;
                continue;
            }
            active_ = true;
        }
        pcm_->wait(wake_.fd(), pcm_->periodMs());
        wake_.drain();
    }
}

bool AlsaCaptureStream::take() {
    snd_pcm_t* pcm = pcm_->get();
    snd_pcm_sframes_t avail = snd_pcm_avail_update(pcm);
    if (avail < 0) {
        // Overrun: what did not fit is gone; capture goes on from now.
        if (pcm_->recover(static_cast<int>(avail)) < 0 || snd_pcm_start(pcm) < 0) return false;
        return true;
    }
    if (avail == 0) return true;
    const auto want = static_cast<snd_pcm_uframes_t>(std::min<snd_pcm_sframes_t>(avail, stagingFrames_));
    snd_pcm_sframes_t n = snd_pcm_readi(pcm, staging_.data(), want);
    if (n == -EAGAIN) return true;
    if (n < 0) {
        if (pcm_->recover(static_cast<int>(n)) < 0 || snd_pcm_start(pcm) < 0) return false;
        return true;
    }
    staged_ = static_cast<uint32_t>(n);
    return true;
}

uint64_t AlsaCaptureStream::framesDue(const RunInfo& info) {
    if (info.generation != generation_ || !active_) {
        // Started: what was read before belongs to no run.
        generation_ = info.generation;
        restart_ = !lost_;
        return 0;
    }
    return staged_;
}

void AlsaCaptureStream::chunk(uint8_t* data, uint32_t bytes) {
    std::memcpy(data, staging_.data() + copied_, bytes);
    copied_ += bytes;
}

}  // namespace tws
