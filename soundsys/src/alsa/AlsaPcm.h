// One open ALSA PCM, configured for a buffer's format: interleaved
// read/write access, short periods, non-blocking calls; waiting happens in
// poll() on the PCM's descriptors together with a wake-up descriptor.
#pragma once

#include <alsa/asoundlib.h>
#include <poll.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Format.h"
#include "tonewell_sound.h"

namespace tws {

// Maps an errno-style ALSA failure of snd_pcm_open to a module result.
tws_result openFailure(int err);

class AlsaPcm {
public:
    // Opens `name` for the direction at the format; falls back to ALSA's
    // plug conversion when the device cannot take the format as it is.
    // `ringFrames` bounds the period so a small ring is not outrun.
    static tws_result open(const std::string& name, snd_pcm_stream_t direction, const Format& format,
                           uint32_t ringFrames, std::unique_ptr<AlsaPcm>& out);
    ~AlsaPcm();
    AlsaPcm(const AlsaPcm&) = delete;
    AlsaPcm& operator=(const AlsaPcm&) = delete;

    snd_pcm_t* get() const { return pcm_; }
    uint32_t periodFrames() const { return period_; }
    uint32_t bufferFrames() const { return buffer_; }
    int periodMs() const { return periodMs_; }

    // Sleeps until the PCM is ready for a period or `wakeFd` is readable;
    // timeoutMs < 0 waits without limit. False on a PCM failure (revents).
    bool wait(int wakeFd, int timeoutMs);
    // Back to a prepared, empty state (stop dropping what is queued).
    int reset();
    // Brings the PCM back after an xrun or a suspend; 0 or a negative errno
    // that means the device is gone.
    int recover(int err);

private:
    AlsaPcm() = default;
    int configure(const Format& format, snd_pcm_stream_t direction, uint32_t ringFrames, bool plug);

    snd_pcm_t* pcm_ = nullptr;
    uint32_t period_ = 0;
    uint32_t buffer_ = 0;
    int periodMs_ = 10;
    std::vector<pollfd> fds_;  // PCM descriptors, then the wake-up descriptor
};

snd_pcm_format_t alsaFormat(const Format& format);

}  // namespace tws
