// The tool loads the library the way any host does: dlopen, then the exports
// by name.
#pragma once

#include <string>

#include "tonewell/tonewell.h"

namespace cli {

struct Api {
#define TW_EXPORT_FN(name) decltype(&::name) name = nullptr;
#include "ExportList.inc"
#undef TW_EXPORT_FN
};

// Loads libtonewell.so from beside the executable (../lib) or the library
// path; exits with a message when it cannot.
const Api& api();

}  // namespace cli
