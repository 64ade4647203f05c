// The sound system module, loaded once from this module's own directory
// (the same file the library loads, so both share one instance). Never
// unloaded: buffers may be alive until the process ends.
#pragma once

#include <cstdint>

#include "tonewell_sound.h"

namespace twm {

class SoundSystem {
public:
    static SoundSystem& instance();

    // The sound object of the first enumerated output device, at priority
    // level. TWM_E_NOAUDIO without module or device, TWM_E_AUDIO when the
    // device refuses.
    int32_t openDefaultOutput(tws_sound** out);

private:
    SoundSystem();

    tws_sound_create_fn create_ = nullptr;
    tws_sound_enumerate_fn enumerate_ = nullptr;
};

}  // namespace twm
