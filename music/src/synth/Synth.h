// A FluidSynth synthesizer with a General MIDI SoundFont, rendering stereo
// 16-bit frames at the synthesizer rate. Not thread-safe: its owner
// serialises every call.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "content/Song.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace twm {

class Synth {
public:
    // Frames rendered per call at most.
    static constexpr int kMaxBlock = 512;
    static constexpr int64_t kMaxFlushFrames = 5 * 44100;
    static constexpr int64_t kQuietFrames = 2048;
    // The synthesizer applies events at the start of its internal blocks.
    static constexpr int64_t kInternalBlock = 64;

    // TWM_OK, or TWM_E_NOSOUNDFONT when the SoundFont cannot be loaded.
    static int32_t create(const std::string& soundFont, std::unique_ptr<Synth>& out);
    ~Synth();
    Synth(const Synth&) = delete;
    Synth& operator=(const Synth&) = delete;

    // Silences everything and resets all channels. General MIDI: a GM
    // system reset with drums on channel 10; otherwise all 16 channels are
    // melodic. Renders (and drops) what still sounds, up to kMaxFlushFrames.
    void reset(bool generalMidi);
    // Sends a channel message or a system exclusive message of the song.
    void send(const MidiEvent& event, const Song& song);
    // Renders up to kMaxBlock frames, interleaved left/right, rounded (no
    // dither), through the peak limiter. Returns the block's largest
    // magnitude in 16-bit steps before the limiter.
    float render(int16_t* out, int frames);
    int activeVoices() const;

private:
    Synth() = default;

    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    bool counted_ = false;
    int64_t rendered_ = 0;
    float limiterGain_ = 1.0f;
    float scratch_[kMaxBlock * 2] = {};
};

}  // namespace twm
