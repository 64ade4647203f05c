// The library as the tests load it, as a host does, exports looked up by name. Each
// test program loads it once; refnums therefore count on across the tests of
// one program.
#pragma once

#include "hostrt/Library.h"
#include "host/TestHost.h"

namespace testhost {

using hostrt::Exports;
using hostrt::Library;

// The library shared by all tests of a program (in TONEWELL_LIB_DIR),
// loaded on first use.
inline Library& library() {
    static Library* lib = new Library(libraryPath());
    return *lib;
}

// Whether the task's buffer plays (or, for `input`, captures).
inline bool running(TaskRefnum refnum, uint8_t input = 0) {
    uint8_t isRunning = 0, continuous = 0;
    library()->GetConfState(refnum, &input, &isRunning, &continuous);
    return isRunning != 0;
}

}  // namespace testhost
