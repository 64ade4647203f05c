// Loads the sound system module once per process, from the library's own
// directory, and forwards to its four entry points. The module is never
// unloaded: task shutdown at process exit still needs it.
#pragma once

#include <cstdint>

#include "tonewell_sound.h"

namespace tw {

class DirectSoundLibrary {
public:
    // The loader, created (and the module loaded) on first use.
    static DirectSoundLibrary& instance();

    // Each returns the module's result, or the "version 8 required" result
    // when the module is not usable.
    tws_result createSound(const tws_guid* guid, tws_sound** out);
    tws_result createCapture(const tws_guid* guid, tws_capture** out);
    tws_result enumerateOutputs(tws_enum_callback callback, void* context);
    tws_result enumerateCaptures(tws_enum_callback callback, void* context);

    // 0, or 4806 when the module or one of its entry points is missing.
    int32_t getError() const { return error_; }

private:
    DirectSoundLibrary();

    void* module_ = nullptr;
    tws_sound_create_fn soundCreate_ = nullptr;
    tws_capture_create_fn captureCreate_ = nullptr;
    tws_sound_enumerate_fn soundEnumerate_ = nullptr;
    tws_capture_enumerate_fn captureEnumerate_ = nullptr;
    int32_t error_ = 0;
};

}  // namespace tw
