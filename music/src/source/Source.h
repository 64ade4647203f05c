// Where a play's sample frames come from: the synthesizer for MIDI, the
// file's own samples for WAV. Called on the rendering thread only.
#pragma once

#include <cstdint>

namespace twm {

class Source {
public:
    virtual ~Source() = default;
    // Positions the source at the play's start point.
    virtual void start() = 0;
    // Writes up to `frames` whole frames to dest and returns how many; fewer
    // only once the source has finished.
    virtual uint32_t render(uint8_t* dest, uint32_t frames) = 0;
    virtual bool finished() const = 0;
};

}  // namespace twm
