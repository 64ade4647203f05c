// What a file was read into: a song (MIDI) or a sound (WAV). Immutable once
// loaded, so segments, plays and the loader's cache share it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "content/PcmSound.h"
#include "content/Song.h"

namespace twm {

struct Content {
    uint32_t kind = 0;              // TWM_KIND_MIDI or TWM_KIND_WAVE
    std::unique_ptr<Song> song;     // MIDI
    std::unique_ptr<PcmSound> pcm;  // WAV

    // Music time of the whole content.
    int64_t lengthTicks() const;
    // Output frames (at the content's own rate) from a music time to the end.
    int64_t framesFrom(int64_t tick) const;
    uint32_t rate() const;
    // Frame of a music time at the content's own rate.
    int64_t frameAt(int64_t tick) const;
};

// Reads a file's bytes into content. Returns a music engine result:
// TWM_E_BADFILE for anything that is neither MIDI nor plain PCM WAV.
int32_t parseContent(const uint8_t* data, size_t size, std::shared_ptr<const Content>& out);
// As above, taking the bytes: a WAV file's samples stay where they were read,
// so loading holds no more memory than the file.
int32_t parseContent(std::vector<uint8_t>&& bytes, std::shared_ptr<const Content>& out);

}  // namespace twm
