/* Compiled as pedantic C99: the public header must stay plain C. */
#include "tonewell/tonewell.h"

int tonewell_header_c_check(void);
int tonewell_header_c_check(void) {
    TwCleanupProc proc = 0;
    TaskRefnum refnum = -1;
    int32_t (*configure)(int32_t, int32_t, double *, int32_t *, int32_t *, int32_t, TaskRefnum *) = SOConfigure;
    (void)proc;
    (void)configure;
    return (int)refnum + TW_TYPE_F64 + TW_E_BAD_REFNUM;
}
