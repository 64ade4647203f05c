#include "source/PcmSource.h"

#include <algorithm>
#include <cstring>

namespace twm {

PcmSource::PcmSource(std::shared_ptr<const Content> content, int64_t startTick)
    : content_(std::move(content)), sound_(*content_->pcm), startTick_(startTick), total_(sound_.frames()) {}

void PcmSource::start() { position_ = static_cast<uint64_t>(content_->frameAt(startTick_)); }

uint32_t PcmSource::render(uint8_t* dest, uint32_t frames) {
    uint64_t n = std::min<uint64_t>(frames, total_ - std::min(position_, total_));
    uint32_t align = sound_.format.blockAlign();
    std::memcpy(dest, sound_.data.data() + position_ * align, n * align);
    position_ += n;
    return static_cast<uint32_t>(n);
}

}  // namespace twm
