// The steps every buffer entry point shares: a null handle is an invalid
// argument, and an injected fault answers before the core is asked.
#pragma once

#include "core/BufferCore.h"

namespace tws {

template <class Object, class Handle, class Call>
tws_result callCore(Handle* handle, Method method, Call call) {
    if (handle == nullptr) return TWS_E_INVALIDARG;
    BufferCore& core = static_cast<Object*>(handle)->core();
    if (tws_result r = core.fault(method)) return r;
    return call(core);
}

}  // namespace tws
