#include "content/MidiFileParser.h"

#include <algorithm>

#include "content/ByteReader.h"
#include "tonewell_music.h"

namespace twm {

namespace {

constexpr int64_t kMaxFileTick = int64_t{1} << 40;  // years of music at any division
constexpr uint32_t kDefaultTempo = 500000;            // 120 quarter notes a minute

// An event as read, before the merge: time in the file's own ticks.
struct RawEvent {
    int64_t fileTick;
    uint32_t track;
    uint32_t order;
    MidiEvent event;
};

struct RawTempo {
    int64_t fileTick;
    uint32_t order;
    uint32_t usPerQuarter;
};

struct Parse {
    std::vector<RawEvent> events;
    std::vector<RawTempo> tempos;
    std::vector<uint8_t> sysex;
    int64_t endTick = 0;
};

// The SMF inside a RIFF "RMID" form: the body of its "data" chunk.
bool unwrapRiff(const uint8_t*& data, size_t& size) {
    ByteReader r(data, size);
    uint32_t riffSize;
    if (!r.tag("RIFF") || !r.le32(riffSize) || !r.tag("RMID")) return false;
    size_t end = std::min<size_t>(size, size_t{riffSize} + 8);
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

bool readTrack(ByteReader r, uint32_t track, Parse& p) {
    int64_t tick = 0;
    uint8_t running = 0;
    uint32_t order = 0;
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
                if (us == 0) return false;
                p.tempos.push_back({tick, static_cast<uint32_t>(p.tempos.size()), us});
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
            if (b == 0xF0) {
                uint32_t n = (len > 0 && body[len - 1] == 0xF7) ? len - 1 : len;
                MidiEvent e{0, 0, 0xF0, 0, 0, static_cast<uint32_t>(p.sysex.size()), n};
                p.sysex.insert(p.sysex.end(), body, body + n);
                p.events.push_back({tick, track, order++, e});
            }
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
        p.events.push_back({tick, track, order++, MidiEvent{0, 0, status, d[0], d[1], 0, 0}});
        if (p.events.size() > MidiFileParser::kMaxEvents) return false;
    }
    p.endTick = std::max(p.endTick, tick);
    return true;
}

// File ticks to music time: by the division's ticks per quarter, or for a
// time-code division by ticks per second at 120 quarter notes a minute.
struct TickScale {
    int64_t num;
    int64_t den;
    int64_t toMusic(int64_t fileTick) const {
        return static_cast<int64_t>(static_cast<__int128>(fileTick) * num / den);
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

void buildTempoMap(const Parse& p, const TickScale& scale, bool timeCode, Song& song) {
    std::vector<RawTempo> tempos = timeCode ? std::vector<RawTempo>{} : p.tempos;
    std::stable_sort(tempos.begin(), tempos.end(),
                     [](const RawTempo& a, const RawTempo& b) { return a.fileTick < b.fileTick; });
    song.tempo.clear();
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

    Parse p;
    uint32_t tracks = 0;
    while (tracks < trackCount && r.remaining() >= 8) {
        const uint8_t* id = r.here();
        uint32_t len = 0;
        r.skip(4);
        r.be32(len);
        // A track whose length runs past the end of the file keeps what is there.
        size_t n = std::min<size_t>(len, r.remaining());
        if (isTag(id, "MTrk")) {
            if (!readTrack(ByteReader(r.here(), n), tracks, p)) return false;
            ++tracks;
        }
        r.skip(n);
    }
    if (tracks == 0) return false;

    std::stable_sort(p.events.begin(), p.events.end(), [](const RawEvent& a, const RawEvent& b) {
        if (a.fileTick != b.fileTick) return a.fileTick < b.fileTick;
        return a.track != b.track ? a.track < b.track : a.order < b.order;
    });
    buildTempoMap(p, scale, timeCode, song);
    song.events.clear();
    song.events.reserve(p.events.size());
    for (const RawEvent& raw : p.events) {
        MidiEvent e = raw.event;
        e.tick = scale.toMusic(raw.fileTick);
        e.frame = song.frameAt(e.tick);
        song.events.push_back(e);
    }
    song.sysex = std::move(p.sysex);
    song.lengthTicks = scale.toMusic(p.endTick);
    return true;
}

}  // namespace twm
