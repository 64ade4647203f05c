#include "alsa/AlsaDevices.h"

#include <alsa/asoundlib.h>

#include <algorithm>

#include "alsa/AlsaCaptureStream.h"
#include "alsa/AlsaOutputStream.h"
#include "alsa/AlsaPcm.h"

namespace tws {

namespace {

constexpr uint32_t kGroupRates[5] = {11025, 22050, 44100, 48000, 96000};
constexpr uint32_t kMaxChannels = 8;

// What a PCM's hardware parameters allow, read once at open.
class Probe {
public:
    Probe(const std::string& name, snd_pcm_stream_t direction) {
        result_ = TWS_E_OUTOFMEMORY;
        if (snd_pcm_hw_params_malloc(&any_) < 0 || snd_pcm_hw_params_malloc(&scratch_) < 0) return;
        int err = snd_pcm_open(&pcm_, name.c_str(), direction, SND_PCM_NONBLOCK);
        if (err < 0) {
            pcm_ = nullptr;
            result_ = openFailure(err);
        } else if (snd_pcm_type(pcm_) == SND_PCM_TYPE_NULL ||
                   snd_pcm_hw_params_any(pcm_, any_) < 0) {
            result_ = TWS_ERR_NODRIVER;
        } else {
            result_ = TWS_OK;
        }
    }
    ~Probe() {
        if (pcm_ != nullptr) snd_pcm_close(pcm_);
        snd_pcm_hw_params_free(any_);
        snd_pcm_hw_params_free(scratch_);
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    tws_result result() const { return result_; }

    void channels(uint32_t& min, uint32_t& max) const {
        unsigned lo = 0, hi = 0;
        snd_pcm_hw_params_get_channels_min(any_, &lo);
        snd_pcm_hw_params_get_channels_max(any_, &hi);
        min = lo;
        max = hi;
    }
    void rates(uint32_t& min, uint32_t& max) const {
        unsigned lo = 0, hi = 0;
        int dir = 0;
        snd_pcm_hw_params_get_rate_min(any_, &lo, &dir);
        snd_pcm_hw_params_get_rate_max(any_, &hi, &dir);
        min = lo;
        max = hi;
    }
    bool takes(snd_pcm_format_t format) const {
        return snd_pcm_hw_params_test_format(pcm_, any_, format) == 0;
    }
    // Format, channel count and rate together.
    bool takes(snd_pcm_format_t format, unsigned channels, unsigned rate) {
        snd_pcm_hw_params_copy(scratch_, any_);
        return snd_pcm_hw_params_set_format(pcm_, scratch_, format) == 0 &&
               snd_pcm_hw_params_set_channels(pcm_, scratch_, channels) == 0 &&
               snd_pcm_hw_params_test_rate(pcm_, scratch_, rate, 0) == 0;
    }

private:
    snd_pcm_t* pcm_ = nullptr;
    snd_pcm_hw_params_t* any_ = nullptr;
    snd_pcm_hw_params_t* scratch_ = nullptr;
    tws_result result_;
};

}  // namespace

tws_result AlsaOutputDevice::open(const std::string& name, std::shared_ptr<OutputDevice>& out) {
    Probe probe(name, SND_PCM_STREAM_PLAYBACK);
    if (probe.result() != TWS_OK) return probe.result();
    std::shared_ptr<AlsaOutputDevice> device(new AlsaOutputDevice(name));
    uint32_t minChannels = 0, maxChannels = 0;
    probe.channels(minChannels, maxChannels);
    uint32_t flags = 0;
    if (minChannels <= 1 && maxChannels >= 1) flags |= TWS_CAPS_PRIMARYMONO;
    if (minChannels <= 2 && maxChannels >= 2) flags |= TWS_CAPS_PRIMARYSTEREO;
    if (probe.takes(SND_PCM_FORMAT_U8)) flags |= TWS_CAPS_PRIMARY8BIT;
    if (probe.takes(SND_PCM_FORMAT_S16_LE)) flags |= TWS_CAPS_PRIMARY16BIT;
    flags |= flags << 8;  // the secondary group says the same
    probe.rates(device->minRate_, device->maxRate_);
    if (device->maxRate_ > device->minRate_) flags |= TWS_CAPS_CONTINUOUSRATE;
    device->flags_ = flags;
    out = std::move(device);
    return TWS_OK;
}

tws_result AlsaOutputDevice::getCaps(tws_caps& caps) {
    caps.dwFlags = flags_;
    caps.dwMinSecondarySampleRate = minRate_;
    caps.dwMaxSecondarySampleRate = maxRate_;
    caps.dwPrimaryBuffers = 1;
    return TWS_OK;
}

tws_result AlsaOutputDevice::checkFormat(const Format& format) {
    if (format.rate < minRate_ || format.rate > maxRate_) return TWS_ERR_BADFORMAT;
    return TWS_OK;
}

tws_result AlsaOutputDevice::openStream(BufferCore& buffer, std::unique_ptr<Stream>& out) {
    return AlsaOutputStream::create(name_, buffer, out);
}

tws_result AlsaCaptureDevice::open(const std::string& name, std::shared_ptr<CaptureDevice>& out) {
    Probe probe(name, SND_PCM_STREAM_CAPTURE);
    if (probe.result() != TWS_OK) return probe.result();
    std::shared_ptr<AlsaCaptureDevice> device(new AlsaCaptureDevice(name));
    uint32_t bit = 1;
    for (uint32_t rate : kGroupRates) {
        for (auto format : {SND_PCM_FORMAT_U8, SND_PCM_FORMAT_S16_LE}) {
            for (unsigned channels : {1u, 2u}) {
                if (probe.takes(format, channels, rate)) device->formats_ |= bit;
                bit <<= 1;
            }
        }
    }
    uint32_t minChannels = 0;
    probe.channels(minChannels, device->channels_);
    device->channels_ = std::min(device->channels_, kMaxChannels);
    probe.rates(device->minRate_, device->maxRate_);
    out = std::move(device);
    return TWS_OK;
}

tws_result AlsaCaptureDevice::getCaps(tws_capture_caps& caps) {
    caps.dwFlags = 0;
    caps.dwFormats = formats_;
    caps.dwChannels = channels_;
    return TWS_OK;
}

tws_result AlsaCaptureDevice::adjustFormat(Format& format) {
    if (format.rate < minRate_ || format.rate > maxRate_) return TWS_ERR_BADFORMAT;
    return TWS_OK;
}

tws_result AlsaCaptureDevice::openStream(BufferCore& buffer, std::unique_ptr<Stream>& out) {
    return AlsaCaptureStream::create(name_, buffer, out);
}

}  // namespace tws
