// Heavy tests of single-threaded code (converters, the file layer) give
// ThreadSanitizer nothing to look at and take minutes under it: that stage
// skips them; the plain and AddressSanitizer stages run them.
#pragma once

#include <gtest/gtest.h>

#if defined(__SANITIZE_THREAD__)
#define TW_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TW_THREAD_SANITIZER 1
#endif
#endif

#ifdef TW_THREAD_SANITIZER
#define SKIP_UNDER_THREAD_SANITIZER() GTEST_SKIP() << "single-threaded: nothing for ThreadSanitizer here"
#else
#define SKIP_UNDER_THREAD_SANITIZER() static_cast<void>(0)
#endif
