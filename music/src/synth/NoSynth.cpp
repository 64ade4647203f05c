// Builds without a synthesizer: FluidSynth has no Windows package for the
// mingw toolchain. MIDI content then answers as when no SoundFont is found
// (it neither loads nor downloads); WAV content needs no synthesizer.
#include "synth/Synth.h"
#include "tonewell_music.h"

namespace twm {

bool Synth::available() { return false; }

int32_t Synth::create(std::unique_ptr<Synth>& out) {
    out.reset();
    return TWM_E_NOSOUNDFONT;
}

// No synthesizer reads SoundFonts here, so there is no place to keep.
void Synth::setSoundFontDirectory(const char*) {}

}  // namespace twm
