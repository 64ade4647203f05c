// Plays a WAV file's samples as they are.
#pragma once

#include <memory>

#include "content/Content.h"
#include "source/Source.h"

namespace twm {

class PcmSource : public Source {
public:
    PcmSource(std::shared_ptr<const Content> content, int64_t startTick);
    void start() override;
    uint32_t render(uint8_t* dest, uint32_t frames) override;
    bool finished() const override { return position_ >= total_; }

private:
    const std::shared_ptr<const Content> content_;
    const PcmSound& sound_;
    const int64_t startTick_;
    const uint64_t total_;
    uint64_t position_ = 0;
};

}  // namespace twm
