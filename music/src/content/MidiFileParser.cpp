#include "content/MidiFileParser.h"

#include <algorithm>

#include "content/ByteReader.h"
#include "content/MulDiv.h"
#include "tonewell_music.h"

namespace twm {

namespace {

constexpr int64_t kMaxFileTick = int64_t{1} << 40;  // years of music at any division
constexpr uint32_t kDefaultTempo = 500000;            // 120 quarter notes a minute

struct RawTempo {
    int64_t fileTick;
    uint32_t usPerQuarter;
};

// The SMF inside a RIFF "RMID" form: the body of its "data" chunk. The form
// ends where its size says or where the file does, whichever comes first.
bool unwrapRiff(const uint8_t*& data, size_t& size) {
    ByteReader r(data, size);
    uint32_t riffSize;
    if (!r.tag("RIFF") || !r.le32(riffSize) || !r.tag("RMID")) return false;
    size_t end = std::min<size_t>(size, size_t{riffSize} + 8);
    if (end <= 12) return false;  // not even room for the form type
    ByteReader body(data + 12, end - 12);
    while (body.remaining() >= 8) {
        const uint8_t* id = body.here();
        uint32_t len = 0;
        body.skip(4);
        body.le32(len);
        if (isTag(id, "data")) {
            size_t n = std::min<size_t>(len, body.remaining());
            data = body.here();
            size = n;
            return true;
        }
        body.skip(std::min<size_t>(size_t{len} + (len & 1u), body.remaining()));
    }
    return false;
}

size_t dataBytes(uint8_t status) {
    uint8_t kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
}

// The tracks are read twice: a first pass counts what they hold, so that the
// second allocates exactly that, and a file with more than a song may hold is
// refused before anything is allocated for it.
class CountingSink {
public:
    bool event(int64_t, const MidiEvent&) { return keep(events); }
    bool sysex(int64_t, const uint8_t*, uint32_t n) {
        sysexBytes += n;
        return keep(events);
    }
    bool tempo(int64_t, uint32_t) { return keep(tempos); }

    size_t events = 0;
    size_t tempos = 0;
    size_t sysexBytes = 0;

private:
    bool keep(size_t& count) {
        ++count;
        return events + tempos <= MidiFileParser::kMaxEvents;
    }
};

// Stores the events in the song with their file tick as their time and
// their reading order in `frame`, which orders events of one tick until the
// merge has put the tracks together.
class StoringSink {
public:
    StoringSink(const CountingSink& counts, Song& song) : song_(song) {
        song.events.clear();
        song.sysex.clear();
        song.events.reserve(counts.events);
        song.sysex.reserve(counts.sysexBytes);
        tempos.reserve(counts.tempos);
    }
    bool event(int64_t tick, MidiEvent e) {
        e.tick = tick;
        e.frame = static_cast<int64_t>(song_.events.size());
        song_.events.push_back(e);
        return true;
    }
    bool sysex(int64_t tick, const uint8_t* body, uint32_t n) {
        MidiEvent e{0, 0, 0xF0, 0, 0, static_cast<uint32_t>(song_.sysex.size()), n};
        song_.sysex.insert(song_.sysex.end(), body, body + n);
        return event(tick, e);
    }
    bool tempo(int64_t tick, uint32_t us) {
        tempos.push_back({tick, us});
        return true;
    }

    std::vector<RawTempo> tempos;  // in reading order

private:
    Song& song_;
};

template <class Sink>
bool readTrack(ByteReader r, Sink& sink, int64_t& endTick) {
    int64_t tick = 0;
    uint8_t running = 0;
    while (!r.atEnd()) {
        uint32_t delta;
        if (!r.vlq(delta)) return false;
        tick += delta;
        if (tick > kMaxFileTick) return false;
        uint8_t b;
        if (!r.peek(b)) return false;
        if (b == 0xFF) {
            r.skip(1);
            uint8_t type;
            uint32_t len = 0;
            if (!r.u8(type) || !r.vlq(len) || len > r.remaining()) return false;
            const uint8_t* body = r.here();
            r.skip(len);
            running = 0;
            if (type == 0x2F) break;
            if (type == 0x51 && len == 3) {
                uint32_t us = uint32_t{body[0]} << 16 | uint32_t{body[1]} << 8 | body[2];
                if (us == 0 || !sink.tempo(tick, us)) return false;
            }
            continue;
        }
        if (b == 0xF0 || b == 0xF7) {
            r.skip(1);
            uint32_t len = 0;
            if (!r.vlq(len) || len > r.remaining()) return false;
            const uint8_t* body = r.here();
            r.skip(len);
            running = 0;
            // Only complete messages reach the synthesizer; continuation
            // packets (0xF7) carry nothing it could use on its own.
            if (b == 0xF0 && !sink.sysex(tick, body, (len > 0 && body[len - 1] == 0xF7) ? len - 1 : len))
                return false;
            continue;
        }
        uint8_t status = running;
        if (b & 0x80) {
            if (b >= 0xF0) return false;  // system messages have no place in a file
            r.skip(1);
            status = running = b;
        } else if (!status) {
            return false;  // data byte without a status
        }
        uint8_t d[2] = {0, 0};
        for (size_t i = 0; i < dataBytes(status); ++i)
            if (!r.u8(d[i]) || d[i] & 0x80) return false;
        if (!sink.event(tick, MidiEvent{0, 0, status, d[0], d[1], 0, 0})) return false;
    }
    endTick = std::max(endTick, tick);
    return true;
}

// The track chunks after the header; false for a corrupt track or none.
template <class Sink>
bool readTracks(ByteReader r, uint16_t trackCount, Sink& sink, int64_t& endTick) {
    uint32_t tracks = 0;
    while (tracks < trackCount && r.remaining() >= 8) {
        const uint8_t* id = r.here();
        uint32_t len = 0;
        r.skip(4);
        r.be32(len);
        // A track whose length runs past the end of the file keeps what is there.
        size_t n = std::min<size_t>(len, r.remaining());
        if (isTag(id, "MTrk")) {
            if (!readTrack(ByteReader(r.here(), n), sink, endTick)) return false;
            ++tracks;
        }
        r.skip(n);
    }
    return tracks > 0;
}

// File ticks to music time: by the division's ticks per quarter, or for a
// time-code division by ticks per second at 120 quarter notes a minute.
struct TickScale {
    int64_t num;
    int64_t den;
    int64_t toMusic(int64_t fileTick) const {
        return mulDiv(fileTick, num, den);
    }
};

bool scaleFor(uint16_t division, TickScale& scale, bool& timeCode) {
    timeCode = (division & 0x8000) != 0;
    if (!timeCode) {
        if (division == 0) return false;
        scale = {TWM_TICKS_PER_QUARTER, division};
        return true;
    }
    int fps = -static_cast<int8_t>(division >> 8);
    int64_t perFrame = division & 0xFF;
    if (perFrame == 0) return false;
    // 29 stands for 29.97 frames a second.
    int64_t framesNum = fps == 29 ? 2997 : int64_t{fps} * 100;
    if (fps != 24 && fps != 25 && fps != 29 && fps != 30) return false;
    // music ticks per file tick = (2 * 768) / (frames/s * ticks/frame)
    scale = {int64_t{2} * TWM_TICKS_PER_QUARTER * 100, framesNum * perFrame};
    return true;
}

void buildTempoMap(std::vector<RawTempo> tempos, const TickScale& scale, bool timeCode, Song& song) {
    if (timeCode) tempos.clear();
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const RawTempo& a, const RawTempo& b) { return a.fileTick < b.fileTick; });
    song.tempo.clear();
    song.tempo.reserve(tempos.size() + 1);
    song.tempo.push_back({0, 0, kDefaultTempo});
    for (const RawTempo& t : tempos) {
        int64_t tick = scale.toMusic(t.fileTick);
        int64_t frame = song.frameAt(tick);
        if (song.tempo.back().tick == tick) song.tempo.pop_back();
        song.tempo.push_back({tick, frame, t.usPerQuarter});
    }
}

}  // namespace

bool MidiFileParser::recognizes(const uint8_t* data, size_t size) {
    if (size >= 12 && isTag(data, "RIFF") && isTag(data + 8, "RMID")) return true;
    return size >= 4 && isTag(data, "MThd");
}

bool MidiFileParser::parse(const uint8_t* data, size_t size, Song& song) {
    if (size >= 12 && isTag(data, "RIFF") && !unwrapRiff(data, size)) return false;
    ByteReader r(data, size);
    uint32_t headerLen;
    uint16_t format, trackCount, division;
    if (!r.tag("MThd") || !r.be32(headerLen) || headerLen < 6 || !r.be16(format) || !r.be16(trackCount) ||
        !r.be16(division) || !r.skip(headerLen - 6))
        return false;
    if (format > 1 || trackCount == 0) return false;
    TickScale scale;
    bool timeCode;
    if (!scaleFor(division, scale, timeCode)) return false;

    CountingSink counts;
    int64_t endTick = 0;
    if (!readTracks(r, trackCount, counts, endTick)) return false;
    StoringSink store(counts, song);
    if (!readTracks(r, trackCount, store, endTick)) return false;

    // Tracks merge by time, and within one time by track and reading order.
    auto byTime = [](const MidiEvent& a, const MidiEvent& b) { return a.tick < b.tick; };
    if (!std::is_sorted(song.events.begin(), song.events.end(), byTime))
        std::sort(song.events.begin(), song.events.end(), [](const MidiEvent& a, const MidiEvent& b) {
            return a.tick != b.tick ? a.tick < b.tick : a.frame < b.frame;
        });
    buildTempoMap(std::move(store.tempos), scale, timeCode, song);
    for (MidiEvent& e : song.events) {
        e.tick = scale.toMusic(e.tick);
        e.frame = song.frameAt(e.tick);
    }
    song.lengthTicks = scale.toMusic(endTick);
    return true;
}

}  // namespace twm
