// Reads Standard MIDI Files (formats 0 and 1) and RIFF MIDI files (an SMF
// inside a RIFF "RMID" form) into a Song. Corrupt input is refused, never
// read past its end.
#pragma once

#include <cstddef>
#include <cstdint>

#include "content/Song.h"

namespace twm {

class MidiFileParser {
public:
    // Most events (tempo changes included) one file may hold.
    static constexpr size_t kMaxEvents = 4'000'000;

    // True when the bytes start like a MIDI or RIFF MIDI file.
    static bool recognizes(const uint8_t* data, size_t size);
    // False for a file that is not a usable MIDI file; `song` is then
    // unspecified.
    static bool parse(const uint8_t* data, size_t size, Song& song);
};

}  // namespace twm
