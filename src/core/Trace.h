// Diagnostic trace points. The sink discards everything: the library never
// prints. The texts stay at the call sites so a debug build can route them.
#pragma once

#include <cstdint>

namespace tw {

inline void trace(const char* /*text*/) {}
inline void trace(const char* /*text*/, uint32_t /*a*/) {}
inline void trace(const char* /*text*/, uint32_t /*a*/, uint32_t /*b*/) {}

}  // namespace tw
