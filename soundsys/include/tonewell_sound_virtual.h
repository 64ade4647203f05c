/*
 * Control interface of the sound system's virtual driver, for tests and
 * benchmarks only: device sets, injected faults, clock speed and manual
 * clock, output taps (the sound "heard"), live object counts.
 *
 * These functions are exported by libtonewell-sound.so next to the four entry
 * points; programs look them up with dlsym. The library never uses them.
 * All of them are safe to call from any thread, but not from inside a
 * notification callback unless said otherwise.
 */
#ifndef TONEWELL_SOUND_VIRTUAL_H
#define TONEWELL_SOUND_VIRTUAL_H

#include "tonewell_sound.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Directions, also used as bit masks. */
#define TWS_VIRTUAL_OUTPUT 1u
#define TWS_VIRTUAL_CAPTURE 2u

/* Identifiers of the default devices. */
#define TWS_VIRTUAL_OUTPUT1_GUID_INIT \
    { 0x7457A001u, 0x51C3, 0x4D0E, { 0x9B, 0x11, 0x6F, 0x75, 0x74, 0x70, 0x75, 0x31 } }
#define TWS_VIRTUAL_OUTPUT2_GUID_INIT \
    { 0x7457A002u, 0x51C3, 0x4D0E, { 0x9B, 0x11, 0x6F, 0x75, 0x74, 0x70, 0x75, 0x32 } }
#define TWS_VIRTUAL_INPUT1_GUID_INIT \
    { 0x7457B001u, 0x51C3, 0x4D0E, { 0x9B, 0x11, 0x69, 0x6E, 0x70, 0x75, 0x74, 0x31 } }
#define TWS_VIRTUAL_INPUT2_GUID_INIT \
    { 0x7457B002u, 0x51C3, 0x4D0E, { 0x9B, 0x11, 0x69, 0x6E, 0x70, 0x75, 0x74, 0x32 } }

/* ---- Device sets -------------------------------------------------------- */

/* One simulated device. Output devices use caps_flags and the rate range;
 * capture devices use formats, channels and fixed_rate. */
typedef struct tws_virtual_device {
    uint32_t direction;      /* TWS_VIRTUAL_OUTPUT or TWS_VIRTUAL_CAPTURE */
    tws_guid guid;           /* must not be all zero */
    const char *description; /* copied */
    uint32_t caps_flags;     /* output: TWS_CAPS_* reported by get_caps */
    uint32_t min_rate;       /* output: secondary sample rate range */
    uint32_t max_rate;
    uint32_t formats;        /* capture: TWS_FORMAT_* bits */
    uint32_t channels;       /* capture: reported channel count */
    uint32_t fixed_rate;     /* capture: nonzero = captures at this rate,
                                whatever rate a buffer asks for */
} tws_virtual_device;

/* Replaces the enumerated devices (in this order, after the primary entry).
 * Objects made earlier keep the device they were made for. Count 0 leaves
 * only the primary entries. TWS_E_INVALIDARG for a bad entry. */
TWS_EXPORT tws_result tws_virtual_set_devices(const tws_virtual_device *devices, uint32_t count);
/* Back to Virtual Output 1/2 and Virtual Input 1/2. */
TWS_EXPORT void tws_virtual_use_default_devices(void);

/* ---- Faults ------------------------------------------------------------- */

/* Enumeration in the given directions fails with result (0 clears). */
TWS_EXPORT tws_result tws_virtual_fault_enumeration(uint32_t directions, tws_result result);

/* Device operations that can be made to fail. */
#define TWS_VIRTUAL_DEVICE_CREATE 1u /* creating its sound or capture object */
#define TWS_VIRTUAL_DEVICE_CAPS 2u   /* get_caps of its objects */

/* Makes an operation of a device (null: of every device) fail with result
 * for the next count calls; count < 0: until cleared; result 0 or count 0
 * clears. A device whose create or caps fails fails its probe. */
TWS_EXPORT tws_result tws_virtual_fault_device(const tws_guid *device, uint32_t operation,
                                               tws_result result, int32_t count);

/* Buffer methods that can be made to fail. CREATE is create_buffer of the
 * sound or capture object; the others are the buffer methods of that name
 * (GET_POSITION is get_current_position, SET_POSITION set_current_position,
 * SET_NOTIFICATIONS set_notification_positions, START the capture start). */
#define TWS_VIRTUAL_METHOD_CREATE 1u
#define TWS_VIRTUAL_METHOD_LOCK 2u
#define TWS_VIRTUAL_METHOD_UNLOCK 3u
#define TWS_VIRTUAL_METHOD_PLAY 4u
#define TWS_VIRTUAL_METHOD_START 5u
#define TWS_VIRTUAL_METHOD_STOP 6u
#define TWS_VIRTUAL_METHOD_SET_POSITION 7u
#define TWS_VIRTUAL_METHOD_GET_POSITION 8u
#define TWS_VIRTUAL_METHOD_SET_VOLUME 9u
#define TWS_VIRTUAL_METHOD_GET_VOLUME 10u
#define TWS_VIRTUAL_METHOD_SET_NOTIFICATIONS 11u
#define TWS_VIRTUAL_METHOD_GET_STATUS 12u
#define TWS_VIRTUAL_METHOD_GET_FORMAT 13u
#define TWS_VIRTUAL_METHOD_RESTORE 14u
#define TWS_VIRTUAL_METHOD_COUNT 15u

/* The next count calls of a method on buffers of the given directions fail
 * with result and do nothing else (count 0 clears). */
TWS_EXPORT tws_result tws_virtual_fault_method(uint32_t method, uint32_t directions,
                                               tws_result result, uint32_t count);

/* The device takes a sound buffer away: its status gets
 * TWS_BSTATUS_BUFFERLOST, lock and play fail with TWS_ERR_BUFFERLOST, and
 * restore fails with TWS_ERR_BUFFERLOST restore_failures times before it
 * succeeds. A playing buffer keeps playing. By object or by output index. */
TWS_EXPORT tws_result tws_virtual_lose_buffer(tws_buffer *buffer, uint32_t restore_failures);
TWS_EXPORT tws_result tws_virtual_lose_output(uint32_t index, uint32_t restore_failures);

/* Clears every fault above (lost buffers stay lost until restored). */
TWS_EXPORT void tws_virtual_clear_faults(void);

/* ---- Clock -------------------------------------------------------------- */

/* Real-time clock: cursors move at the sample rate times this factor (> 0).
 * The initial value comes from TONEWELL_VIRTUAL_SPEED (default 1). */
TWS_EXPORT tws_result tws_virtual_set_speed(double factor);
TWS_EXPORT double tws_virtual_get_speed(void);

/* Manual clock (nonzero) or real time (0). On the manual clock cursors move
 * only through tws_virtual_advance. */
TWS_EXPORT tws_result tws_virtual_set_manual_clock(int32_t manual);
/* Manual clock only: moves every running buffer's cursor by frames frames,
 * and returns once the notifications due have been delivered.
 * TWS_ERR_INVALIDCALL on the real-time clock or from a callback. */
TWS_EXPORT tws_result tws_virtual_advance(uint64_t frames);
/* Returns once every notification due so far (including those of stops) has
 * been delivered. TWS_ERR_INVALIDCALL from a callback. */
TWS_EXPORT tws_result tws_virtual_flush(void);

/* ---- Output taps -------------------------------------------------------- */

/* Every output buffer gets an index, counting the module's output buffers
 * from 0 in creation order (tws_virtual_reset restarts it when no output
 * buffer is alive). Its tap collects every byte its play cursor passes,
 * after its volume. -1 for a null or foreign buffer. */
TWS_EXPORT int64_t tws_virtual_output_index(const tws_buffer *buffer);
/* Number of output buffers made so far (the next index). */
TWS_EXPORT uint32_t tws_virtual_output_count(void);

typedef struct tws_virtual_tap {
    uint64_t kept;    /* bytes stored, readable */
    uint64_t total;   /* bytes played; beyond the limit they are not stored */
    int32_t live;     /* the buffer is not released yet */
    uint32_t format_size; /* 18 or 40 */
    tws_wave_format_extensible format;
} tws_virtual_tap;

/* TWS_E_INVALIDARG for an unknown (or evicted) index. */
TWS_EXPORT tws_result tws_virtual_tap_info(uint32_t index, tws_virtual_tap *info);
/* Copies up to capacity stored bytes from offset; returns the number copied,
 * or -1 for an unknown index. */
TWS_EXPORT int64_t tws_virtual_tap_read(uint32_t index, uint64_t offset, void *dest,
                                        uint64_t capacity);
/* Moves up to capacity stored bytes (whole frames), oldest first, out of
 * the tap into dest. They are forgotten, which makes room under the tap
 * limit for what plays next: a long run checks every byte while the tap
 * holds little. Offsets of tws_virtual_tap_read count from the oldest byte
 * still stored. Returns the number moved, or -1 for an unknown index. */
TWS_EXPORT int64_t tws_virtual_tap_drain(uint32_t index, void *dest, uint64_t capacity);
/* Directory for tap files: each output buffer's tap is written as
 * out-<index>.wav there when the buffer is released. Null or "" turns it
 * off. Initially TONEWELL_VIRTUAL_TAP_DIR. */
TWS_EXPORT tws_result tws_virtual_set_tap_dir(const char *directory);
/* Bytes stored per tap (initially TONEWELL_VIRTUAL_TAP_LIMIT, default
 * 4 MiB, about 24 s of 44.1 kHz stereo 16-bit); 0 stores nothing, which long
 * runs of many streams (benchmarks) should choose. Taps of released buffers
 * are kept, up to a total of 64 MiB (oldest dropped first). */
TWS_EXPORT tws_result tws_virtual_set_tap_limit(uint64_t bytes);
/* Forgets the taps of released buffers. */
TWS_EXPORT void tws_virtual_clear_taps(void);

/* ---- Live objects and reset --------------------------------------------- */

typedef struct tws_virtual_counts {
    uint32_t sounds;
    uint32_t captures;
    uint32_t buffers;
    uint32_t capture_buffers;
    uint32_t threads; /* clock threads alive */
} tws_virtual_counts;

TWS_EXPORT void tws_virtual_live_counts(tws_virtual_counts *counts);

/* Default devices, no faults, real-time clock at the initial speed, tap
 * settings from the environment, taps of released buffers forgotten. */
TWS_EXPORT void tws_virtual_reset(void);

#ifdef __cplusplus
}
#endif

#endif /* TONEWELL_SOUND_VIRTUAL_H */
