#include "core/ErrorCodes.h"

#include <cerrno>
#include <cmath>

namespace tw {

int32_t mapSystemError(int32_t value) {
    switch (static_cast<uint32_t>(value)) {
        case 0x00000000u: return err::kOk;
        case 0x00000002u: case 0x00000003u: case 0x0000010Bu:
        case 0x80000002u: case 0x80000003u: case 0x8000010Bu: return err::kNotFound;
        case 0x00000004u: case 0x80000004u: return err::kTooManyFiles;
        case 0x00000020u: case 0x00000021u:
        case 0x80000020u: case 0x80000021u: return err::kSharing;
        case 0x80004005u: return err::kGeneric;        // E_FAIL
        case 0x80070057u: return err::kGeneric;        // E_INVALIDARG
        case 0x8007000Eu: return err::kNoMemory;       // E_OUTOFMEMORY
        case 0x80070005u: return err::kAccess;         // E_ACCESSDENIED
        case 0x8878000Au: return err::kAllocated;      // allocated
        case 0x88780032u: return err::kGeneric;        // invalid call
        case 0x88780046u: return err::kGeneric;        // priority level needed
        case 0x88780064u: return err::kFormat;         // bad format
        case 0x88780078u: return err::kNoDevice;       // no driver
        case 0x88780082u: return err::kAllocated;      // already initialised
        case 0x88780096u: return err::kGeneric;        // buffer lost
        case 0x887800A0u: return err::kAllocated;      // other application has priority
        case 0x887800AAu: return err::kGeneric;        // uninitialised
        case 0x887800B4u: return err::kGeneric;        // buffer too small
        case 0x887800BEu: return err::kNoSoundSystem;  // version 8 required
        case 0x887800C8u: return err::kGeneric;        // send loop
        case 0x887800D2u: return err::kGeneric;        // bad send buffer id
        default: return err::kDevice;
    }
}

int32_t mapRuntimeError(int32_t errnoValue) {
    switch (errnoValue) {
        case 0: return err::kOk;
        case ENOENT: case ENOTDIR: return err::kNotFound;
        case EACCES: case EROFS: return err::kAccess;
        case EISDIR: return err::kIsDirectory;
        case ENOSPC: return err::kDiskFull;
        default: return err::kGeneric;
    }
}

uint32_t secondsToMs(double seconds) {
    if (seconds < 0) return 0xFFFFFFFFu;
    // NaN and values beyond the 64-bit range would make the cast undefined;
    // NaN gives 0, and huge values take the low 32 bits of a saturated count.
    double ms = seconds * 1000.0;
    if (!(ms == ms)) return 0;
    if (ms >= 9223372036854775808.0) return static_cast<uint32_t>(INT64_MAX);
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(ms)));
}

}  // namespace tw
