/* A minimal host run-time module. The two builds answer HostSizeHandle with
 * different values so a test can tell which one the library bound to; the
 * first one also exports a host's probe symbol, the second one lacks
 * HostSizeArray. */
#include <string.h>

#include "tonewell/tonewell.h"

#ifdef FAKE_RT_NAME_vantorrt
#define RESIZE_ANSWER 77
int32_t gVantorRTVersion = 1;
#else
#define RESIZE_ANSWER 78
#endif

void HostCopyText(char *destination, const char *source) { strcpy(destination, source); }
int32_t HostSizeHandle(void **handle, int32_t newSize) {
    (void)handle;
    (void)newSize;
    return RESIZE_ANSWER;
}
int32_t HostRegisterCleanup(TwCleanupProc proc, void *data, int32_t mode) {
    (void)proc;
    (void)data;
    (void)mode;
    return 0;
}
#ifdef FAKE_RT_NAME_vantorrt
int32_t HostSizeArray(int32_t typeCode, int32_t dimensions, void ***handle, int32_t count) {
    (void)typeCode;
    (void)dimensions;
    (void)handle;
    (void)count;
    return 0;
}
#endif
