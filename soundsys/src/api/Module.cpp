#include "api/Module.h"

#include <cstdlib>
#include <cstring>

#include "core/Dispatcher.h"
#include "core/Globals.h"
#include "virtual/VirtualDriver.h"
#ifdef _WIN32
#include <windows.h>

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

#ifdef _WIN32
// Windows ends every other thread before it detaches the module at process
// exit: tearing the runtime down then would wait for threads that are gone.
bool processShuttingDown() {
    using Query = BOOLEAN(WINAPI*)();
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlDllShutdownInProgress")));
    return query != nullptr && query() != 0;
}
#else
bool processShuttingDown() { return false; }
#endif

// Torn down when the module unloads, or at the exit of a process whose
// threads still run; at any other exit the system takes it back.
struct RuntimeOwner {
    Runtime* runtime = new Runtime();
    ~RuntimeOwner() {
        if (!processShuttingDown()) delete runtime;
    }
};

RuntimeOwner owner;

}  // namespace

Dispatcher& dispatcher() { return owner.runtime->dispatcher; }
LiveCounts& liveCounts() { return owner.runtime->counts; }
Driver* activeDriver() { return owner.runtime->active; }
VirtualDriver& virtualDriver() { return owner.runtime->virtualDriver; }

}  // namespace tws
