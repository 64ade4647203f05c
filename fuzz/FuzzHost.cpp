// The host run-time the fuzzers stand in for: plain heap handles, each block
// allocated at exactly its size, clean-up registrations accepted and forgotten.
#include <cstdlib>
#include <cstring>

#include "tonewell/tonewell.h"

#define HOST_EXPORT extern "C" __attribute__((visibility("default")))

// The probe symbol by which the library recognises a host program.
HOST_EXPORT int32_t gVantorRTVersion = 0x0100;

HOST_EXPORT void HostCopyText(char* destination, const char* source) { std::strcpy(destination, source); }

// Blocks beyond this are refused as a host out of memory refuses them.
constexpr int32_t kMaxBlockBytes = 64 << 20;

HOST_EXPORT int32_t HostSizeHandle(void** handle, int32_t newSize) {
    if (handle == nullptr || newSize < 0) return 1;
    if (newSize > kMaxBlockBytes) return 2;
    void* block = std::realloc(*handle, newSize > 0 ? static_cast<size_t>(newSize) : 1);
    if (block == nullptr) return 2;
    *handle = block;
    return 0;
}

HOST_EXPORT int32_t HostSizeArray(int32_t typeCode, int32_t dimensions, void*** arrayHandle, int32_t count) {
    static const int32_t sizes[] = {2, 1, 2, 4, 8, 1, 2, 4, 8, 4, 8};
    if (arrayHandle == nullptr || *arrayHandle == nullptr || dimensions < 1 || count < 0) return 1;
    const int32_t element = typeCode >= 0 && typeCode <= 10 ? sizes[typeCode] : 2;
    const size_t bytes = 4 * static_cast<size_t>(dimensions) + static_cast<size_t>(count) * element;
    if (HostSizeHandle(*arrayHandle, static_cast<int32_t>(bytes)) != 0) return 2;
    auto* dims = static_cast<int32_t*>(**arrayHandle);
    for (int32_t d = 0; d < dimensions; ++d) dims[d] = d == dimensions - 1 ? count : (count ? 1 : 0);
    return 0;
}

HOST_EXPORT int32_t HostRegisterCleanup(TwCleanupProc, void*, int32_t) { return 0; }
