// The library's result codes (0 success, positive error, negative warning).
#pragma once

#include <cstdint>

#include "tonewell/tonewell.h"

namespace tw {

namespace err {
inline constexpr int32_t kOk = TW_OK;
inline constexpr int32_t kArgument = TW_E_ARGUMENT;
inline constexpr int32_t kNoMemory = TW_E_NO_MEMORY;
inline constexpr int32_t kSharing = TW_E_SHARING;
inline constexpr int32_t kNotFound = TW_E_NOT_FOUND;
inline constexpr int32_t kAccess = TW_E_ACCESS;
inline constexpr int32_t kDiskFull = TW_E_DISK_FULL;
inline constexpr int32_t kTooManyFiles = TW_E_TOO_MANY_FILES;
inline constexpr int32_t kEnumeration = TW_E_ENUMERATION;
inline constexpr int32_t kGeneric = TW_E_GENERIC;
inline constexpr int32_t kNotSupported = TW_E_NOT_SUPPORTED;
inline constexpr int32_t kNoSamples = TW_E_NO_SAMPLES;
inline constexpr int32_t kIsDirectory = TW_E_IS_DIRECTORY;
inline constexpr int32_t kNoDevice = TW_E_NO_DEVICE;
inline constexpr int32_t kBadRefnum = TW_E_BAD_REFNUM;
inline constexpr int32_t kAllocated = TW_E_ALLOCATED;
inline constexpr int32_t kDevice = TW_E_DEVICE;
inline constexpr int32_t kPath = TW_E_PATH;
inline constexpr int32_t kNoSoundSystem = TW_E_NO_SOUND_SYSTEM;
inline constexpr int32_t kFile = TW_E_FILE;
inline constexpr int32_t kFormat = TW_E_FORMAT;
inline constexpr int32_t kIncomplete = TW_E_INCOMPLETE;
inline constexpr int32_t kTimeout = TW_E_TIMEOUT;
inline constexpr int32_t kCaptureStopped = TW_E_CAPTURE_STOPPED;
inline constexpr int32_t kWarnVolume = TW_W_VOLUME;
inline constexpr int32_t kWarnPlaybackEnded = TW_W_PLAYBACK_ENDED;
inline constexpr int32_t kWarnClipped = TW_W_CLIPPED;
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
