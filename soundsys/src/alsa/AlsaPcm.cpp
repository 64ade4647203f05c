#include "alsa/AlsaPcm.h"

#include <algorithm>
#include <cerrno>
#include <thread>

namespace tws {

namespace {

// Periods of about 10 ms: short enough for notifications to follow the real
// position closely. The device holds 16 of them, so that a sound server
// does not run dry when the machine is busy (8 were not enough with both
// cores loaded).
constexpr uint32_t kPeriodsPerSecond = 100;
constexpr uint32_t kMinPeriod = 32;
constexpr uint32_t kPeriods = 16;
constexpr int kResumeTries = 100;

struct HwParams {
    snd_pcm_hw_params_t* p = nullptr;
    HwParams() { snd_pcm_hw_params_malloc(&p); }
    ~HwParams() { snd_pcm_hw_params_free(p); }
};

struct SwParams {
    snd_pcm_sw_params_t* p = nullptr;
    SwParams() { snd_pcm_sw_params_malloc(&p); }
    ~SwParams() { snd_pcm_sw_params_free(p); }
};

struct Sizes {
    snd_pcm_uframes_t period;
    snd_pcm_uframes_t buffer;
};

Sizes sizesFor(uint32_t rate, uint32_t ringFrames, snd_pcm_stream_t direction) {
    Sizes s;
    s.period = std::max(kMinPeriod, std::min(rate / kPeriodsPerSecond, ringFrames / 8));
    s.buffer = s.period * kPeriods;
    // Output reads ahead of the play cursor by what the device holds; the
    // owner of the ring has written half a ring ahead at any time.
    if (direction == SND_PCM_STREAM_PLAYBACK && s.buffer > ringFrames / 2) {
        s.buffer = std::max(2 * kMinPeriod, ringFrames / 2);
        s.period = std::max<snd_pcm_uframes_t>(kMinPeriod, s.buffer / kPeriods);
    }
    return s;
}

}  // namespace

tws_result openFailure(int err) {
    if (err == -EBUSY || err == -EAGAIN) return TWS_ERR_ALLOCATED;
    if (err == -ENOMEM) return TWS_E_OUTOFMEMORY;
    return TWS_ERR_NODRIVER;
}

snd_pcm_format_t alsaFormat(const Format& format) {
    switch (format.containerBits) {
        case 8: return SND_PCM_FORMAT_U8;
        case 16: return SND_PCM_FORMAT_S16_LE;
        case 24: return SND_PCM_FORMAT_S24_3LE;
        default: return SND_PCM_FORMAT_S32_LE;
    }
}

tws_result AlsaPcm::open(const std::string& name, snd_pcm_stream_t direction, const Format& format,
                         uint32_t ringFrames, std::unique_ptr<AlsaPcm>& out) {
    std::unique_ptr<AlsaPcm> pcm(new AlsaPcm());
    int err = snd_pcm_open(&pcm->pcm_, name.c_str(), direction, SND_PCM_NONBLOCK);
    if (err < 0) {
        pcm->pcm_ = nullptr;
        return openFailure(err);
    }
    // The null device is not paced and its capture leaves buffers untouched.
    if (snd_pcm_type(pcm->pcm_) == SND_PCM_TYPE_NULL) return TWS_ERR_NODRIVER;
    if (pcm->configure(format, direction, ringFrames, false) < 0) {
        snd_pcm_close(pcm->pcm_);
        pcm->pcm_ = nullptr;
        const std::string plug = "plug:\"" + name + "\"";
        err = snd_pcm_open(&pcm->pcm_, plug.c_str(), direction, SND_PCM_NONBLOCK);
        if (err < 0) {
            pcm->pcm_ = nullptr;
            return openFailure(err);
        }
        if (pcm->configure(format, direction, ringFrames, true) < 0) return TWS_ERR_BADFORMAT;
    }
    out = std::move(pcm);
    return TWS_OK;
}

AlsaPcm::~AlsaPcm() {
    if (pcm_ != nullptr) snd_pcm_close(pcm_);
}

int AlsaPcm::configure(const Format& format, snd_pcm_stream_t direction, uint32_t ringFrames,
                       bool plug) {
    HwParams hw;
    SwParams sw;
    if (hw.p == nullptr || sw.p == nullptr) return -ENOMEM;
    int err = snd_pcm_hw_params_any(pcm_, hw.p);
    if (err >= 0) err = snd_pcm_hw_params_set_rate_resample(pcm_, hw.p, plug ? 1 : 0);
    if (err >= 0) err = snd_pcm_hw_params_set_access(pcm_, hw.p, SND_PCM_ACCESS_RW_INTERLEAVED);
    if (err >= 0) err = snd_pcm_hw_params_set_format(pcm_, hw.p, alsaFormat(format));
    if (err >= 0) err = snd_pcm_hw_params_set_channels(pcm_, hw.p, format.channels);
    if (err >= 0) err = snd_pcm_hw_params_set_rate(pcm_, hw.p, format.rate, 0);
    if (err < 0) return err;
    const Sizes sizes = sizesFor(format.rate, ringFrames, direction);
    snd_pcm_uframes_t period = sizes.period;
    snd_pcm_uframes_t buffer = sizes.buffer;
    int dir = 0;
    snd_pcm_hw_params_set_period_size_near(pcm_, hw.p, &period, &dir);
    snd_pcm_hw_params_set_buffer_size_near(pcm_, hw.p, &buffer);
    if ((err = snd_pcm_hw_params(pcm_, hw.p)) < 0) return err;
    snd_pcm_hw_params_get_period_size(hw.p, &period, &dir);
    snd_pcm_hw_params_get_buffer_size(hw.p, &buffer);
    period_ = static_cast<uint32_t>(period);
    buffer_ = static_cast<uint32_t>(buffer);
    periodMs_ = std::max(1, static_cast<int>(period * 1000 / format.rate));

    if ((err = snd_pcm_sw_params_current(pcm_, sw.p)) < 0) return err;
    snd_pcm_sw_params_set_avail_min(pcm_, sw.p, period);
    // Output starts once a period is queued; capture is started explicitly.
    snd_pcm_sw_params_set_start_threshold(
        pcm_, sw.p, direction == SND_PCM_STREAM_PLAYBACK ? period : buffer * 2);
    if ((err = snd_pcm_sw_params(pcm_, sw.p)) < 0) return err;

    const int count = snd_pcm_poll_descriptors_count(pcm_);
    if (count < 0) return count;
    fds_.assign(static_cast<size_t>(count) + 1, pollfd{-1, 0, 0});
    if ((err = snd_pcm_poll_descriptors(pcm_, fds_.data(), static_cast<unsigned>(count))) < 0)
        return err;
    return snd_pcm_prepare(pcm_);
}

bool AlsaPcm::wait(int wakeFd, int timeoutMs) {
    const size_t count = fds_.size() - 1;
    for (size_t i = 0; i < count; ++i) fds_[i].revents = 0;
    fds_[count] = pollfd{wakeFd, POLLIN, 0};
    if (::poll(fds_.data(), fds_.size(), timeoutMs) <= 0) return true;
    unsigned short revents = 0;
    if (snd_pcm_poll_descriptors_revents(pcm_, fds_.data(), static_cast<unsigned>(count), &revents) < 0)
        return false;
    return (revents & (POLLERR | POLLNVAL)) == 0;
}

int AlsaPcm::reset() {
    snd_pcm_drop(pcm_);
    return snd_pcm_prepare(pcm_);
}

int AlsaPcm::recover(int err) {
    if (err == -EAGAIN || err == -EINTR) return 0;
    if (err == -EPIPE) return snd_pcm_prepare(pcm_);
    if (err == -ESTRPIPE) {
        int r = -EAGAIN;
        for (int i = 0; i < kResumeTries && r == -EAGAIN; ++i) {
            r = snd_pcm_resume(pcm_);
            if (r == -EAGAIN) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return r < 0 ? snd_pcm_prepare(pcm_) : r;
    }
    return err;
}

}  // namespace tws
