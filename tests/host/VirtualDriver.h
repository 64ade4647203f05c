// The sound system module's virtual-driver control API, reached the way a
// test reaches it: load the module (the same file the library loads, so
// both see one instance) and look the functions up.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tonewell_sound_virtual.h"

namespace testhost {

struct VirtualDriver {
#define TWS_CONTROL(name) decltype(&::name) name = nullptr;
#include "tonewell_sound_controls.inc"
#undef TWS_CONTROL
    void* handle = nullptr;
    bool loaded() const { return handle != nullptr; }
};

// Loads the sound system module from TONEWELL_LIB_DIR once per process. Load it
// before the library's first device call to set faults for enumeration.
VirtualDriver& virtualDriver();

// Path of the module file.
std::string soundModulePath();

// What the tap of an output index has kept of the bytes played.
std::vector<uint8_t> readTap(uint32_t index);

}  // namespace testhost
