/*
 * Tonewell: sound output, sound input, WAV files and one-call sound file
 * playback for programs of the Vantor host.
 *
 * This header declares the library's 29 exports and the host data types that
 * cross them. It compiles as C (C99 and later, also -pedantic) and as C++.
 * docs/host-integration.md walks through a complete host; docs/errors.md
 * explains every result code.
 *
 * ---- The host contract ------------------------------------------------
 *
 * The library runs inside a host process and calls four operations of the
 * host's run-time, which the host must export under these names with C
 * linkage (types below):
 *
 *   void    HostCopyText(char *destination, const char *source);
 *   int32_t HostSizeHandle(void **handle, int32_t newSizeBytes);
 *   int32_t HostRegisterCleanup(TwCleanupProc proc, void *data, int32_t mode);
 *   int32_t HostSizeArray(int32_t typeCode, int32_t dimensions,
 *                         void ***arrayHandle, int32_t newElementCount);
 *
 * It looks for them, the first time it needs one, in the module given to
 * SetVantorRTModule; else in the main program when the program exports the
 * probe symbol `gVantorRTVersion` (any int32_t) or `HostAllocHandle`; else in
 * an already loaded libvantorrt.so or libvantorffrt.so. A main program that
 * is the host must put these symbols in its dynamic symbol table: link it
 * with -rdynamic, or set ENABLE_EXPORTS on its CMake target. When there is no
 * host, or an operation is missing, the process cannot go on: the library
 * writes "Fatal Error: VANTOR.LIB was not called from a Vantor process." (or
 * "Fatal Error: VANTOR.LIB could not locate "<name>".") to standard error and
 * ends the process with exit code 1.
 *
 * Memory: every string and array crossing the interface is the host's,
 * reached through a handle (a pointer to the host's pointer to a block). The
 * library never frees host memory; it resizes blocks only with
 * HostSizeHandle (and HostSizeArray to empty a sample array) and reads the
 * block's address through the handle again after each resize. A nonzero
 * result of HostSizeHandle is returned by the export unchanged, and nothing
 * more is written into that block.
 *
 * Who sizes what: the library sizes everything it fills (captured samples,
 * samples read from a file, device capability arrays, volume arrays, strings
 * it writes); arrays the host passes to be played or written are read as
 * they are. Every other out-parameter is a plain pointer the host owns.
 *
 * Clean-up: every task and open file registers a clean-up procedure with the
 * host when it is made (HostRegisterCleanup(proc, object, 2)) and removes it
 * when cleared or closed (mode 0); SOWait registers one of its own (mode 6)
 * that stops its task. The host may call a registered procedure from any
 * thread at any moment until the mode-0 call for it returns; the procedure
 * shuts the task down (worker thread ended, device released) or closes the
 * file (valid on disk), ends calls waiting in it, and leaves the refnum
 * registered until the host clears or closes it.
 *
 * Units: sample counts are frames (one sample per channel); times and
 * time-outs are seconds in a double; rates are frames per second. Samples of
 * floating-point type codes are in -1..1; integer type codes use the type's
 * full scale whatever the device's sample size. Volumes are 0..100 on a
 * logarithmic curve: 100 full level, 50 is -24 dB, 0 is -100 dB.
 *
 * Time-outs: negative waits without limit, 0 does not wait, a positive value
 * waits up to that many seconds (to the millisecond, truncated).
 *
 * Threads: every export may be called from any thread, concurrently with any
 * other. Calls on existing tasks or files run in parallel (reading or writing
 * one WAV file takes that file alone). Configure, PlaySoundFile, open, clear
 * and close wait until no call on that family (output tasks, input tasks,
 * files) is in progress, so a call waiting inside a task holds them back.
 *
 * Results: every export returns an int32 code: 0 success, positive an error
 * (the call did not complete), negative a warning that comes with a completed
 * operation (TW_ codes below, explained in docs/errors.md). The library never
 * produces text for a code.
 *
 * Files: WAV files are read and written by the library itself, but only
 * with the sound system module, libtonewell-sound.so, beside the library or
 * in its tonewell/ folder (4806 otherwise). MIDI playback needs the music
 * engine module, libtonewell-music.so, in the same place, and a General MIDI
 * SoundFont (/usr/share/sounds/sf2/default-GM.sf2). On Windows the modules
 * are tonewell-sound.dll and tonewell-music.dll beside tonewell.dll, and MIDI
 * files cannot be played (4810): the music engine has no synthesizer there.
 */
#ifndef TONEWELL_TONEWELL_H
#define TONEWELL_TONEWELL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(TONEWELL_BUILDING_LIBRARY)
#if defined(_WIN32)
/* The module-definition file names the exports. */
#define TONEWELL_API
#else
#define TONEWELL_API __attribute__((visibility("default")))
#endif
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

/* ---- Output tasks ------------------------------------------------------
 *
 * An output task plays host samples on one output device through a ring of
 * `bufferSamples` frames. Mode TW_MODE_CONTINUOUS streams block after block:
 * each SOWrite returns once its block is in the ring, so the host is paced
 * by playback; when no new block comes in time, playback stops and the next
 * SOWrite reports TW_W_PLAYBACK_ENDED. Mode TW_MODE_ONE_SHOT plays what one
 * SOWrite puts in the ring. Writing starts playback in both modes.
 */

/* Makes an output task on output device `deviceIndex` (0 .. count-1 of
 * SoundNumDevices) with a ring of `bufferSamples` frames (4 .. 0x0FFFFFFF).
 * `sampleRate`, `channels` and `bitsPerSample` are the format asked for
 * (in) and the format set up (out). `mode`: TW_MODE_ONE_SHOT or
 * TW_MODE_CONTINUOUS (which starts a worker thread). Writes the new refnum,
 * or -1 when no task was made. Blocks until the device is open and the worker
 * has started (milliseconds).
 * Returns 0; 1 for a null pointer; 4800 for no such device or no sound
 * system; 4803 for a value out of range or a device that refuses; 4802 when
 * the device is in use; 4811 for a format it does not take; 2 out of memory. */
TONEWELL_API int32_t SOConfigure(int32_t deviceIndex, int32_t bufferSamples, double *sampleRate,
                                 int32_t *channels, int32_t *bitsPerSample, int32_t mode,
                                 TaskRefnum *refnumOut);

/* Plays a 2-D array (rows = channels, columns = frames; one row plays on
 * every channel) of type code `sampleType` (2, 3, 5, 9 or 10). The library
 * reads the array only until SOWrite returns.
 * Continuous mode: blocks until the whole block is in the ring (about one
 * ring's duration at most behind playback); `timeoutSeconds` bounds only the
 * wait for another SOWrite on the same task to finish. One-shot mode: copies
 * what fits at once and returns.
 * Returns 0 (also for an empty array); TW_W_PLAYBACK_ENDED once after the
 * stream ran dry; TW_W_CLIPPED when float samples were clipped; 4821 when a
 * one-shot block did not fit; 4822 when the time-out passed; 4811 without a
 * device buffer; 42 for a type code without samples; 4801 for an unknown
 * refnum; a sticky error of the task. */
TONEWELL_API int32_t SOWrite(TaskRefnum refnum, TwArrayHandle data, double timeoutSeconds,
                             uint16_t sampleType);

/* Starts (or resumes) playback of what is in the ring. Does not block.
 * Returns 0; 4803 when the device refuses; 4801 for an unknown refnum. On a
 * MIDI task: plays the file from its start, and waits (20 ms steps) until it
 * sounds. */
TONEWELL_API int32_t SOStart(TaskRefnum refnum);

/* Stops playback and rewinds; a write or wait in progress ends. Does not
 * block. Returns 0; 4803 without a device buffer; 4801 for an unknown refnum. */
TONEWELL_API int32_t SOStop(TaskRefnum refnum);

/* Stops playback and keeps the position (SOStart resumes). Does not block.
 * Returns 0; 4802 without a device buffer; a mapped device error; 4801. */
TONEWELL_API int32_t SOPause(TaskRefnum refnum);

/* Waits until playback has stopped (the ring ran out, or SOStop), polling
 * every 20 ms, for at most `timeoutSeconds` (negative: no limit; 0: returns at
 * once). While it waits, the host may end it with the clean-up procedure it
 * registers (mode 6). Returns 0 when playback has stopped; 4822 when the
 * time-out passed first; 4801 for an unknown refnum; the host's result of
 * the registration otherwise. */
TONEWELL_API int32_t SOWait(TaskRefnum refnum, double timeoutSeconds);

/* Sets the volume from the first element of a 1-D int32 array (0..100,
 * clamped). Returns 0; 1 for an empty array (whatever the refnum);
 * TW_W_VOLUME when the device has no volume control; 4801. */
TONEWELL_API int32_t SOVolume(TaskRefnum refnum, TwArrayHandle volumes);

/* Reads the volume back: `volumesOut` (a 1-D int32 array) is resized to one
 * element per channel, each the volume (0..100; it may read one above the
 * value set); `*flagOut` = 0. Returns 0; TW_W_VOLUME; a host resize error;
 * 4801. Nothing is written after the first failure. */
TONEWELL_API int32_t SOInfo(TaskRefnum refnum, TwArrayHandle volumesOut, uint8_t *flagOut);

/* Deletes an output or MIDI task: playback stops, the worker thread ends,
 * the device is released, the clean-up registration is removed. The refnum
 * is not used again. Waits for calls on output tasks in progress. Returns 0,
 * or 4801 when the refnum names no task. */
TONEWELL_API int32_t SOClear(TaskRefnum refnum);

/* Plays a sound file with one call: a Standard MIDI File (a path containing
 * ".mid" or ".rmi" is read as one), or a WAV file, through the music engine,
 * on output device `deviceIndex`. `startupDelayMs` is slept once, after the
 * engine is first created. Writes the refnum of a MIDI task in the output
 * task family (SOWait, SOStop, SOStart, SOPause, SOVolume, SOInfo, SOClear,
 * GetConfState, GetConfFormat and GetStateDesc work on it; SOWrite returns
 * 1), or -1. Blocks while the file loads and until it starts sounding.
 * Returns 0 (also when the file loads but does not start: the task then
 * reports not running); 4805 for a null or empty path, or one longer than
 * 259 characters; 4800 for no such
 * device; 4810 when the file cannot be loaded or played; 4803 when the
 * engine refuses a setting. */
TONEWELL_API int32_t PlaySoundFile(int32_t deviceIndex, TwStringHandle path, uint32_t startupDelayMs,
                                   TaskRefnum *refnumOut);

/* ---- Input tasks -------------------------------------------------------
 *
 * An input task captures from one capture device into a ring of
 * `bufferSamples` frames, from configuration on. TW_MODE_CONTINUOUS keeps
 * capturing (a worker thread moves the ring into the host's arrays); one-shot
 * mode captures one ring's worth and stops. Once stopped, an input task does
 * not capture again: its reads and SIStart return 4823.
 */

/* Makes an input task on capture device `deviceIndex` and starts capturing;
 * arguments and results as SOConfigure. Blocks until capture runs. */
TONEWELL_API int32_t SIConfigure(int32_t deviceIndex, int32_t bufferSamples, double *sampleRate,
                                 int32_t *channels, int32_t *bitsPerSample, int32_t mode,
                                 TaskRefnum *refnumOut);

/* Fills `data` with `samplesToRead` frames: the library resizes it to
 * channels x samplesToRead of `sampleType` (2, 3, 5, 9, 10), copies what is
 * already captured, and waits for the rest up to `timeoutSeconds` (negative:
 * no limit; 0: takes what is there). When the time-out passes or the capture
 * stops first, the array is shrunk to the frames it holds.
 * `*totalSamplesRead` gets the frames delivered by completed reads so far.
 * Returns 0; 4822 when the time-out passed (the array holds what came);
 * 4823 once the capture has stopped; 4803 for a negative count (total left
 * alone); 61 for an array without room; 4801 (total set to 0). */
TONEWELL_API int32_t SIRead(TaskRefnum refnum, TwArrayHandle data, int32_t samplesToRead,
                            int32_t *totalSamplesRead, double timeoutSeconds, uint16_t sampleType);

/* Starts capture when it is not running. Waits (20 ms steps) until it runs.
 * Returns 0; 4823 after a stop; a mapped device error; 4801. */
TONEWELL_API int32_t SIStart(TaskRefnum refnum);

/* Stops capture for good; a read in progress gets what was captured. Does
 * not block. Returns 0; a mapped device error; 4801. */
TONEWELL_API int32_t SIStop(TaskRefnum refnum);

/* Deletes an input task (as SOClear). Returns 0, or 4801. */
TONEWELL_API int32_t SIClear(TaskRefnum refnum);

/* ---- Task state (input flag nonzero: input tasks; zero: output tasks) -- */

/* The task's format: rate, channels, bits per sample and the host type code
 * that holds its samples best (5 up to 8 bits, 2 up to 16, 3 above). A MIDI
 * task answers 44100 Hz, 2 channels, 16 bits, type 2. Any out-pointer may be
 * null. Does not block. Returns 0, or 4801 (nothing written). */
TONEWELL_API int32_t GetConfFormat(TaskRefnum refnum, uint8_t *inputFlag, double *sampleRate,
                                   int32_t *channels, int32_t *bitsPerSample, uint16_t *sampleType);

/* Whether the task is playing or capturing now, and whether it is
 * continuous. Does not block. Returns 0, or 4801 (both flags written false). */
TONEWELL_API int32_t GetConfState(TaskRefnum refnum, uint8_t *inputFlag, uint8_t *running,
                                  uint8_t *continuous);

/* A short state text into the host string `text` (the library sizes it):
 * "isRunning= T" or "isRunning= F" for output tasks, "IsPlaying= T"/"F" for
 * MIDI tasks, "InputData " for input tasks. Returns 0; a host resize error;
 * 4801 (the string is left alone). */
TONEWELL_API int32_t GetStateDesc(TaskRefnum refnum, uint8_t *inputFlag, TwStringHandle text);

/* ---- Devices ------------------------------------------------------------
 *
 * Devices are listed once, at the first call that needs them, and numbered
 * 0, 1, ... in the sound system's order; the list stays as it is while the
 * library is loaded.
 */

/* The number of capture (`*inputFlag` nonzero) or output devices; 0 without
 * a sound system. Returns 0. */
TONEWELL_API int32_t SoundNumDevices(uint8_t *inputFlag, int32_t *count);

/* A device's capabilities: `channels` and `bitDepths` (1-D int32 arrays the
 * library sizes) get the channel counts and sample sizes it takes,
 * `*minRate` and `*maxRate` its rate range, `name` (a host string) its name.
 * Opens the device for a moment. Returns 0; 4800 for no such device (empty
 * arrays, rates 0, empty name); 4803 when the device cannot be asked. */
TONEWELL_API int32_t SoundDeviceInfo(int32_t deviceIndex, uint8_t *inputFlag, TwArrayHandle channels,
                                     TwArrayHandle bitDepths, double *minRate, double *maxRate,
                                     TwStringHandle name);

/* ---- Sound files -------------------------------------------------------
 *
 * WAV files of integer PCM (1 to 32 bits) or 32-bit float, read and written
 * by the library (the sound system module must be present). Reads are
 * bounded by what the file holds. Each open file has a refnum in the file
 * family; a reader's refnum given to a writer's export (or the reverse)
 * counts as unknown (4801).
 */

/* Opens a WAV file for reading and writes its refnum (left alone on
 * failure). Returns 0; 4805 for a null or empty path; 7, 8, 117 and the
 * like for the path; 4806 without the sound system module; 4810 when it is
 * not a readable WAV file. */
TONEWELL_API int32_t SoundReadFileOpen(TwStringHandle path, TaskRefnum *refnumOut);

/* Seeks, then reads up to `samplesToRead` frames (negative: all the file
 * holds) into `data`, which the library sizes to channels x frames of
 * `sampleType` (2, 3, 5, 9, 10). Seek modes, in frames: 0 from the start of
 * the data, 1 back from its end, 2 from the present position (mode 2 with
 * offset 0 leaves the position alone); the position is clamped to the data.
 * `reserved` is ignored. `*samplesRead` gets the frames read, `*endOfFile`
 * whether the data is used up. Takes the file alone; does not wait for
 * anything but the disk.
 * Returns 0; 61 for a count of 0; 4803 for a failed seek or unknown mode;
 * 4811 for a sample format it does not read; 42 for a type code without
 * samples; 4810 for a read error; 4801 (samples read 0, array emptied). */
TONEWELL_API int32_t SoundReadFileData(TaskRefnum refnum, int32_t seekMode, int32_t seekOffset,
                                       int32_t samplesToRead, uint16_t sampleType, int32_t reserved,
                                       TwArrayHandle data, int32_t *samplesRead, uint8_t *endOfFile);

/* The reader's position in frames from the start of the data. Returns 0, or
 * 4801 (0 written). */
TONEWELL_API int32_t SoundReadFileSamplesRead(TaskRefnum refnum, int32_t *samplesRead);

/* A reader's format: rate, channels, bits per sample, duration in seconds
 * and length in frames. `reserved` is ignored. Returns 0, or 4801. */
TONEWELL_API int32_t SoundFileInfoRef(TaskRefnum refnum, int32_t reserved, double *sampleRate,
                                      int32_t *channels, int32_t *bitsPerSample,
                                      double *durationSeconds, int32_t *totalSamples);

/* Creates (or replaces) a WAV file of the given format and writes its
 * refnum. Returns 0; 1 for a format no header can describe (channels,
 * rate or bits not positive, bits above 32); 4805, 7, 8, 117, 5 and the like
 * for the path; 4806 without the sound system module. */
TONEWELL_API int32_t SoundWriteFileOpen(TwStringHandle path, TaskRefnum *refnumOut, double sampleRate,
                                        int32_t channels, int32_t bitsPerSample);

/* Appends the frames of a 2-D array (rows = channels) of `sampleType` and
 * writes the frames written to `*samplesWritten`. Each call reaches the file
 * before it returns; the header is completed when the file is closed (or
 * cleaned up). Takes the file alone. Returns 0; TW_W_CLIPPED; 4810 when the
 * data cannot be written (disk full, past the 4 GiB of a WAV file: nothing
 * of that call is kept); 42 for a type code without samples; 4801. */
TONEWELL_API int32_t SoundWriteFileData(TaskRefnum refnum, TwArrayHandle data, int32_t *samplesWritten,
                                        uint16_t sampleType);

/* Frames written to the file so far. Returns 0, or 4801 (0 written). */
TONEWELL_API int32_t SoundWriteFileSamplesWritten(TaskRefnum refnum, int32_t *samplesWritten);

/* Closes a reader or a writer (a written file is then complete and valid)
 * and removes its refnum. Waits for file calls in progress. Returns 0, or
 * 4801. */
TONEWELL_API int32_t SoundFileClose(TaskRefnum refnum);

/* ---- Host run-time ------------------------------------------------------ */

/* Names the host run-time module (a dlopen handle) whose operations the
 * library binds from then on; null goes back to looking (see the top of
 * this header). Returns nothing. */
TONEWELL_API void SetVantorRTModule(void *module);

/* A clean-up procedure: gets the registered data pointer, returns 0 or an
 * error code. */
typedef int32_t (*TwCleanupProc)(void *data);

/* The host's four operations, as the library calls them. */
typedef void (*TwHostCopyTextFn)(char *destination, const char *source);
typedef int32_t (*TwHostSizeHandleFn)(void **handle, int32_t newSizeBytes);
typedef int32_t (*TwHostRegisterCleanupFn)(TwCleanupProc proc, void *data, int32_t mode);
typedef int32_t (*TwHostSizeArrayFn)(int32_t typeCode, int32_t dimensions, void ***arrayHandle,
                                     int32_t newElementCount);

/* Clean-up registration modes. */
enum {
    TW_CLEANUP_REMOVE = 0,   /* removes the registration of that procedure and data */
    TW_CLEANUP_TEARDOWN = 2, /* a task or file: call when the program that made it ends */
    TW_CLEANUP_WAIT = 6      /* an output task's SOWait: call to stop the task */
};

#ifdef __cplusplus
}
#endif

#endif /* TONEWELL_TONEWELL_H */
