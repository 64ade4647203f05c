// A General MIDI synthesizer rendering stereo 16-bit frames at the
// synthesizer rate. The build picks the one behind create(): FluidSynth with
// a SoundFont (FluidSynth.cpp), or none where FluidSynth is not available
// (NoSynth.cpp). Not thread-safe: its owner serialises every call.
#pragma once

#include <cstdint>
#include <memory>

#include "content/Song.h"

namespace twm {

class Synth {
public:
    // Frames rendered per call at most.
    static constexpr int kMaxBlock = 512;
    static constexpr int64_t kMaxFlushFrames = 5 * 44100;
    static constexpr int64_t kQuietFrames = 2048;
    // The synthesizer applies events at the start of its internal blocks.
    static constexpr int64_t kInternalBlock = 64;

    // Whether create() finds what it needs (a SoundFont).
    static bool available();
    // TWM_OK, or TWM_E_NOSOUNDFONT when there is no SoundFont to load (or
    // no synthesizer at all).
    static int32_t create(std::unique_ptr<Synth>& out);
    // Where SoundFonts are looked for; null restores the standard place.
    static void setSoundFontDirectory(const char* directory);

    virtual ~Synth() = default;
    Synth(const Synth&) = delete;
    Synth& operator=(const Synth&) = delete;

    // Silences everything and resets all channels. General MIDI: a GM
    // system reset with drums on channel 10; otherwise all 16 channels are
    // melodic. Renders (and drops) what still sounds, up to kMaxFlushFrames.
    virtual void reset(bool generalMidi) = 0;
    // Sends a channel message or a system exclusive message of the song.
    virtual void send(const MidiEvent& event, const Song& song) = 0;
    // Renders up to kMaxBlock frames, interleaved left/right, rounded (no
    // dither), through the peak limiter. Returns the block's largest
    // magnitude in 16-bit steps before the limiter.
    virtual float render(int16_t* out, int frames) = 0;
    virtual int activeVoices() const = 0;

protected:
    Synth() = default;
};

}  // namespace twm
