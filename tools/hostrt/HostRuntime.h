// The host run-time that the tonewell tool, the tests and the fuzzer carry: the
// four operations and the probe symbol the library binds to in the main
// program, and the host's handles, strings and arrays in the layouts the
// library reads and resizes. Link it whole into an executable built with
// ENABLE_EXPORTS, so the operations land in its dynamic symbol table.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tonewell/tonewell.h"

namespace hostrt {

// ---- Handles ------------------------------------------------------------

// Bytes of one element of a host array of the type code (any unknown code: 2).
int32_t elementSize(uint16_t typeCode);

void** newHandle(size_t bytes);
void freeHandle(void** handle);
struct HandleDeleter {
    void operator()(void* h) const { freeHandle(static_cast<void**>(h)); }
};
using ArrayPtr = std::unique_ptr<TwArray*, HandleDeleter>;
using StringPtr = std::unique_ptr<TwString*, HandleDeleter>;

// Host string of the given text.
StringPtr makeString(const std::string& text = {});
std::string readString(TwStringHandle handle);
// Size in bytes of the block behind a handle, as last allocated or resized.
size_t blockSize(const void* handle);

// 1-D array of int32 values, and 2-D numeric arrays (rows x cols) of a type
// code, zero-filled.
ArrayPtr makeInt32Array(const std::vector<int32_t>& values = {});
std::vector<int32_t> readInt32Array(TwArrayHandle handle);
ArrayPtr makeArray2D(uint16_t typeCode, int32_t rows, int32_t cols);
int32_t rows(TwArrayHandle handle);
int32_t cols(TwArrayHandle handle);

template <typename T>
T* elements2D(TwArrayHandle handle) {
    return reinterpret_cast<T*>(reinterpret_cast<uint8_t*>(*handle) + 8);
}
template <typename T>
T get2D(TwArrayHandle handle, int32_t row, int32_t col) {
    T value;
    std::memcpy(&value, reinterpret_cast<uint8_t*>(*handle) + 8 +
                            (static_cast<size_t>(row) * cols(handle) + col) * sizeof(T),
                sizeof(T));
    return value;
}
template <typename T>
void set2D(TwArrayHandle handle, int32_t row, int32_t col, T value) {
    std::memcpy(reinterpret_cast<uint8_t*>(*handle) + 8 +
                    (static_cast<size_t>(row) * cols(handle) + col) * sizeof(T),
                &value, sizeof(T));
}

// ---- Behaviour controls (for tests) ----------------------------------------

// The next `count` calls of HostSizeHandle fail with `code` and change nothing.
void failNextResizes(int count, int32_t code);
// When on (the default), every resize moves the block, as a host's memory
// manager may: stale block pointers in the library show up at once.
void setAlwaysMove(bool on);
// Calls of each operation so far.
int resizeCalls();
int sizeArrayCalls();
// The type code the last HostSizeArray call was given.
int32_t lastSizeArrayType();

// ---- Clean-up registrations -------------------------------------------------

struct Registration {
    TwCleanupProc proc;
    void* data;
    int32_t mode;
};
std::vector<Registration> registrations();
size_t registrationCount();
// Tears the program down the way a host does: calls every registered
// procedure that `select` picks (all without it); they stay registered.
// Returns their results in order. Safe from any thread: a procedure is called
// only while registered, and a mode-0 call waits until the calls of its
// procedure on other threads have returned.
std::vector<int32_t> runCleanups(const std::function<bool(const Registration&)>& select = {});
// Forgets all registrations.
void clearRegistrations();

}  // namespace hostrt
