// The test programs play the Vantor host with the host run-time the tonewell
// tool carries too (tools/hostrt): its four operations and the probe symbol
// are exported from every test program, so the library binds to them exactly
// as it would inside a real host. Here: where the tests find the library.
#pragma once

#include <string>

#include "hostrt/HostRuntime.h"

namespace testhost {

// The shared host run-time's handles, arrays, controls and registrations.
using namespace hostrt;

// ---- Loading the library as a host does ------------------------------------

#ifdef _WIN32
constexpr const char* kLibraryFile = "tonewell.dll";
#else
constexpr const char* kLibraryFile = "libtonewell.so";
#endif

// Directory of the built library (TONEWELL_LIB_DIR; on Windows the program's
// own folder without it).
std::string libraryDir();
std::string libraryPath();
// This program's own file, to run it again as a child.
std::string programPath();
// Scratch directory for this test program (created; unique per process).
std::string scratchDir();

// Sets a variable of this process's environment; without `overwrite` only
// where it is not set yet.
bool setEnv(const char* name, const char* value, bool overwrite = true);

}  // namespace testhost
