// Drives the host glue from a program that is not a host. Usage:
//   bare_host RT_DIR MODE   with MODE one of none, rt, ffrt, both, set, missing
// Prints the value HostSizeHandle answered, or dies the way the glue dies.
// Built as probe_host it is a host that exports only the second probe
// symbol; mode global then loads a runtime module that exports the first
// one into the global scope.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "host/HostRuntime.h"

#ifdef PROBE_HOST
#define HOST_EXPORT extern "C" __attribute__((visibility("default")))
extern "C" {
__attribute__((visibility("default"))) int32_t HostAllocHandle = 0;
}
HOST_EXPORT void HostCopyText(char* destination, const char* source) { std::strcpy(destination, source); }
HOST_EXPORT int32_t HostSizeHandle(void**, int32_t) { return 79; }
HOST_EXPORT int32_t HostRegisterCleanup(TwCleanupProc, void*, int32_t) { return 0; }
HOST_EXPORT int32_t HostSizeArray(int32_t, int32_t, void***, int32_t) { return 0; }
#endif

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    std::string dir = argv[1], mode = argv[2];
    auto load = [&](const char* name) {
        void* h = dlopen((dir + "/" + name).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!h) std::fprintf(stdout, "load failed: %s\n", dlerror());
        return h;
    };
    void* rt = nullptr;
    void* ffrt = nullptr;
    if (mode == "rt" || mode == "both") rt = load("libvantorrt.so");
    if (mode == "global") rt = dlopen((dir + "/libvantorrt.so").c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (mode == "ffrt" || mode == "both" || mode == "set" || mode == "missing") ffrt = load("libvantorffrt.so");
    if (mode == "set") rt = load("libvantorrt.so");
    if (mode == "set" || mode == "missing") tw::host::setModule(ffrt);
    if (mode == "missing") {
        void* block = nullptr;
        void** handle = &block;
        tw::host::sizeArray(2, 2, &handle, 0);
        std::printf("not reached\n");
        return 0;
    }
    void* block = nullptr;
    int32_t r = tw::host::sizeHandle(&block, 8);
    std::printf("%d\n", r);
    (void)rt;
    return 0;
}
