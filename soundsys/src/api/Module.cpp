#include "api/Module.h"

#include <cstdlib>
#include <cstring>

#include "core/Dispatcher.h"
#include "core/Globals.h"
#include "virtual/VirtualDriver.h"
#ifdef _WIN32
#include "directsound/DsDriver.h"
#else
#include "alsa/AlsaDriver.h"
#endif

namespace tws {

namespace {

#ifdef _WIN32
constexpr const char* kSystemDriverName = "directsound";
using SystemDriver = DsDriver;
#else
constexpr const char* kSystemDriverName = "alsa";
using SystemDriver = AlsaDriver;
#endif

// The system's driver (also when unset) or "virtual"; any other name leaves
// the module without a driver: no silent fallback.
Driver* chooseDriver(Driver& system, Driver& simulated) {
    const char* name = std::getenv("TONEWELL_SOUND_DRIVER");
    if (name == nullptr || *name == '\0' || std::strcmp(name, kSystemDriverName) == 0) return &system;
    if (std::strcmp(name, "virtual") == 0) return &simulated;
    return nullptr;
}

// Members are destroyed in reverse order: the driver (and its clock thread)
// goes before the dispatcher it delivers through.
struct Runtime {
    Dispatcher dispatcher;
    LiveCounts counts;
    VirtualDriver virtualDriver;
    SystemDriver systemDriver;
    Driver* active = chooseDriver(systemDriver, virtualDriver);
};

Runtime runtime;

}  // namespace

Dispatcher& dispatcher() { return runtime.dispatcher; }
LiveCounts& liveCounts() { return runtime.counts; }
Driver* activeDriver() { return runtime.active; }
VirtualDriver& virtualDriver() { return runtime.virtualDriver; }

}  // namespace tws
