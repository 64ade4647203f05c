// A parsed MIDI file: its events in playing order with their music time and
// their sample frame at the synthesizer's rate, and the tempo map between
// the two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace twm {

struct MidiEvent {
    int64_t tick;   // music time
    int64_t frame;  // sample frame from the song's start
    uint8_t status; // channel message status, or 0xF0 for a system exclusive
    uint8_t data1;
    uint8_t data2;
    uint32_t sysexOffset;  // into Song::sysex (status 0xF0 only)
    uint32_t sysexLength;
};

struct TempoPoint {
    int64_t tick;        // music time where the tempo starts
    int64_t frame;       // its sample frame
    uint32_t usPerQuarter;
};

class Song {
public:
    std::vector<MidiEvent> events;  // ordered by tick, then by track
    std::vector<uint8_t> sysex;     // bodies without the leading 0xF0 and trailing 0xF7
    std::vector<TempoPoint> tempo;  // ordered by tick; the first at tick 0
    int64_t lengthTicks = 0;

    // Sample frame of a music time, by the tempo map.
    int64_t frameAt(int64_t tick) const;
    int64_t lengthFrames() const { return frameAt(lengthTicks); }
    // Index of the first event at or after a music time.
    size_t firstEventAt(int64_t tick) const;
};

}  // namespace twm
