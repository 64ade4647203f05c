#include "api/Module.h"

#include <cstdlib>
#include <cstring>

#include "core/Dispatcher.h"
#include "core/Globals.h"
#include "virtual/VirtualDriver.h"
#ifndef _WIN32
#include "alsa/AlsaDriver.h"
#endif

namespace tws {

namespace {

#ifdef _WIN32
// Windows has no device driver here yet: "virtual" (also when unset); any
// other name leaves the module without a driver.
Driver* chooseDriver(Driver& simulated) {
    const char* name = std::getenv("TONEWELL_SOUND_DRIVER");
    if (name == nullptr || *name == '\0' || std::strcmp(name, "virtual") == 0) return &simulated;
    return nullptr;
}
#else
// "alsa" (also when unset) or "virtual"; any other name leaves the module
// without a driver: no silent fallback.
Driver* chooseDriver(Driver& alsa, Driver& simulated) {
    const char* name = std::getenv("TONEWELL_SOUND_DRIVER");
    if (name == nullptr || *name == '\0' || std::strcmp(name, "alsa") == 0) return &alsa;
    if (std::strcmp(name, "virtual") == 0) return &simulated;
    return nullptr;
}
#endif

// Members are destroyed in reverse order: the driver (and its clock thread)
// goes before the dispatcher it delivers through.
struct Runtime {
    Dispatcher dispatcher;
    LiveCounts counts;
    VirtualDriver virtualDriver;
#ifdef _WIN32
    Driver* active = chooseDriver(virtualDriver);
#else
    AlsaDriver alsaDriver;
    Driver* active = chooseDriver(alsaDriver, virtualDriver);
#endif
};

Runtime runtime;

}  // namespace

Dispatcher& dispatcher() { return runtime.dispatcher; }
LiveCounts& liveCounts() { return runtime.counts; }
Driver* activeDriver() { return runtime.active; }
VirtualDriver& virtualDriver() { return runtime.virtualDriver; }

}  // namespace tws
