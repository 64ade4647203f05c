// Drives the host glue from a program that is not a host. Usage:
//   bare_host RT_DIR MODE   with MODE one of none, rt, ffrt, both, set, missing
// Prints the value HostSizeHandle answered, or dies the way the glue dies.
// Built as probe_host it is a host that exports only the second probe
// symbol; mode global then loads a runtime module that exports the first
// one into the global scope.
#include <cstdio>
#include <cstring>
#include <string>

#include "host/HostRuntime.h"
#include "platform/Module.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define HOST_SYMBOL __declspec(dllexport)
#else
#include <dlfcn.h>
#define HOST_SYMBOL __attribute__((visibility("default")))
#endif

#ifdef PROBE_HOST
#define HOST_EXPORT extern "C" HOST_SYMBOL
extern "C" {
HOST_SYMBOL int32_t HostAllocHandle = 0;
}
HOST_EXPORT void HostCopyText(char* destination, const char* source) { std::strcpy(destination, source); }
HOST_EXPORT int32_t HostSizeHandle(void**, int32_t) { return 79; }
HOST_EXPORT int32_t HostRegisterCleanup(TwCleanupProc, void*, int32_t) { return 0; }
HOST_EXPORT int32_t HostSizeArray(int32_t, int32_t, void***, int32_t) { return 0; }
#endif

int main(int argc, char** argv) {
    if (argc < 3) return 2;
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);  // "77\n", as everywhere
#endif
    std::string dir = argv[1], mode = argv[2];
    auto path = [&](const char* name) {
#ifdef _WIN32
        return dir + "/" + name + ".dll";
#else
        return dir + "/lib" + name + ".so";
#endif
    };
    auto load = [&](const char* name) {
        void* h = tw::platform::loadModule(path(name).c_str());
        if (!h) std::fprintf(stdout, "load failed: %s\n", name);
        return h;
    };
    void* rt = nullptr;
    void* ffrt = nullptr;
    if (mode == "rt" || mode == "both") rt = load("vantorrt");
#ifdef _WIN32
    // Windows has no global scope; the runtime module is merely loaded.
    if (mode == "global") rt = load("vantorrt");
#else
    if (mode == "global") rt = dlopen(path("vantorrt").c_str(), RTLD_NOW | RTLD_GLOBAL);
#endif
    if (mode == "ffrt" || mode == "both" || mode == "set" || mode == "missing") ffrt = load("vantorffrt");
    if (mode == "set") rt = load("vantorrt");
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
