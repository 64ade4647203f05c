#include "VirtualDriver.h"

#include <dlfcn.h>

#include "TestHost.h"

namespace testhost {

std::string soundModulePath() { return libraryDir() + "/" + TWS_MODULE_FILE; }

VirtualDriver& virtualDriver() {
    static VirtualDriver* driver = [] {
        auto* d = new VirtualDriver();
        d->handle = ::dlopen(soundModulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
        if (d->handle) {
#define TWS_CONTROL(name) d->name = reinterpret_cast<decltype(d->name)>(::dlsym(d->handle, #name));
#include "tonewell_sound_controls.inc"
#undef TWS_CONTROL
        }
        return d;
    }();
    return *driver;
}

}  // namespace testhost
