/*
 * Tonewell music engine: the C interface of the module libtonewell-music.so
 * (tonewell-music.dll on Windows).
 *
 * The module is loaded at run time (dlopen, LoadLibrary); its two entry
 * points are looked up by name (TWM_ENTRY_* below). Everything else is
 * reached through the objects they hand out: C structs whose first member
 * points to a table of functions, called as obj->vtbl->method(obj, ...), as
 * in the sound system module.
 *
 * Model: a loader turns files into segments (Standard MIDI Files, RIFF MIDI
 * files and plain PCM WAV files). A performance plays segments, each once,
 * into output buffers of the sound system module on its default output
 * device (the first enumerated one). MIDI is rendered by a synthesizer at
 * 44100 Hz, stereo, 16 bits with a General MIDI SoundFont; WAV segments play
 * at their own format. The Windows build has no synthesizer: there MIDI
 * files answer as when no SoundFont is found.
 *
 * Music time counts TWM_TICKS_PER_QUARTER ticks per quarter note. A segment
 * without tempo information (WAV) runs at 120 quarter notes per minute.
 *
 * File and directory names are UTF-8 text, on Windows too.
 *
 * Results are int32 values with COM-style numbers: 0 success, 1 "no",
 * negative failure. Objects are owning handles: `release` drops the handle.
 * All functions are safe to call from any thread.
 *
 * This header compiles as C (C99) and as C++. After its first release it only
 * grows: new names and new function table entries are appended at the end.
 */
#ifndef TONEWELL_MUSIC_H
#define TONEWELL_MUSIC_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(TWM_BUILDING_MODULE)
#if defined(_WIN32)
/* The module-definition file names the exports. */
#define TWM_EXPORT
#else
#define TWM_EXPORT __attribute__((visibility("default")))
#endif
#else
#define TWM_EXPORT
#endif

/* ---- Module and entry points -------------------------------------------- */

/* File name of the module, found next to the library that loads it. */
#if defined(_WIN32)
#define TWM_MODULE_FILE "tonewell-music.dll"
#else
#define TWM_MODULE_FILE "libtonewell-music.so"
#endif

#define TWM_ENTRY_LOADER_CREATE "twm_loader_create"
#define TWM_ENTRY_PERFORMANCE_CREATE "twm_performance_create"

/* ---- Results ------------------------------------------------------------ */

typedef int32_t twm_result;

#define TWM_OK ((twm_result)0)
#define TWM_FALSE ((twm_result)1)                         /* query answered "no" */
#define TWM_E_FAIL ((twm_result)0x80004005u)              /* generic failure */
#define TWM_E_INVALIDARG ((twm_result)0x80070057u)
#define TWM_E_OUTOFMEMORY ((twm_result)0x8007000Eu)
#define TWM_E_FILENOTFOUND ((twm_result)0x80070002u)
#define TWM_E_NOTINITIALIZED ((twm_result)0x800401F0u)    /* object not set up */
#define TWM_E_BADPATH ((twm_result)0x887A0001u)           /* directory unusable */
#define TWM_E_BADFILE ((twm_result)0x887A0002u)           /* not a loadable file */
#define TWM_E_NOSOUNDFONT ((twm_result)0x887A0003u)       /* no GM SoundFont */
#define TWM_E_NOTDOWNLOADED ((twm_result)0x887A0004u)     /* play before download */
#define TWM_E_NOAUDIO ((twm_result)0x887A0005u)           /* no sound system or device */
#define TWM_E_AUDIO ((twm_result)0x887A0006u)             /* the sound system refused */

#define TWM_FAILED(r) ((twm_result)(r) < 0)

/* ---- Constants ---------------------------------------------------------- */

#define TWM_TICKS_PER_QUARTER 768
/* Longest path or directory accepted, in bytes without the terminator. */
#define TWM_MAX_PATH 259
/* Master volume range in hundredths of a decibel. */
#define TWM_VOLUME_MIN (-10000)
#define TWM_VOLUME_MAX 0
/* Format the synthesizer renders MIDI at. */
#define TWM_SYNTH_RATE 44100
#define TWM_SYNTH_CHANNELS 2
#define TWM_SYNTH_BITS 16

/* ---- Objects ------------------------------------------------------------ */

typedef struct twm_loader twm_loader;
typedef struct twm_segment twm_segment;
typedef struct twm_performance twm_performance;

/* A loader: reads files into segments and keeps what it read in a cache,
 * so that loading an unchanged file again does not read it again. */
typedef struct twm_loader_vtbl {
    void (*release)(twm_loader *self);
    /* Directory in which relative file names are looked up first. The text
     * "" names the file system root. Not an existing directory, or longer
     * than TWM_MAX_PATH: TWM_E_BADPATH. */
    twm_result (*set_search_directory)(twm_loader *self, const char *directory);
    /* Loads a Standard MIDI File (format 0 or 1), a RIFF MIDI file (the SMF
     * in a RIFF "RMID" form) or a plain PCM WAV file, by content, not by
     * name. Missing file: TWM_E_FILENOTFOUND; unreadable or corrupt:
     * TWM_E_BADFILE; MIDI without a SoundFont (or without a synthesizer):
     * TWM_E_NOSOUNDFONT. */
    twm_result (*load_segment)(twm_loader *self, const char *path, twm_segment **out);
    /* Drops the cache's copy of what the segment was loaded from. */
    twm_result (*release_cached)(twm_loader *self, twm_segment *segment);
    /* Frees every cached file that no segment uses any more. */
    twm_result (*collect_garbage)(twm_loader *self);
} twm_loader_vtbl;

struct twm_loader {
    const twm_loader_vtbl *vtbl;
};

/* A segment: one loaded file with its playing options. */
typedef struct twm_segment_vtbl {
    void (*release)(twm_segment *self);
    /* Marks the segment as a Standard MIDI File: General MIDI behaviour
     * (drums on channel 10, a GM reset before each play). Any segment may be
     * marked; a WAV segment plays the same either way. */
    twm_result (*set_standard_midi)(twm_segment *self);
    /* Times the segment repeats after its first play; only 0 is supported
     * (anything else: TWM_E_INVALIDARG). */
    twm_result (*set_repeats)(twm_segment *self, uint32_t repeats);
    /* Music time at which plays begin; beyond the length: TWM_E_INVALIDARG. */
    twm_result (*set_start_point)(twm_segment *self, int64_t ticks);
    twm_result (*get_start_point)(twm_segment *self, int64_t *ticks);
    /* Length in music time. */
    twm_result (*get_length)(twm_segment *self, int64_t *ticks);
    /* Playing time from the start point to the end, in milliseconds,
     * without the synthesizer's release tail. */
    twm_result (*get_duration_ms)(twm_segment *self, uint32_t *ms);
    /* Prepares the segment's instruments for a performance (for MIDI a
     * synthesizer with the SoundFont). Downloads count; unload undoes one. */
    twm_result (*download)(twm_segment *self, twm_performance *performance);
    twm_result (*unload)(twm_segment *self, twm_performance *performance);
} twm_segment_vtbl;

struct twm_segment {
    const twm_segment_vtbl *vtbl;
};

/* A performance: plays segments on its own thread. */
typedef struct twm_performance_vtbl {
    void (*release)(twm_performance *self);
    /* Opens the default output device of the sound system module and starts
     * the rendering thread. Once only (again: TWM_E_FAIL). */
    twm_result (*init_audio)(twm_performance *self);
    /* Plays the segment once from its start point. Playing a segment that
     * is already playing starts it again. Not downloaded:
     * TWM_E_NOTDOWNLOADED; no audio: TWM_E_NOTINITIALIZED. */
    twm_result (*play_segment)(twm_performance *self, twm_segment *segment);
    /* TWM_OK while the segment plays (until the play cursor has passed its
     * last sample), else TWM_FALSE. */
    twm_result (*is_playing)(twm_performance *self, twm_segment *segment);
    /* Stops the segment at once; is_playing answers TWM_FALSE on return.
     * Not playing is no error. */
    twm_result (*stop)(twm_performance *self, twm_segment *segment);
    /* Master volume of everything the performance plays,
     * TWM_VOLUME_MIN..TWM_VOLUME_MAX (outside: TWM_E_INVALIDARG). */
    twm_result (*set_master_volume)(twm_performance *self, int32_t volume);
    twm_result (*get_master_volume)(twm_performance *self, int32_t *volume);
    /* The performance's clock in music time (at 120 quarter notes a minute)
     * since init_audio. */
    twm_result (*get_time)(twm_performance *self, int64_t *ticks);
} twm_performance_vtbl;

struct twm_performance {
    const twm_performance_vtbl *vtbl;
};

/* ---- Entry points ------------------------------------------------------- */

typedef twm_result (*twm_loader_create_fn)(twm_loader **out);
typedef twm_result (*twm_performance_create_fn)(twm_performance **out);

TWM_EXPORT twm_result twm_loader_create(twm_loader **out);
TWM_EXPORT twm_result twm_performance_create(twm_performance **out);

#ifdef __cplusplus
}
#endif

#endif /* TONEWELL_MUSIC_H */
