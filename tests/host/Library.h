// The library as the tests load it: dlopen, exports looked up by name. Each
// test program loads it once; refnums therefore count on across the tests of
// one program.
#pragma once

#include "hostrt/Library.h"
#include "host/TestHost.h"

namespace testhost {

using hostrt::Exports;
using hostrt::Library;

// The library shared by all tests of a program (libtonewell.so in
// TONEWELL_LIB_DIR), loaded on first use.
inline Library& library() {
    static Library* lib = new Library(libraryDir() + "/libtonewell.so");
    return *lib;
}

}  // namespace testhost
