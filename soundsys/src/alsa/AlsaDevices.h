// The ALSA driver's device objects. Creating one opens the PCM once (without
// blocking, so a busy device fails at once) to learn what it takes; each
// buffer later opens its own PCM.
#pragma once

#include <memory>
#include <string>

#include "driver/Driver.h"

namespace tws {

class AlsaOutputDevice final : public OutputDevice {
public:
    static tws_result open(const std::string& name, std::shared_ptr<OutputDevice>& out);

    tws_result getCaps(tws_caps& caps) override;
    tws_result checkFormat(const Format& format) override;
    tws_result openStream(BufferCore& buffer, std::unique_ptr<Stream>& out) override;

private:
    explicit AlsaOutputDevice(std::string name) : name_(std::move(name)) {}

    const std::string name_;
    uint32_t flags_ = 0;
    uint32_t minRate_ = 0;
    uint32_t maxRate_ = 0;
};

class AlsaCaptureDevice final : public CaptureDevice {
public:
    static tws_result open(const std::string& name, std::shared_ptr<CaptureDevice>& out);

    tws_result getCaps(tws_capture_caps& caps) override;
    tws_result adjustFormat(Format& format) override;
    tws_result openStream(BufferCore& buffer, std::unique_ptr<Stream>& out) override;

private:
    explicit AlsaCaptureDevice(std::string name) : name_(std::move(name)) {}

    const std::string name_;
    uint32_t formats_ = 0;
    uint32_t channels_ = 0;
    uint32_t minRate_ = 0;
    uint32_t maxRate_ = 0;
};

}  // namespace tws
