// Sequences a song's events into the synthesizer at their sample frames
// and renders it. After the last event it goes on until the release tail
// has died away (no voice left and kQuietFrames in a row below one 16-bit
// step), or for kMaxTailFrames at most.
#pragma once

#include <memory>

#include "content/Content.h"
#include "source/Source.h"
#include "synth/Synth.h"

namespace twm {

class MidiSource : public Source {
public:
    static constexpr int64_t kMaxTailFrames = 5 * 44100;
    static constexpr int64_t kQuietFrames = 512;

    MidiSource(std::shared_ptr<const Content> content, std::shared_ptr<Synth> synth, bool generalMidi,
               int64_t startTick);
    void start() override;
    uint32_t render(uint8_t* dest, uint32_t frames) override;
    bool finished() const override { return finished_; }

private:
    const std::shared_ptr<const Content> content_;
    const Song& song_;
    const std::shared_ptr<Synth> synth_;
    const bool generalMidi_;
    const int64_t startTick_;
    const int64_t endFrame_;
    size_t next_ = 0;
    int64_t position_ = 0;
    int64_t tail_ = 0;
    int64_t quiet_ = 0;
    bool finished_ = false;
    int16_t block_[Synth::kMaxBlock * 2] = {};
};

}  // namespace twm
