#include "TestFiles.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/TestHost.h"

namespace playtest {

namespace {

void be32(Bytes& b, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
}
void be16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}
void le32(Bytes& b, uint32_t v) {
    for (int s = 0; s < 32; s += 8) b.push_back(static_cast<uint8_t>(v >> s));
}
void le16(Bytes& b, uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void tag(Bytes& b, const char* t) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(t[i]));
}

}  // namespace

void Track::vlq(uint32_t value) {
    uint8_t groups[4];
    int n = 0;
    do {
        groups[n++] = value & 0x7F;
        value >>= 7;
    } while (value && n < 4);
    while (n-- > 0) bytes_.push_back(static_cast<uint8_t>(groups[n] | (n ? 0x80 : 0)));
}

Track& Track::event(uint32_t delta, std::initializer_list<uint8_t> bytes) {
    vlq(delta);
    bytes_.insert(bytes_.end(), bytes);
    return *this;
}

Track& Track::tempo(uint32_t delta, uint32_t us) {
    return event(delta, {0xFF, 0x51, 0x03, static_cast<uint8_t>(us >> 16), static_cast<uint8_t>(us >> 8),
                         static_cast<uint8_t>(us)});
}

Track& Track::end(uint32_t delta) { return event(delta, {0xFF, 0x2F, 0x00}); }

Track& Track::repeat(std::initializer_list<uint8_t> bytes, size_t times) {
    bytes_.reserve(bytes_.size() + bytes.size() * times);
    for (size_t i = 0; i < times; ++i) bytes_.insert(bytes_.end(), bytes);
    return *this;
}

Bytes smf(uint16_t format, uint16_t division, const std::vector<Track>& tracks) {
    Bytes b;
    tag(b, "MThd");
    be32(b, 6);
    be16(b, format);
    be16(b, static_cast<uint16_t>(tracks.size()));
    be16(b, division);
    for (const Track& t : tracks) {
        tag(b, "MTrk");
        be32(b, static_cast<uint32_t>(t.bytes().size()));
        b.insert(b.end(), t.bytes().begin(), t.bytes().end());
    }
    return b;
}

Bytes notes(int count, uint32_t ticksEach, uint8_t velocity) {
    Track t;
    t.tempo(0, 500000).event(0, {0xC0, 0x00});
    static const uint8_t keys[] = {60, 64, 67, 72};
    for (int i = 0; i < count; ++i) {
        uint8_t key = keys[i % 4];
        t.event(0, {0x90, key, velocity}).event(ticksEach, {0x80, key, 0x40});
    }
    t.end();
    return smf(0, 480, {t});
}

Bytes rmid(const Bytes& s) {
    Bytes b;
    tag(b, "RIFF");
    le32(b, static_cast<uint32_t>(4 + 8 + s.size() + (s.size() & 1)));
    tag(b, "RMID");
    tag(b, "data");
    le32(b, static_cast<uint32_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
    if (s.size() & 1) b.push_back(0);
    return b;
}

Bytes chunk(const char* id, uint32_t size, const Bytes& body) {
    Bytes b;
    tag(b, id);
    le32(b, size);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes riffForm(const char* formType, uint32_t size, const Bytes& body) {
    Bytes inner;
    tag(inner, formType);
    inner.insert(inner.end(), body.begin(), body.end());
    return chunk("RIFF", size, inner);
}

Bytes wav(uint32_t rate, uint16_t channels, uint16_t bits, const Bytes& samples) {
    Bytes b;
    uint16_t align = static_cast<uint16_t>(channels * bits / 8);
    tag(b, "RIFF");
    le32(b, static_cast<uint32_t>(4 + 8 + 16 + 8 + samples.size()));
    tag(b, "WAVE");
    tag(b, "fmt ");
    le32(b, 16);
    le16(b, 1);
    le16(b, channels);
    le32(b, rate);
    le32(b, rate * align);
    le16(b, align);
    le16(b, bits);
    tag(b, "data");
    le32(b, static_cast<uint32_t>(samples.size()));
    b.insert(b.end(), samples.begin(), samples.end());
    return b;
}

Bytes sine16(uint32_t rate, uint32_t frames, double hz, double amplitude) {
    Bytes b;
    for (uint32_t i = 0; i < frames; ++i) {
        auto v = static_cast<int16_t>(std::lround(amplitude * 32767 * std::sin(2 * M_PI * hz * i / rate)));
        le16(b, static_cast<uint16_t>(v));
    }
    return b;
}

std::string writeFile(const std::string& relative, const Bytes& bytes) {
    std::string path = testhost::scratchDir() + "/" + relative;
    std::string dir = path.substr(0, path.rfind('/'));
    std::string cmd = "mkdir -p '" + dir + "'";
    if (std::system(cmd.c_str()) != 0) return {};
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return {};
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

}  // namespace playtest
