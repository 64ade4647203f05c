/*
 * Tonewell sound system: the C interface of the sound system module
 * libtonewell-sound.so.
 *
 * The module is loaded at run time with dlopen; its four entry points are
 * looked up by name (TWS_ENTRY_* below). Everything else is reached through
 * the objects they hand out: C structs whose first member points to a table
 * of functions, called as obj->vtbl->method(obj, ...).
 *
 * Results are int32 values with the numbers of the COM/sound-system result
 * codes: 0 success, negative failure (TWS_E_* and TWS_ERR_* below).
 *
 * Objects are owning handles: `release` destroys the handle. A buffer stays
 * usable after the sound or capture object that made it is released.
 * Releasing a running buffer stops it; once `release` returns, none of its
 * notification callbacks runs any more and none will be called.
 *
 * This header compiles as C (C99) and as C++. After its first release it only
 * grows: new names and new function table entries are appended at the end.
 */
#ifndef TONEWELL_SOUND_H
#define TONEWELL_SOUND_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(TWS_BUILDING_MODULE)
#if defined(_WIN32)
/* The module-definition file names the exports. */
#define TWS_EXPORT
#else
#define TWS_EXPORT __attribute__((visibility("default")))
#endif
#else
#define TWS_EXPORT
#endif

/* ---- Module and entry points -------------------------------------------- */

/* File name of the module, found next to the library that loads it. */
#if defined(_WIN32)
#define TWS_MODULE_FILE "tonewell-sound.dll"
#else
#define TWS_MODULE_FILE "libtonewell-sound.so"
#endif

#define TWS_ENTRY_SOUND_CREATE "tws_sound_create"
#define TWS_ENTRY_CAPTURE_CREATE "tws_capture_create"
#define TWS_ENTRY_SOUND_ENUMERATE "tws_sound_enumerate"
#define TWS_ENTRY_CAPTURE_ENUMERATE "tws_capture_enumerate"

/* ---- Results ------------------------------------------------------------ */

typedef int32_t tws_result;

#define TWS_OK ((tws_result)0)
#define TWS_E_NOTIMPL ((tws_result)0x80004001u)       /* operation unsupported */
#define TWS_E_NOINTERFACE ((tws_result)0x80004002u)
#define TWS_E_FAIL ((tws_result)0x80004005u)          /* generic failure */
#define TWS_E_ACCESSDENIED ((tws_result)0x80070005u)
#define TWS_E_OUTOFMEMORY ((tws_result)0x8007000Eu)
#define TWS_E_INVALIDARG ((tws_result)0x80070057u)    /* invalid parameter */
#define TWS_E_NOAGGREGATION ((tws_result)0x80040110u)
#define TWS_ERR_ALLOCATED ((tws_result)0x8878000Au)   /* device in use */
#define TWS_ERR_CONTROLUNAVAIL ((tws_result)0x8878001Eu) /* control not requested at creation */
#define TWS_ERR_INVALIDCALL ((tws_result)0x88780032u) /* not valid in the object's state */
#define TWS_ERR_PRIOLEVELNEEDED ((tws_result)0x88780046u)
#define TWS_ERR_BADFORMAT ((tws_result)0x88780064u)   /* wave format not supported */
#define TWS_ERR_NODRIVER ((tws_result)0x88780078u)    /* no such device / no driver */
#define TWS_ERR_ALREADYINITIALIZED ((tws_result)0x88780082u)
#define TWS_ERR_BUFFERLOST ((tws_result)0x88780096u)  /* buffer memory lost; restore */
#define TWS_ERR_OTHERAPPHASPRIO ((tws_result)0x887800A0u)
#define TWS_ERR_UNINITIALIZED ((tws_result)0x887800AAu)
#define TWS_ERR_BUFFERTOOSMALL ((tws_result)0x887800B4u)
#define TWS_ERR_DS8_REQUIRED ((tws_result)0x887800BEu)
#define TWS_ERR_SENDLOOP ((tws_result)0x887800C8u)
#define TWS_ERR_BADSENDBUFFERGUID ((tws_result)0x887800D2u)
#define TWS_ERR_FXUNAVAILABLE ((tws_result)0x887800DCu)
#define TWS_ERR_OBJECTNOTFOUND ((tws_result)0x88781161u)

#define TWS_FAILED(r) ((tws_result)(r) < 0)

/* ---- Device identity ---------------------------------------------------- */

/* 16-byte device identifier; all zero (or a null pointer) means "the default
 * device" when creating objects. */
typedef struct tws_guid {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
} tws_guid;

/* ---- Wave formats (byte layout identical to the standard records) ------- */

#define TWS_WAVE_FORMAT_PCM 0x0001
#define TWS_WAVE_FORMAT_EXTENSIBLE 0xFFFE

/* Sub-format of extensible integer PCM; usable as an initializer. */
#define TWS_SUBTYPE_PCM_INIT \
    { 0x00000001u, 0x0000, 0x0010, { 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71 } }

#pragma pack(push, 1)
/* 18 bytes. cbSize counts the bytes that follow (22 for the extensible one). */
typedef struct tws_wave_format {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample; /* container bits per sample */
    uint16_t cbSize;
} tws_wave_format;

/* 40 bytes. Used for more than two channels, or for more than 16 bits. */
typedef struct tws_wave_format_extensible {
    tws_wave_format Format;
    union {
        uint16_t wValidBitsPerSample;
        uint16_t wSamplesPerBlock;
        uint16_t wReserved;
    } Samples;
    uint32_t dwChannelMask;
    tws_guid SubFormat;
} tws_wave_format_extensible;
#pragma pack(pop)

/* ---- Capabilities ------------------------------------------------------- */

/* tws_caps.dwFlags. A device reports the mono/stereo/8-bit/16-bit bits in
 * both the primary (0x1..0x8) and the secondary (0x100..0x800) group, so
 * either group can be read for "which channel counts and sizes it takes". */
#define TWS_CAPS_PRIMARYMONO 0x00000001u
#define TWS_CAPS_PRIMARYSTEREO 0x00000002u
#define TWS_CAPS_PRIMARY8BIT 0x00000004u
#define TWS_CAPS_PRIMARY16BIT 0x00000008u
#define TWS_CAPS_CONTINUOUSRATE 0x00000010u
#define TWS_CAPS_EMULDRIVER 0x00000020u
#define TWS_CAPS_CERTIFIED 0x00000040u
#define TWS_CAPS_SECONDARYMONO 0x00000100u
#define TWS_CAPS_SECONDARYSTEREO 0x00000200u
#define TWS_CAPS_SECONDARY8BIT 0x00000400u
#define TWS_CAPS_SECONDARY16BIT 0x00000800u

/* Capabilities of an output device. dwSize must be sizeof(tws_caps) (96). */
typedef struct tws_caps {
    uint32_t dwSize;
    uint32_t dwFlags;
    uint32_t dwMinSecondarySampleRate;
    uint32_t dwMaxSecondarySampleRate;
    uint32_t dwPrimaryBuffers;
    uint32_t dwMaxHwMixingAllBuffers;
    uint32_t dwMaxHwMixingStaticBuffers;
    uint32_t dwMaxHwMixingStreamingBuffers;
    uint32_t dwFreeHwMixingAllBuffers;
    uint32_t dwFreeHwMixingStaticBuffers;
    uint32_t dwFreeHwMixingStreamingBuffers;
    uint32_t dwMaxHw3DAllBuffers;
    uint32_t dwMaxHw3DStaticBuffers;
    uint32_t dwMaxHw3DStreamingBuffers;
    uint32_t dwFreeHw3DAllBuffers;
    uint32_t dwFreeHw3DStaticBuffers;
    uint32_t dwFreeHw3DStreamingBuffers;
    uint32_t dwTotalHwMemBytes;
    uint32_t dwFreeHwMemBytes;
    uint32_t dwMaxContigFreeHwMemBytes;
    uint32_t dwUnlockTransferRateHwBuffers;
    uint32_t dwPlayCpuOverheadSwBuffers;
    uint32_t dwReserved1;
    uint32_t dwReserved2;
} tws_caps;

/* Standard capture formats in tws_capture_caps.dwFormats: five groups of four
 * bits for 11025, 22050, 44100, 48000 and 96000 Hz; in each group mono 8-bit,
 * stereo 8-bit, mono 16-bit, stereo 16-bit. */
#define TWS_FORMAT_1M08 0x00000001u
#define TWS_FORMAT_1S08 0x00000002u
#define TWS_FORMAT_1M16 0x00000004u
#define TWS_FORMAT_1S16 0x00000008u
#define TWS_FORMAT_2M08 0x00000010u
#define TWS_FORMAT_2S08 0x00000020u
#define TWS_FORMAT_2M16 0x00000040u
#define TWS_FORMAT_2S16 0x00000080u
#define TWS_FORMAT_4M08 0x00000100u
#define TWS_FORMAT_4S08 0x00000200u
#define TWS_FORMAT_4M16 0x00000400u
#define TWS_FORMAT_4S16 0x00000800u
#define TWS_FORMAT_48M08 0x00001000u
#define TWS_FORMAT_48S08 0x00002000u
#define TWS_FORMAT_48M16 0x00004000u
#define TWS_FORMAT_48S16 0x00008000u
#define TWS_FORMAT_96M08 0x00010000u
#define TWS_FORMAT_96S08 0x00020000u
#define TWS_FORMAT_96M16 0x00040000u
#define TWS_FORMAT_96S16 0x00080000u
#define TWS_FORMAT_ALL 0x000FFFFFu

/* Capabilities of a capture device. dwSize must be sizeof(tws_capture_caps) (16). */
typedef struct tws_capture_caps {
    uint32_t dwSize;
    uint32_t dwFlags;
    uint32_t dwFormats;
    uint32_t dwChannels;
} tws_capture_caps;

/* ---- Notifications ------------------------------------------------------ */

/* Called on the sound system's own thread, with no lock held that the module
 * shares with its callers; it may call back into the buffer. */
typedef void (*tws_notify_fn)(void *context);

/* Offset that stands for "the buffer stopped" (by stop, or at the end of a
 * buffer that does not loop). */
#define TWS_BPN_OFFSETSTOP 0xFFFFFFFFu

/* The callback fires once the byte at dwOffset has been played (captured):
 * the cursor has moved past it. */
typedef struct tws_position_notify {
    uint32_t dwOffset;
    tws_notify_fn callback;
    void *context;
} tws_position_notify;

/* ---- Sound object and sound buffers (output) ---------------------------- */

/* Cooperative levels. */
#define TWS_SCL_NORMAL 1u
#define TWS_SCL_PRIORITY 2u
#define TWS_SCL_EXCLUSIVE 3u
#define TWS_SCL_WRITEPRIMARY 4u

/* tws_buffer_desc.dwFlags. */
#define TWS_BCAPS_PRIMARYBUFFER 0x00000001u /* not supported by this module */
#define TWS_BCAPS_STATIC 0x00000002u
#define TWS_BCAPS_LOCHARDWARE 0x00000004u
#define TWS_BCAPS_LOCSOFTWARE 0x00000008u
#define TWS_BCAPS_CTRL3D 0x00000010u
#define TWS_BCAPS_CTRLFREQUENCY 0x00000020u
#define TWS_BCAPS_CTRLPAN 0x00000040u
#define TWS_BCAPS_CTRLVOLUME 0x00000080u
#define TWS_BCAPS_CTRLPOSITIONNOTIFY 0x00000100u
#define TWS_BCAPS_CTRLFX 0x00000200u
#define TWS_BCAPS_STICKYFOCUS 0x00004000u
#define TWS_BCAPS_GLOBALFOCUS 0x00008000u
#define TWS_BCAPS_GETCURRENTPOSITION2 0x00010000u
#define TWS_BCAPS_MUTE3DATMAXDISTANCE 0x00020000u
#define TWS_BCAPS_LOCDEFER 0x00040000u
#define TWS_BCAPS_TRUEPLAYPOSITION 0x00080000u

/* Buffer size limits in bytes. */
#define TWS_BSIZE_MIN 4u
#define TWS_BSIZE_MAX 0x0FFFFFFFu

/* Volume in hundredths of a decibel. */
#define TWS_BVOLUME_MIN (-10000)
#define TWS_BVOLUME_MAX 0

/* Lock flags of sound buffers. */
#define TWS_BLOCK_FROMWRITECURSOR 0x00000001u
#define TWS_BLOCK_ENTIREBUFFER 0x00000002u

/* Play flags. */
#define TWS_BPLAY_LOOPING 0x00000001u

/* Status bits of sound buffers. */
#define TWS_BSTATUS_PLAYING 0x00000001u
#define TWS_BSTATUS_BUFFERLOST 0x00000002u
#define TWS_BSTATUS_LOOPING 0x00000004u

/* Description of a new sound buffer. dwSize must be sizeof(tws_buffer_desc);
 * dwBufferBytes a whole number of frames within TWS_BSIZE_MIN..MAX;
 * lpwfxFormat a PCM record (tws_wave_format) or an extensible one
 * (tws_wave_format_extensible, addressed through its Format member). */
typedef struct tws_buffer_desc {
    uint32_t dwSize;
    uint32_t dwFlags;
    uint32_t dwBufferBytes;
    uint32_t dwReserved;
    const tws_wave_format *lpwfxFormat;
    tws_guid guid3DAlgorithm;
} tws_buffer_desc;

/* What a buffer was created with. dwSize must be sizeof(tws_buffer_caps). */
typedef struct tws_buffer_caps {
    uint32_t dwSize;
    uint32_t dwFlags;
    uint32_t dwBufferBytes;
    uint32_t dwUnlockTransferRate;
    uint32_t dwPlayCpuOverhead;
} tws_buffer_caps;

typedef struct tws_buffer tws_buffer;
typedef struct tws_sound tws_sound;

/* A sound buffer: a ring of dwBufferBytes bytes that the device plays. */
typedef struct tws_buffer_vtbl {
    void (*release)(tws_buffer *self);
    tws_result (*get_caps)(tws_buffer *self, tws_buffer_caps *caps);
    /* With format null: *written = the size the record needs (18 or 40).
     * Otherwise copies the record if size is large enough
     * (TWS_E_INVALIDARG if not); written may be null. */
    tws_result (*get_format)(tws_buffer *self, tws_wave_format *format, uint32_t size,
                             uint32_t *written);
    tws_result (*get_status)(tws_buffer *self, uint32_t *status);
    /* Byte offsets; either pointer may be null. While playing, the write
     * cursor leads the play cursor by about 10 ms of audio (whole frames,
     * modulo the size); stopped, both are the current position. */
    tws_result (*get_current_position)(tws_buffer *self, uint32_t *play, uint32_t *write);
    /* Moves the play cursor (rounded down to a whole frame); offset < size. */
    tws_result (*set_current_position)(tws_buffer *self, uint32_t offset);
    /* Locks bytes starting at offset as up to two regions: region 1 up to the
     * end of the ring, region 2 from its start (null/0 when not needed, and
     * also when ptr2 is null: region 1 then stops at the end). With
     * TWS_BLOCK_ENTIREBUFFER bytes is ignored and the whole ring is locked;
     * with TWS_BLOCK_FROMWRITECURSOR offset is ignored. offset >= size,
     * bytes 0 or bytes > size: TWS_E_INVALIDARG. Lost: TWS_ERR_BUFFERLOST. */
    tws_result (*lock)(tws_buffer *self, uint32_t offset, uint32_t bytes, void **ptr1,
                       uint32_t *bytes1, void **ptr2, uint32_t *bytes2, uint32_t flags);
    /* Takes back the regions of a lock (pointers inside the ring). */
    tws_result (*unlock)(tws_buffer *self, void *ptr1, uint32_t bytes1, void *ptr2,
                         uint32_t bytes2);
    /* Plays from the play cursor; TWS_BPLAY_LOOPING wraps at the end, else the
     * buffer stops there (cursor back at 0). Playing again only updates the
     * looping flag. Lost: TWS_ERR_BUFFERLOST. */
    tws_result (*play)(tws_buffer *self, uint32_t flags);
    /* Stops, keeping the play cursor. Fires the stop notifications when it
     * was playing. */
    tws_result (*stop)(tws_buffer *self);
    /* TWS_BVOLUME_MIN..MAX; needs TWS_BCAPS_CTRLVOLUME. */
    tws_result (*set_volume)(tws_buffer *self, int32_t volume);
    tws_result (*get_volume)(tws_buffer *self, int32_t *volume);
    /* Makes a lost buffer usable again (it may fail with
     * TWS_ERR_BUFFERLOST while the device is still taken). A lost buffer keeps
     * moving its cursors and firing notifications, so that its owner gets to
     * restore it. */
    tws_result (*restore)(tws_buffer *self);
    /* Replaces the notification positions (count 0 clears them). Needs
     * TWS_BCAPS_CTRLPOSITIONNOTIFY; not while playing (TWS_ERR_INVALIDCALL);
     * offsets below the size or TWS_BPN_OFFSETSTOP, callbacks not null. */
    tws_result (*set_notification_positions)(tws_buffer *self, uint32_t count,
                                             const tws_position_notify *positions);
} tws_buffer_vtbl;

struct tws_buffer {
    const tws_buffer_vtbl *vtbl;
};

/* A sound object: one output device. */
typedef struct tws_sound_vtbl {
    void (*release)(tws_sound *self);
    tws_result (*get_caps)(tws_sound *self, tws_caps *caps);
    /* Levels TWS_SCL_NORMAL..TWS_SCL_WRITEPRIMARY. There is no window. */
    tws_result (*set_cooperative_level)(tws_sound *self, uint32_t level);
    /* Rates outside the device's range, channel counts outside 1..8, sample
     * containers other than 8/16/24/32 bits: TWS_ERR_BADFORMAT. */
    tws_result (*create_buffer)(tws_sound *self, const tws_buffer_desc *desc, tws_buffer **out);
} tws_sound_vtbl;

struct tws_sound {
    const tws_sound_vtbl *vtbl;
};

/* ---- Capture object and capture buffers (input) ------------------------- */

/* Lock flags of capture buffers. */
#define TWS_CBLOCK_ENTIREBUFFER 0x00000001u

/* Start flags. */
#define TWS_CBSTART_LOOPING 0x00000001u

/* Status bits of capture buffers. */
#define TWS_CBSTATUS_CAPTURING 0x00000001u
#define TWS_CBSTATUS_LOOPING 0x00000002u

/* Description of a new capture buffer. dwSize must be
 * sizeof(tws_capture_buffer_desc); dwFlags 0. */
typedef struct tws_capture_buffer_desc {
    uint32_t dwSize;
    uint32_t dwFlags;
    uint32_t dwBufferBytes;
    uint32_t dwReserved;
    const tws_wave_format *lpwfxFormat;
    uint32_t dwFXCount;
    void *lpDSCFXDesc;
} tws_capture_buffer_desc;

typedef struct tws_capture_buffer tws_capture_buffer;
typedef struct tws_capture tws_capture;

/* A capture buffer: a ring the device fills. */
typedef struct tws_capture_buffer_vtbl {
    void (*release)(tws_capture_buffer *self);
    /* As for sound buffers. The format may differ from the one asked for
     * (a device that captures at a fixed rate reports that rate). */
    tws_result (*get_format)(tws_capture_buffer *self, tws_wave_format *format, uint32_t size,
                             uint32_t *written);
    tws_result (*get_status)(tws_capture_buffer *self, uint32_t *status);
    /* Byte offsets; either pointer may be null. Data before the read cursor
     * is complete. */
    tws_result (*get_current_position)(tws_capture_buffer *self, uint32_t *capture,
                                       uint32_t *read);
    /* As for sound buffers; the whole-buffer flag is TWS_CBLOCK_ENTIREBUFFER. */
    tws_result (*lock)(tws_capture_buffer *self, uint32_t offset, uint32_t bytes, void **ptr1,
                       uint32_t *bytes1, void **ptr2, uint32_t *bytes2, uint32_t flags);
    tws_result (*unlock)(tws_capture_buffer *self, void *ptr1, uint32_t bytes1, void *ptr2,
                         uint32_t bytes2);
    /* Starts capturing at the capture cursor; without TWS_CBSTART_LOOPING the
     * buffer stops when it is full (cursor back at 0). */
    tws_result (*start)(tws_capture_buffer *self, uint32_t flags);
    /* Stops; fires the stop notifications when it was capturing. */
    tws_result (*stop)(tws_capture_buffer *self);
    /* As for sound buffers; not while capturing. */
    tws_result (*set_notification_positions)(tws_capture_buffer *self, uint32_t count,
                                             const tws_position_notify *positions);
} tws_capture_buffer_vtbl;

struct tws_capture_buffer {
    const tws_capture_buffer_vtbl *vtbl;
};

/* A capture object: one capture device. */
typedef struct tws_capture_vtbl {
    void (*release)(tws_capture *self);
    tws_result (*get_caps)(tws_capture *self, tws_capture_caps *caps);
    /* Rates outside the span of the device's format bits (unless it captures
     * at a fixed rate), channels outside 1..8, containers other than
     * 8/16/24/32 bits: TWS_ERR_BADFORMAT. */
    tws_result (*create_buffer)(tws_capture *self, const tws_capture_buffer_desc *desc,
                                tws_capture_buffer **out);
} tws_capture_vtbl;

struct tws_capture {
    const tws_capture_vtbl *vtbl;
};

/* ---- Entry points ------------------------------------------------------- */

/* Enumeration callback: guid is null for the first entry (the primary
 * driver, which names no particular device). Return nonzero to go on. */
typedef int32_t (*tws_enum_callback)(const tws_guid *guid, const char *description,
                                     const char *module, void *context);

/* Creates the sound object of an output device (null or zero guid: the
 * default one). Unknown device: TWS_ERR_NODRIVER. */
typedef tws_result (*tws_sound_create_fn)(const tws_guid *device, tws_sound **out);
/* Creates the capture object of a capture device. */
typedef tws_result (*tws_capture_create_fn)(const tws_guid *device, tws_capture **out);
/* Enumerate output (capture) devices: the primary entry first, then every
 * device, while the callback returns nonzero. */
typedef tws_result (*tws_sound_enumerate_fn)(tws_enum_callback callback, void *context);
typedef tws_result (*tws_capture_enumerate_fn)(tws_enum_callback callback, void *context);

TWS_EXPORT tws_result tws_sound_create(const tws_guid *device, tws_sound **out);
TWS_EXPORT tws_result tws_capture_create(const tws_guid *device, tws_capture **out);
TWS_EXPORT tws_result tws_sound_enumerate(tws_enum_callback callback, void *context);
TWS_EXPORT tws_result tws_capture_enumerate(tws_enum_callback callback, void *context);

#ifdef __cplusplus
}
#endif

#endif /* TONEWELL_SOUND_H */
