#include "content/Content.h"

#include <algorithm>

#include "content/MidiFileParser.h"
#include "content/MulDiv.h"
#include "content/WaveFileParser.h"
#include "tonewell_music_control.h"

namespace twm {

namespace {
// Music time of a sound without tempo: 120 quarter notes a minute.
constexpr int64_t kTicksPerSecond = TWM_TICKS_PER_QUARTER * 2;
}  // namespace

int64_t Content::lengthTicks() const {
    if (song) return song->lengthTicks;
    if (pcm) return static_cast<int64_t>(pcm->frames() * kTicksPerSecond / pcm->format.rate);
    return 0;
}

uint32_t Content::rate() const { return song ? TWM_SYNTH_RATE : (pcm ? pcm->format.rate : TWM_SYNTH_RATE); }

int64_t Content::frameAt(int64_t tick) const {
    if (song) return song->frameAt(tick);
    if (!pcm || tick <= 0) return 0;
    int64_t frame = mulDiv(tick, pcm->format.rate, kTicksPerSecond);
    return std::min<int64_t>(frame, static_cast<int64_t>(pcm->frames()));
}

int64_t Content::framesFrom(int64_t tick) const {
    int64_t end = song ? song->lengthFrames() : (pcm ? static_cast<int64_t>(pcm->frames()) : 0);
    return std::max<int64_t>(0, end - frameAt(tick));
}

namespace {

// `owned`, when given, holds the bytes and may give them up.
int32_t parse(const uint8_t* data, size_t size, std::vector<uint8_t>* owned, std::shared_ptr<const Content>& out) {
    auto content = std::make_shared<Content>();
    if (MidiFileParser::recognizes(data, size)) {
        content->kind = TWM_KIND_MIDI;
        content->song = std::make_unique<Song>();
        if (!MidiFileParser::parse(data, size, *content->song)) return TWM_E_BADFILE;
    } else if (WaveFileParser::recognizes(data, size)) {
        content->kind = TWM_KIND_WAVE;
        content->pcm = std::make_unique<PcmSound>();
        bool parsed = owned ? WaveFileParser::parse(std::move(*owned), *content->pcm)
                            : WaveFileParser::parse(data, size, *content->pcm);
        if (!parsed) return TWM_E_BADFILE;
    } else {
        return TWM_E_BADFILE;
    }
    out = std::move(content);
    return TWM_OK;
}

}  // namespace

int32_t parseContent(const uint8_t* data, size_t size, std::shared_ptr<const Content>& out) {
    return parse(data, size, nullptr, out);
}

int32_t parseContent(std::vector<uint8_t>&& bytes, std::shared_ptr<const Content>& out) {
    return parse(bytes.data(), bytes.size(), &bytes, out);
}

}  // namespace twm
