// The four operations of the host's run-time module, found and bound by name
// at first use. A missing module or operation ends the process (there is no
// caller to report to: the library cannot work without its host).
#pragma once

#include <cstdint>

#include "tonewell/tonewell.h"

namespace tw::host {

// Stores the module handle that later bindings use (SetVantorRTModule).
void setModule(void* module);

// Cleanup modes of registerCleanup.
inline constexpr int32_t kCleanupRemove = TW_CLEANUP_REMOVE;
inline constexpr int32_t kCleanupOnTeardown = TW_CLEANUP_TEARDOWN;
inline constexpr int32_t kCleanupWait = TW_CLEANUP_WAIT;

void copyText(char* destination, const char* source);
int32_t sizeHandle(void** handle, int32_t newSizeBytes);
int32_t registerCleanup(TwCleanupProc proc, void* data, int32_t mode);
int32_t sizeArray(int32_t typeCode, int32_t dimensions, void*** arrayHandle, int32_t newElementCount);

}  // namespace tw::host
