// Feeds arbitrary files to the music engine the way PlaySoundFile does:
// through the loader's entry point, by path, so the file is read, recognised
// (Standard MIDI, RIFF MIDI or WAV) and parsed into a segment. A segment that
// loads is then measured and positioned through its own interface.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzSupport.h"
#include "tonewell_music.h"
#include "tonewell_music_control.h"

namespace {

std::string gPath;
twm_loader* gLoader = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::string base = fuzz::scratchPath("music");
    gPath = base + ".mid";
    // MIDI files load only beside a SoundFont; an empty one is enough, as
    // nothing is downloaded.
    const std::string fonts = base + "-sf2";
    const std::string font = fonts + "/default-GM.sf2";
    if (::mkdir(fonts.c_str(), 0700) == 0 || errno == EEXIST) fuzz::writeFile(font, nullptr, 0);
    twm_control_set_soundfont_dir(fonts.c_str());
    if (twm_loader_create(&gLoader) != TWM_OK) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!fuzz::writeFile(gPath, data, size)) return 0;

    twm_segment* segment = nullptr;
    if (gLoader->vtbl->load_segment(gLoader, gPath.c_str(), &segment) == TWM_OK && segment != nullptr) {
        const twm_segment_vtbl* s = segment->vtbl;
        s->set_standard_midi(segment);
        int64_t length = 0, start = 0;
        uint32_t ms = 0;
        s->get_length(segment, &length);
        s->get_duration_ms(segment, &ms);
        // Positions within, at and past the end, from the last input byte.
        const uint8_t pick = size > 0 ? data[size - 1] : 0;
        for (int64_t point : {length / 2, length, length - (pick & 0x0F), length + 1, int64_t{pick} << 24}) {
            if (s->set_start_point(segment, point) == TWM_OK) s->get_duration_ms(segment, &ms);
            s->get_start_point(segment, &start);
        }
        gLoader->vtbl->release_cached(gLoader, segment);
        s->release(segment);
    }
    // The same path comes back with other bytes: nothing may be kept.
    gLoader->vtbl->collect_garbage(gLoader);
    return 0;
}
