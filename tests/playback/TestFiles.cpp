#include "TestFiles.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <utility>

#include "host/TestHost.h"

namespace playtest {

namespace {

// `bytes` bytes of `v`, most significant first when `big`.
void put(Bytes& b, uint32_t v, int bytes, bool big = false) {
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> 8 * (big ? bytes - 1 - i : i)));
}
void tag(Bytes& b, const char* t) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(t[i]));
}
Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
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
    put(b, 6, 4, true);
    put(b, format, 2, true);
    put(b, static_cast<uint32_t>(tracks.size()), 2, true);
    put(b, division, 2, true);
    for (const Track& t : tracks) {
        tag(b, "MTrk");
        put(b, static_cast<uint32_t>(t.bytes().size()), 4, true);
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
    const Bytes padded = s.size() & 1 ? s + Bytes{0} : s;
    return riffForm("RMID", static_cast<uint32_t>(4 + 8 + padded.size()),
                    chunk("data", static_cast<uint32_t>(s.size()), padded));
}

Bytes chunk(const char* id, uint32_t size, const Bytes& body) {
    Bytes b;
    tag(b, id);
    put(b, size, 4);
    return b + body;
}

Bytes riffForm(const char* formType, uint32_t size, const Bytes& body) {
    Bytes inner;
    tag(inner, formType);
    return chunk("RIFF", size, inner + body);
}

Bytes wav(uint32_t rate, uint16_t channels, uint16_t bits, const Bytes& samples) {
    const uint32_t align = channels * bits / 8u;
    Bytes format;
    for (auto [value, bytes] : {std::pair{1u, 2}, {uint32_t{channels}, 2}, {rate, 4}, {rate * align, 4}, {align, 2},
                                {uint32_t{bits}, 2}})
        put(format, value, bytes);
    return riffForm("WAVE", static_cast<uint32_t>(4 + 8 + 16 + 8 + samples.size()),
                    chunk("fmt ", 16, format) + chunk("data", static_cast<uint32_t>(samples.size()), samples));
}

Bytes sine16(uint32_t rate, uint32_t frames, double hz, double amplitude) {
    Bytes b;
    for (uint32_t i = 0; i < frames; ++i) {
        auto v = static_cast<int16_t>(std::lround(amplitude * 32767 * std::sin(2 * std::numbers::pi * hz * i / rate)));
        put(b, static_cast<uint16_t>(v), 2);
    }
    return b;
}

std::string writeFile(const std::string& relative, const Bytes& bytes) {
    const std::string path = testhost::scratchDir() + "/" + relative;
    std::error_code error;
    std::filesystem::create_directories(path.substr(0, path.rfind('/')), error);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return out ? path : std::string();
}

}  // namespace playtest
