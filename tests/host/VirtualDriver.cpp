#include "VirtualDriver.h"

#include "TestHost.h"
#include "platform/Module.h"

namespace testhost {

std::string soundModulePath() { return libraryDir() + "/" + TWS_MODULE_FILE; }

VirtualDriver& virtualDriver() {
    static VirtualDriver* driver = [] {
        auto* d = new VirtualDriver();
        d->handle = tw::platform::loadModule(soundModulePath().c_str());
        if (d->handle) {
#define TWS_CONTROL(name) \
    d->name = reinterpret_cast<decltype(d->name)>(tw::platform::findSymbol(d->handle, #name));
#include "tonewell_sound_controls.inc"
#undef TWS_CONTROL
        }
        return d;
    }();
    return *driver;
}

}  // namespace testhost
