// The test programs play the Vantor host with the host run-time the tonewell
// tool carries too (tools/hostrt): its four operations and the probe symbol
// are exported from every test program, so the library binds to them exactly
// as it would inside a real host. Here: where the tests find the library.
#pragma once

#include <string>

#include "hostrt/HostRuntime.h"

namespace testhost {

// The shared host run-time's handles, arrays, controls and registrations.
using hostrt::ArrayPtr;
using hostrt::blockSize;
using hostrt::clearRegistrations;
using hostrt::cols;
using hostrt::elements2D;
using hostrt::elementSize;
using hostrt::failNextResizes;
using hostrt::freeHandle;
using hostrt::get2D;
using hostrt::HandleDeleter;
using hostrt::lastSizeArrayType;
using hostrt::makeArray2D;
using hostrt::makeInt32Array;
using hostrt::makeString;
using hostrt::newHandle;
using hostrt::readInt32Array;
using hostrt::readString;
using hostrt::Registration;
using hostrt::registrationCount;
using hostrt::registrations;
using hostrt::resizeCalls;
using hostrt::rows;
using hostrt::runCleanups;
using hostrt::set2D;
using hostrt::setAlwaysMove;
using hostrt::sizeArrayCalls;
using hostrt::StringPtr;

// ---- Loading the library as a host does ------------------------------------

// Directory of the built library (TONEWELL_LIB_DIR).
std::string libraryDir();
// Scratch directory for this test program (created; unique per process).
std::string scratchDir();

}  // namespace testhost
