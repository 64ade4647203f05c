// The library's result codes (0 success, positive error, negative warning).
#pragma once

#include <cstdint>

#include "tonewell/tonewell.h"

namespace tw {

// Every code the library returns, each once: its name here and its value in
// the public header.
#define TW_RESULT_CODES(X)                     \
    X(kOk, TW_OK)                              \
    X(kArgument, TW_E_ARGUMENT)                \
    X(kNoMemory, TW_E_NO_MEMORY)               \
    X(kSharing, TW_E_SHARING)                  \
    X(kNotFound, TW_E_NOT_FOUND)               \
    X(kAccess, TW_E_ACCESS)                    \
    X(kDiskFull, TW_E_DISK_FULL)               \
    X(kTooManyFiles, TW_E_TOO_MANY_FILES)      \
    X(kEnumeration, TW_E_ENUMERATION)          \
    X(kGeneric, TW_E_GENERIC)                  \
    X(kNotSupported, TW_E_NOT_SUPPORTED)       \
    X(kNoSamples, TW_E_NO_SAMPLES)             \
    X(kIsDirectory, TW_E_IS_DIRECTORY)         \
    X(kNoDevice, TW_E_NO_DEVICE)               \
    X(kBadRefnum, TW_E_BAD_REFNUM)             \
    X(kAllocated, TW_E_ALLOCATED)              \
    X(kDevice, TW_E_DEVICE)                    \
    X(kPath, TW_E_PATH)                        \
    X(kNoSoundSystem, TW_E_NO_SOUND_SYSTEM)    \
    X(kFile, TW_E_FILE)                        \
    X(kFormat, TW_E_FORMAT)                    \
    X(kIncomplete, TW_E_INCOMPLETE)            \
    X(kTimeout, TW_E_TIMEOUT)                  \
    X(kCaptureStopped, TW_E_CAPTURE_STOPPED)   \
    X(kWarnVolume, TW_W_VOLUME)                \
    X(kWarnPlaybackEnded, TW_W_PLAYBACK_ENDED) \
    X(kWarnClipped, TW_W_CLIPPED)

namespace err {
#define TW_RESULT_CODE(name, value) inline constexpr int32_t name = value;
TW_RESULT_CODES(TW_RESULT_CODE)
#undef TW_RESULT_CODE

// All of them, for checks that a result is one the library documents.
#define TW_RESULT_CODE(name, value) value,
inline constexpr int32_t kAllCodes[] = {TW_RESULT_CODES(TW_RESULT_CODE)};
#undef TW_RESULT_CODE

constexpr bool isDocumented(int32_t code) {
    for (int32_t c : kAllCodes)
        if (c == code) return true;
    return false;
}
}  // namespace err

// Platform result values (HRESULT numbers) that the library meets.
namespace hr {
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kFail = static_cast<int32_t>(0x80004005u);
inline constexpr int32_t kInvalidArg = static_cast<int32_t>(0x80070057u);
inline constexpr int32_t kOutOfMemory = static_cast<int32_t>(0x8007000Eu);
inline constexpr int32_t kAccessDenied = static_cast<int32_t>(0x80070005u);
inline constexpr int32_t kFileNotFound = static_cast<int32_t>(0x80000002u);
inline constexpr int32_t kTooManyOpenFiles = static_cast<int32_t>(0x80000004u);
inline constexpr int32_t kNotInitialized = static_cast<int32_t>(0x800401F0u);
}  // namespace hr

// Translates a sound system, COM-style or system error value.
int32_t mapSystemError(int32_t value);
// Translates errno left by a failed file operation.
int32_t mapRuntimeError(int32_t errnoValue);
// Seconds from the host to milliseconds; negative means no limit (0xFFFFFFFF).
uint32_t secondsToMs(double seconds);

}  // namespace tw
