// The DirectSound side of the driver tests: the module with the directsound
// driver. Under Wine the system's devices are the sound server's, whose
// default sink's monitor is the default capture device.
#include <windows.h>

#include <cstdlib>

#include "DriverTestSupport.h"

namespace drivertest {

namespace {

// Before anything loads the module: this program tests the real devices.
const bool kDirectSoundSelected = [] { return _putenv_s("TONEWELL_SOUND_DRIVER", "directsound") == 0; }();

template <typename T>
void lookup(HMODULE module, const char* name, T& out) {
    out = reinterpret_cast<T>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace

// The system's play cursor is what it has handed to the server, which holds
// a block of its own before the sink renders it.
const double kServerLead = 0.06;

const SoundModule& module() {
    static const SoundModule loaded = [] {
        (void)kDirectSoundSelected;
        SoundModule m;
        // Found in the program's own folder, where the build puts both.
        HMODULE handle = ::LoadLibraryA(TWS_MODULE_FILE);
        if (handle == nullptr) {
            ADD_FAILURE() << "sound module not loadable (error " << ::GetLastError() << ")";
            std::abort();
        }
        lookup(handle, TWS_ENTRY_SOUND_CREATE, m.soundCreate);
        lookup(handle, TWS_ENTRY_CAPTURE_CREATE, m.captureCreate);
        lookup(handle, TWS_ENTRY_SOUND_ENUMERATE, m.soundEnumerate);
        lookup(handle, TWS_ENTRY_CAPTURE_ENUMERATE, m.captureEnumerate);
        return m;
    }();
    return loaded;
}

// The system names every device's driver module.
void expectDriverNaming(const Device& device) { EXPECT_FALSE(device.moduleName.empty()); }

std::string serverProblem() {
    for (bool capture : {false, true}) {
        if (enumerate(capture).size() < 2)
            return std::string("DirectSound lists no ") + (capture ? "capture" : "output") + " device";
    }
    return defaultDevicesProblem();
}

}  // namespace drivertest
