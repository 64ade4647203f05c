#include "host/HostRuntime.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Module.h"

namespace tw::host {
namespace {

std::atomic<void*> gModule{nullptr};

enum Slot { kCopyText, kSizeHandle, kRegisterCleanup, kSizeArray, kSlotCount };
constexpr const char* kSlotNames[kSlotCount] = {"HostCopyText", "HostSizeHandle",
                                                "HostRegisterCleanup", "HostSizeArray"};
std::atomic<void*> gSlots[kSlotCount];

// The only output the library ever makes: the process cannot go on without
// its host. _Exit, because unload work run from inside a call that holds a
// registry lock would deadlock.
[[noreturn]] void fatal(const char* text) {
    std::fprintf(stderr, "Fatal Error: %s\n", text);
    std::fflush(stderr);
    std::_Exit(1);
}

// The main program counts as the host only when a probe symbol really lies
// in the executable: dlopen(NULL) also searches every global library, so a
// probe another library exports must not hide the next one.
bool mainProgramIsHost(platform::ModuleHandle main) {
    for (const char* probe : {"gVantorRTVersion", "HostAllocHandle"}) {
        if (platform::addressInMainProgram(platform::findSymbol(main, probe))) return true;
    }
    return false;
}

void* findHostModule() {
    if (void* stored = gModule.load()) return stored;
    platform::ModuleHandle main = platform::mainProgramModule();
    if (main && mainProgramIsHost(main)) return main;
#ifdef _WIN32
    if (void* rt = platform::findLoadedModule("vantorrt.dll")) return rt;
    return platform::findLoadedModule("vantorffrt.dll");
#else
    if (void* rt = platform::findLoadedModule("libvantorrt.so")) return rt;
    return platform::findLoadedModule("libvantorffrt.so");
#endif
}

void* bind(Slot slot) {
    void* module = findHostModule();
    if (!module) fatal("VANTOR.LIB was not called from a Vantor process.");
    void* address = gSlots[slot].load();
    if (!address) {
        address = platform::findSymbol(module, kSlotNames[slot]);
        gSlots[slot].store(address);
    }
    if (!address) {
        char text[300];
        std::snprintf(text, sizeof text, "VANTOR.LIB could not locate \"%s\".", kSlotNames[slot]);
        fatal(text);
    }
    return address;
}

template <typename Fn>
Fn entry(Slot slot) {
    void* address = gSlots[slot].load(std::memory_order_acquire);
    if (!address) address = bind(slot);
    return reinterpret_cast<Fn>(address);
}

}  // namespace

void setModule(void* module) { gModule.store(module); }

void copyText(char* destination, const char* source) {
    entry<TwHostCopyTextFn>(kCopyText)(destination, source);
}

int32_t sizeHandle(void** handle, int32_t newSizeBytes) {
    return entry<TwHostSizeHandleFn>(kSizeHandle)(handle, newSizeBytes);
}

int32_t registerCleanup(TwCleanupProc proc, void* data, int32_t mode) {
    return entry<TwHostRegisterCleanupFn>(kRegisterCleanup)(proc, data, mode);
}

int32_t sizeArray(int32_t typeCode, int32_t dimensions, void*** arrayHandle, int32_t newElementCount) {
    return entry<TwHostSizeArrayFn>(kSizeArray)(typeCode, dimensions, arrayHandle, newElementCount);
}

}  // namespace tw::host
