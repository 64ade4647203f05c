/*
 * Tonewell: sound output, sound input, WAV files and one-call sound file
 * playback for programs of the Vantor host.
 *
 * This header declares the library's 29 exports and the host data types that
 * cross them. It compiles as C (C99 and later, also -pedantic) and as C++.
 *
 * Every export returns an int32 code: 0 success, positive an error, negative a
 * warning that comes with a completed operation (see TW_ codes below). The host
 * owns the texts of the codes; the library never produces text for them.
 *
 * Sample data crosses the boundary in host memory blocks reached through
 * handles (a pointer to the host's pointer to the block). The library resizes
 * them only through the host's run-time operations, declared at the end.
 */
#ifndef TONEWELL_TONEWELL_H
#define TONEWELL_TONEWELL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(TONEWELL_BUILDING_LIBRARY)
#define TONEWELL_API __attribute__((visibility("default")))
#else
#define TONEWELL_API
#endif

/* ---- Host data types ------------------------------------------------- */

/* Names an output task, input task or sound file; -1 means "none made". */
typedef int32_t TaskRefnum;

/* Host string: int32 length, then that many 8-bit characters (no terminator
 * counted). Reached through a handle. */
typedef struct TwString {
    int32_t length;
    char text[1];
} TwString;
typedef TwString **TwStringHandle;

/* Host numeric array: one int32 size per dimension, directly followed by the
 * elements in row-major order (last index fastest), without padding.
 * 1-D: elements start at byte 4. 2-D (rows = channels, columns = frames):
 * element (i, j) at byte 8 + (i * dims[1] + j) * element size. */
typedef struct TwArray {
    int32_t dims[1];
} TwArray;
typedef TwArray **TwArrayHandle;

/* Numeric type codes of host arrays. Codes 2, 3, 5, 9 and 10 carry samples;
 * for the rest only the element size matters. Any other code counts as 2
 * bytes. */
enum {
    TW_TYPE_I8 = 1,
    TW_TYPE_I16 = 2,
    TW_TYPE_I32 = 3,
    TW_TYPE_I64 = 4,
    TW_TYPE_U8 = 5,
    TW_TYPE_U16 = 6,
    TW_TYPE_U32 = 7,
    TW_TYPE_U64 = 8,
    TW_TYPE_F32 = 9,
    TW_TYPE_F64 = 10
};

/* ---- Result codes ------------------------------------------------------ */

enum {
    TW_OK = 0,
    TW_E_ARGUMENT = 1,           /* missing or unusable argument */
    TW_E_NO_MEMORY = 2,          /* out of memory, no thread, lock wait failed */
    TW_E_SHARING = 5,            /* sharing or lock violation */
    TW_E_NOT_FOUND = 7,          /* file or path not found */
    TW_E_ACCESS = 8,             /* access denied or read-only medium */
    TW_E_DISK_FULL = 9,
    TW_E_TOO_MANY_FILES = 11,
    TW_E_ENUMERATION = 37,       /* device enumeration failed */
    TW_E_GENERIC = 42,           /* generic failure */
    TW_E_NOT_SUPPORTED = 53,     /* the task class lacks the operation */
    TW_E_NO_SAMPLES = 61,        /* empty capture array; no conversion memory */
    TW_E_IS_DIRECTORY = 117,
    TW_E_NO_DEVICE = 4800,       /* no such device, or no sound system */
    TW_E_BAD_REFNUM = 4801,      /* unknown refnum, or no device buffer */
    TW_E_ALLOCATED = 4802,       /* device or buffer already in use */
    TW_E_DEVICE = 4803,          /* device operation failed; value out of range */
    TW_E_PATH = 4805,            /* file path missing, empty or unusable */
    TW_E_NO_SOUND_SYSTEM = 4806, /* sound system module missing */
    TW_E_FILE = 4810,            /* not readable or writable as a sound file */
    TW_E_FORMAT = 4811,          /* sample format not supported */
    TW_E_INCOMPLETE = 4821,      /* finite write or read did not finish the block */
    TW_E_TIMEOUT = 4822,
    TW_E_CAPTURE_STOPPED = 4823,
    TW_W_VOLUME = -4803,         /* warning: volume could not be set or read */
    TW_W_PLAYBACK_ENDED = -4820, /* warning: playback of written data had ended */
    TW_W_CLIPPED = -4824         /* warning: samples outside -1..1 were clipped */
};

/* Output task modes. */
enum { TW_MODE_ONE_SHOT = 0, TW_MODE_CONTINUOUS = 1 };

/* ---- Output tasks ------------------------------------------------------ */

TONEWELL_API int32_t SOConfigure(int32_t deviceIndex, int32_t bufferSamples, double *sampleRate,
                                 int32_t *channels, int32_t *bitsPerSample, int32_t mode,
                                 TaskRefnum *refnumOut);
TONEWELL_API int32_t SOWrite(TaskRefnum refnum, TwArrayHandle data, double timeoutSeconds,
                             uint16_t sampleType);
TONEWELL_API int32_t SOStart(TaskRefnum refnum);
TONEWELL_API int32_t SOStop(TaskRefnum refnum);
TONEWELL_API int32_t SOPause(TaskRefnum refnum);
TONEWELL_API int32_t SOWait(TaskRefnum refnum, double timeoutSeconds);
TONEWELL_API int32_t SOVolume(TaskRefnum refnum, TwArrayHandle volumes);
TONEWELL_API int32_t SOInfo(TaskRefnum refnum, TwArrayHandle volumesOut, uint8_t *flagOut);
TONEWELL_API int32_t SOClear(TaskRefnum refnum);
TONEWELL_API int32_t PlaySoundFile(int32_t deviceIndex, TwStringHandle path, uint32_t startupDelayMs,
                                   TaskRefnum *refnumOut);

/* ---- Input tasks ------------------------------------------------------- */

TONEWELL_API int32_t SIConfigure(int32_t deviceIndex, int32_t bufferSamples, double *sampleRate,
                                 int32_t *channels, int32_t *bitsPerSample, int32_t mode,
                                 TaskRefnum *refnumOut);
TONEWELL_API int32_t SIRead(TaskRefnum refnum, TwArrayHandle data, int32_t samplesToRead,
                            int32_t *totalSamplesRead, double timeoutSeconds, uint16_t sampleType);
TONEWELL_API int32_t SIStart(TaskRefnum refnum);
TONEWELL_API int32_t SIStop(TaskRefnum refnum);
TONEWELL_API int32_t SIClear(TaskRefnum refnum);

/* ---- Task state (input flag nonzero: input tasks; zero: output tasks) -- */

TONEWELL_API int32_t GetConfFormat(TaskRefnum refnum, uint8_t *inputFlag, double *sampleRate,
                                   int32_t *channels, int32_t *bitsPerSample, uint16_t *sampleType);
TONEWELL_API int32_t GetConfState(TaskRefnum refnum, uint8_t *inputFlag, uint8_t *running,
                                  uint8_t *continuous);
TONEWELL_API int32_t GetStateDesc(TaskRefnum refnum, uint8_t *inputFlag, TwStringHandle text);

/* ---- Devices ------------------------------------------------------------ */

TONEWELL_API int32_t SoundNumDevices(uint8_t *inputFlag, int32_t *count);
TONEWELL_API int32_t SoundDeviceInfo(int32_t deviceIndex, uint8_t *inputFlag, TwArrayHandle channels,
                                     TwArrayHandle bitDepths, double *minRate, double *maxRate,
                                     TwStringHandle name);

/* ---- Sound files -------------------------------------------------------- */

TONEWELL_API int32_t SoundReadFileOpen(TwStringHandle path, TaskRefnum *refnumOut);
TONEWELL_API int32_t SoundReadFileData(TaskRefnum refnum, int32_t seekMode, int32_t seekOffset,
                                       int32_t samplesToRead, uint16_t sampleType, int32_t reserved,
                                       TwArrayHandle data, int32_t *samplesRead, uint8_t *endOfFile);
TONEWELL_API int32_t SoundReadFileSamplesRead(TaskRefnum refnum, int32_t *samplesRead);
TONEWELL_API int32_t SoundFileInfoRef(TaskRefnum refnum, int32_t reserved, double *sampleRate,
                                      int32_t *channels, int32_t *bitsPerSample,
                                      double *durationSeconds, int32_t *totalSamples);
TONEWELL_API int32_t SoundWriteFileOpen(TwStringHandle path, TaskRefnum *refnumOut, double sampleRate,
                                        int32_t channels, int32_t bitsPerSample);
TONEWELL_API int32_t SoundWriteFileData(TaskRefnum refnum, TwArrayHandle data, int32_t *samplesWritten,
                                        uint16_t sampleType);
TONEWELL_API int32_t SoundWriteFileSamplesWritten(TaskRefnum refnum, int32_t *samplesWritten);
TONEWELL_API int32_t SoundFileClose(TaskRefnum refnum);

/* ---- Host run-time ------------------------------------------------------ */

/* Names the host run-time module (a dlopen handle) whose operations the
 * library binds from then on. Without it the library looks in the main
 * program, then in an already loaded libvantorrt.so or libvantorffrt.so. */
TONEWELL_API void SetVantorRTModule(void *module);

/* The four operations a host run-time module must export under these names,
 * and one probe symbol ("gVantorRTVersion" or "HostAllocHandle") when it is
 * the main program. */
typedef int32_t (*TwCleanupProc)(void *data);
typedef void (*TwHostCopyTextFn)(char *destination, const char *source);
typedef int32_t (*TwHostSizeHandleFn)(void **handle, int32_t newSizeBytes);
typedef int32_t (*TwHostRegisterCleanupFn)(TwCleanupProc proc, void *data, int32_t mode);
typedef int32_t (*TwHostSizeArrayFn)(int32_t typeCode, int32_t dimensions, void ***arrayHandle,
                                     int32_t newElementCount);

#ifdef __cplusplus
}
#endif

#endif /* TONEWELL_TONEWELL_H */
