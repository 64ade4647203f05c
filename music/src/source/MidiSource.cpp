#include "source/MidiSource.h"

#include <algorithm>
#include <cstring>

namespace twm {

namespace {
// Notes are not chased from before the start point: only the state they
// play in (programs, controllers, bends, system exclusive messages).
bool isNote(const MidiEvent& e) {
    uint8_t kind = e.status & 0xF0;
    return kind == 0x80 || kind == 0x90 || kind == 0xA0;
}
}  // namespace

MidiSource::MidiSource(std::shared_ptr<const Content> content, std::shared_ptr<Synth> synth, bool generalMidi,
                       int64_t startTick)
    : content_(std::move(content)), song_(*content_->song), synth_(std::move(synth)), generalMidi_(generalMidi),
      startTick_(startTick), endFrame_(song_.lengthFrames()) {}

void MidiSource::start() {
    synth_->reset(generalMidi_);
    next_ = song_.firstEventAt(startTick_);
    for (size_t i = 0; i < next_; ++i)
        if (!isNote(song_.events[i])) synth_->send(song_.events[i], song_);
    position_ = song_.frameAt(startTick_);
    tail_ = 0;
    quiet_ = 0;
    finished_ = false;
}

uint32_t MidiSource::render(uint8_t* dest, uint32_t frames) {
    uint32_t written = 0;
    while (written < frames && !finished_) {
        while (next_ < song_.events.size() && song_.events[next_].frame <= position_)
            synth_->send(song_.events[next_++], song_);
        int64_t n = std::min<int64_t>(frames - written, Synth::kMaxBlock);
        if (next_ < song_.events.size()) n = std::min(n, song_.events[next_].frame - position_);
        else if (position_ < endFrame_) n = std::min(n, endFrame_ - position_);
        float peak = synth_->render(block_, static_cast<int>(n));
        std::memcpy(dest + size_t{written} * 4, block_, static_cast<size_t>(n) * 4);
        written += static_cast<uint32_t>(n);
        position_ += n;
        if (next_ == song_.events.size() && position_ >= endFrame_) {
            tail_ += n;
            quiet_ = peak < 1.0f ? quiet_ + n : 0;
            if ((quiet_ >= kQuietFrames && synth_->activeVoices() == 0) || tail_ >= kMaxTailFrames) finished_ = true;
        }
    }
    return written;
}

}  // namespace twm
