// The library, loaded on first use the way a host loads it: from the lib
// folder that belongs to this program (the build tree's or the installed
// prefix's), else from the system's library path.
#pragma once

#include "hostrt/Library.h"

namespace cli {

// Throws ToolError when the library cannot be loaded.
const hostrt::Exports& api();

}  // namespace cli
