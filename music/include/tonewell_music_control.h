/*
 * Control interface of the music engine, for tests and tools only: what the
 * last loaded segment is, the master volume, live object counts, the
 * SoundFont place, and injected faults.
 *
 * These functions are exported by libtonewell-music.so (tonewell-music.dll)
 * next to the entry points; programs look them up by name. The library never
 * uses them.
 * All of them are safe to call from any thread.
 */
#ifndef TONEWELL_MUSIC_CONTROL_H
#define TONEWELL_MUSIC_CONTROL_H

#include "tonewell_music.h"

#ifdef __cplusplus
extern "C" {
#endif

/* What a segment was loaded from. */
#define TWM_KIND_MIDI 1u
#define TWM_KIND_WAVE 2u

typedef struct twm_segment_info {
    uint32_t kind;              /* TWM_KIND_* */
    int32_t standard_midi;      /* marked as a Standard MIDI File */
    int32_t downloads;          /* downloads not yet unloaded */
    int32_t playing;            /* is_playing would answer TWM_OK */
    int64_t length_ticks;
    uint32_t duration_ms;
    uint32_t plays;             /* play_segment calls that started a play */
    char path[TWM_MAX_PATH + 1];             /* the file opened */
    char search_directory[TWM_MAX_PATH + 1]; /* the loader's, at load time */
} twm_segment_info;

/* The most recently loaded segment that is still alive. TWM_FALSE (info
 * untouched) when there is none. */
TWM_EXPORT twm_result twm_control_last_segment(twm_segment_info *info);

/* Master volume of the most recently created performance that is still
 * alive; TWM_FALSE when there is none. */
TWM_EXPORT twm_result twm_control_master_volume(int32_t *volume);

typedef struct twm_control_counts {
    uint32_t loaders;
    uint32_t performances;
    uint32_t segments;
    uint32_t synths;     /* synthesizers alive (downloaded MIDI segments and
                            plays still rendering) */
    uint32_t plays;      /* plays whose output buffer is alive */
    uint32_t cached;     /* files held by loader caches */
    uint32_t threads;    /* rendering threads alive */
} twm_control_counts;

TWM_EXPORT void twm_control_live_counts(twm_control_counts *counts);

/* Directory searched for the General MIDI SoundFont (default-GM.sf2 first,
 * then any *.sf2 in name order). Null restores the system's standard place,
 * /usr/share/sounds/sf2. Takes effect for later loads and downloads. A build
 * without a synthesizer (Windows) reads no SoundFonts: the call changes
 * nothing there. */
TWM_EXPORT twm_result twm_control_set_soundfont_dir(const char *directory);

/* Operations that can be made to fail. */
#define TWM_FAULT_SEARCH_DIRECTORY 1u
#define TWM_FAULT_LOAD 2u
#define TWM_FAULT_MARK 3u
#define TWM_FAULT_DOWNLOAD 4u
#define TWM_FAULT_REPEATS 5u
#define TWM_FAULT_PLAY 6u
#define TWM_FAULT_STOP 7u
#define TWM_FAULT_SET_START_POINT 8u
#define TWM_FAULT_GET_START_POINT 9u
#define TWM_FAULT_GET_TIME 10u
#define TWM_FAULT_MASTER_VOLUME 11u
#define TWM_FAULT_INIT_AUDIO 12u
#define TWM_FAULT_COUNT 13u

/* The next count calls (count < 0: every call until cleared) of an
 * operation fail with result and do nothing else. Result 0 or count 0
 * clears. */
TWM_EXPORT twm_result twm_control_fault(uint32_t operation, twm_result result, int32_t count);
TWM_EXPORT void twm_control_clear_faults(void);

#ifdef __cplusplus
}
#endif

#endif /* TONEWELL_MUSIC_CONTROL_H */
