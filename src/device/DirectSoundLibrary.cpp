#include "device/DirectSoundLibrary.h"

#include <string>

#include "core/ErrorCodes.h"
#include "core/Registries.h"
#include "platform/Module.h"
#include "platform/Immortal.h"

namespace tw {

DirectSoundLibrary& DirectSoundLibrary::instance() {
    // Deliberately never destroyed (see the class comment).
    static DirectSoundLibrary* library = platform::immortal(new DirectSoundLibrary());
    return *library;
}

DirectSoundLibrary::DirectSoundLibrary() {
    // The module ships with the library that loads it.
    const std::string path = platform::companionModulePath(
        reinterpret_cast<const void*>(&DirectSoundLibrary::instance), TONEWELL_MODULE_SUBDIR, TWS_MODULE_FILE);
    module_ = platform::loadModule(path.c_str());
    if (module_) detachBeforeModuleTeardown();
    if (!module_) {
        error_ = err::kNoSoundSystem;
        return;
    }
    captureCreate_ = reinterpret_cast<tws_capture_create_fn>(platform::findSymbol(module_, TWS_ENTRY_CAPTURE_CREATE));
    if (captureCreate_)
        soundCreate_ = reinterpret_cast<tws_sound_create_fn>(platform::findSymbol(module_, TWS_ENTRY_SOUND_CREATE));
    if (soundCreate_)
        captureEnumerate_ =
            reinterpret_cast<tws_capture_enumerate_fn>(platform::findSymbol(module_, TWS_ENTRY_CAPTURE_ENUMERATE));
    if (captureEnumerate_)
        soundEnumerate_ =
            reinterpret_cast<tws_sound_enumerate_fn>(platform::findSymbol(module_, TWS_ENTRY_SOUND_ENUMERATE));
    if (!soundEnumerate_) {
        error_ = err::kNoSoundSystem;
        platform::unloadModule(module_);
        module_ = nullptr;
        soundCreate_ = nullptr;
        captureCreate_ = nullptr;
        captureEnumerate_ = nullptr;
    }
}

tws_result DirectSoundLibrary::createSound(const tws_guid* guid, tws_sound** out) {
    if (error_ || !soundCreate_) return TWS_ERR_DS8_REQUIRED;
    return soundCreate_(guid, out);
}

tws_result DirectSoundLibrary::createCapture(const tws_guid* guid, tws_capture** out) {
    if (error_ || !captureCreate_) return TWS_ERR_DS8_REQUIRED;
    return captureCreate_(guid, out);
}

tws_result DirectSoundLibrary::enumerateOutputs(tws_enum_callback callback, void* context) {
    if (error_ || !soundEnumerate_) return TWS_ERR_DS8_REQUIRED;
    return soundEnumerate_(callback, context);
}

tws_result DirectSoundLibrary::enumerateCaptures(tws_enum_callback callback, void* context) {
    if (error_ || !captureEnumerate_) return TWS_ERR_DS8_REQUIRED;
    return captureEnumerate_(callback, context);
}

}  // namespace tw
