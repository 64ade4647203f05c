// Sound files the playback tests write: small Standard MIDI Files built
// note by note, RIFF MIDI wrappers and PCM WAV files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace playtest {

using Bytes = std::vector<uint8_t>;

// One track of a Standard MIDI File, written event by event.
class Track {
public:
    Track& event(uint32_t delta, std::initializer_list<uint8_t> bytes);
    Track& tempo(uint32_t delta, uint32_t usPerQuarter);
    Track& end(uint32_t delta = 0);
    // The bytes (delta times included) `times` over.
    Track& repeat(std::initializer_list<uint8_t> bytes, size_t times);
    const Bytes& bytes() const { return bytes_; }

private:
    void vlq(uint32_t value);
    Bytes bytes_;
};

// Header and tracks; division in ticks per quarter note (or a time-code word).
Bytes smf(uint16_t format, uint16_t division, const std::vector<Track>& tracks);
// `count` piano notes of `ticksEach` at 120 quarter notes a minute, division 480.
Bytes notes(int count, uint32_t ticksEach, uint8_t velocity = 100);
// The SMF inside a RIFF "RMID" form.
Bytes rmid(const Bytes& smfBytes);
// A RIFF chunk with the size field given, whatever the body holds; and a
// RIFF form of a type around a body, likewise.
Bytes chunk(const char* id, uint32_t size, const Bytes& body);
Bytes riffForm(const char* formType, uint32_t size, const Bytes& body);
// A PCM WAV file of the given samples (little-endian bytes of whole frames).
Bytes wav(uint32_t rate, uint16_t channels, uint16_t bits, const Bytes& samples);
// Mono 16-bit sine samples.
Bytes sine16(uint32_t rate, uint32_t frames, double hz, double amplitude);

// Writes the bytes to a file in the test scratch directory (sub-directories
// are made) and returns its full path.
std::string writeFile(const std::string& relative, const Bytes& bytes);

}  // namespace playtest
