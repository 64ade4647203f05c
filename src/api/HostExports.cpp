#include "host/HostRuntime.h"
#include "tonewell/tonewell.h"

extern "C" TONEWELL_API void SetVantorRTModule(void* module) { tw::host::setModule(module); }
