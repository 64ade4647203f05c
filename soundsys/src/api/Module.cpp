#include "api/Module.h"

#include <cstdlib>
#include <cstring>

#include "core/Dispatcher.h"
#include "core/Globals.h"
#include "virtual/VirtualDriver.h"

namespace tws {

namespace {

// "virtual" (also when unset) or "alsa"; the ALSA driver is not built yet,
// so it is unusable like any unknown name: no silent fallback.
bool wantsVirtual() {
    const char* name = std::getenv("TONEWELL_SOUND_DRIVER");
    return name == nullptr || *name == '\0' || std::strcmp(name, "virtual") == 0;
}

// Members are destroyed in reverse order: the driver (and its clock thread)
// goes before the dispatcher it delivers through.
struct Runtime {
    Dispatcher dispatcher;
    LiveCounts counts;
    VirtualDriver virtualDriver;
    Driver* active = wantsVirtual() ? &virtualDriver : nullptr;
};

Runtime runtime;

}  // namespace

Dispatcher& dispatcher() { return runtime.dispatcher; }
LiveCounts& liveCounts() { return runtime.counts; }
Driver* activeDriver() { return runtime.active; }
VirtualDriver& virtualDriver() { return runtime.virtualDriver; }

}  // namespace tws
