// Drives the host glue from a program that is not a host. Usage:
//   bare_host RT_DIR MODE   with MODE one of none, rt, ffrt, both, set, missing
// Prints the value HostSizeHandle answered, or dies the way the glue dies.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "host/HostRuntime.h"

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
