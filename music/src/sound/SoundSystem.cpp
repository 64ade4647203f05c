#include "sound/SoundSystem.h"

#include "platform/Module.h"
#include "tonewell_music.h"

namespace twm {

namespace {

struct FirstDevice {
    tws_guid guid{};
    bool found = false;
};

int32_t takeFirst(const tws_guid* guid, const char*, const char*, void* context) {
    auto* first = static_cast<FirstDevice*>(context);
    if (!guid) return 1;  // the primary entry names no device
    first->guid = *guid;
    first->found = true;
    return 0;
}

}  // namespace

SoundSystem& SoundSystem::instance() {
    static SoundSystem* system = new SoundSystem();
    return *system;
}

SoundSystem::SoundSystem() {
    // The sound system module lies beside this one. Never unloaded.
    const std::string dir = tw::platform::moduleDirectoryOf(reinterpret_cast<const void*>(&takeFirst));
    const std::string path = dir + TWS_MODULE_FILE;
    void* module = tw::platform::loadModule(path.c_str());
    if (!module) return;
    using tw::platform::findSymbol;
    create_ = reinterpret_cast<tws_sound_create_fn>(findSymbol(module, TWS_ENTRY_SOUND_CREATE));
    enumerate_ = reinterpret_cast<tws_sound_enumerate_fn>(findSymbol(module, TWS_ENTRY_SOUND_ENUMERATE));
}

int32_t SoundSystem::openDefaultOutput(tws_sound** out) {
    *out = nullptr;
    if (!create_ || !enumerate_) return TWM_E_NOAUDIO;
    FirstDevice first;
    if (TWS_FAILED(enumerate_(takeFirst, &first)) || !first.found) return TWM_E_NOAUDIO;
    tws_sound* sound = nullptr;
    if (TWS_FAILED(create_(&first.guid, &sound)) || !sound) return TWM_E_AUDIO;
    if (TWS_FAILED(sound->vtbl->set_cooperative_level(sound, TWS_SCL_PRIORITY))) {
        sound->vtbl->release(sound);
        return TWM_E_AUDIO;
    }
    *out = sound;
    return TWM_OK;
}

}  // namespace twm
