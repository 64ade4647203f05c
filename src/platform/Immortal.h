// Objects made once per load of the library and never destroyed, because
// threads may still reach them while the process exits. Once dlclose has
// unmapped the library, the leak checker can no longer see what holds them;
// marking them keeps every other allocation left behind at unload reported.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define TW_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define TW_LEAK_CHECKED 1
#endif
#endif
#ifdef TW_LEAK_CHECKED
#include <sanitizer/lsan_interface.h>
#endif

namespace tw::platform {

template <typename T>
T* immortal(T* object) {
#ifdef TW_LEAK_CHECKED
    __lsan_ignore_object(object);
#endif
    return object;
}

}  // namespace tw::platform
