// Written files read back for every host type, large files whose frames
// straddle the I/O buffers, and files exchanged with sox in both directions.
#include <cmath>

#include "FileTestSupport.h"
#include "convert/SampleTypes.h"

namespace filetest {
namespace {

// Element value of a host type: spread over its range, both signs.
double hostValue(uint16_t type, int32_t row, int32_t col) {
    const double unit = std::sin(0.37 * col + 1.3 * row) * 0.9;
    switch (type) {
        case TW_TYPE_U8: return std::floor(127.5 + unit * 127.0);
        case TW_TYPE_I16: return std::floor(unit * 32767.0);
        case TW_TYPE_I32: return std::floor(unit * 2147483647.0);
        default: return unit;
    }
}

using RoundTrip = FileTest;

// The writer and the reader hand each host type to its converter (whose
// values the converter tests hold; the bytes of every width are in the
// writer's tests): through a 32-bit file every integer comes back exact and
// every float within a step of 2^-31.
TEST_F(RoundTrip, EveryHostTypeComesBackThroughAFile) {
    const int32_t channels = 3, frames = 257;
    for (uint16_t type : tw::convert::kSampleTypeCodes) {
        SCOPED_TRACE(tw::convert::sampleTypeName(type));
        const std::string path = scratchPath("roundtrip.wav");
        auto data = makeSamples(type, channels, frames, [type](int32_t r, int32_t c) { return hostValue(type, r, c); });
        ASSERT_EQ(writeOnce(path, 22050.0, channels, 32, data.get(), type), (Written{0, frames}));
        const Opened r = openRead(path);
        ASSERT_EQ(r.result, 0);
        EXPECT_EQ(fileInfo(r.refnum).total, frames);
        ReadResult back = readData(r.refnum, -1, type);
        ASSERT_EQ(back.frames, frames);
        ASSERT_EQ(testhost::rows(back.data.get()), channels);
        const double tolerance = type == TW_TYPE_F32 ? 1.2e-7 : type == TW_TYPE_F64 ? std::ldexp(1.0, -30) : 0.0;
        for (int32_t ch = 0; ch < channels; ++ch)
            for (int32_t c = 0; c < frames; ++c)
                ASSERT_NEAR(sampleAt(back.data.get(), type, ch, c), sampleAt(data.get(), type, ch, c), tolerance)
                    << ch << "," << c;
        EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
    }
}

// Frames of 3 channels x 3 bytes divide no I/O buffer: written in one call,
// the file holds every sample in place; read back in uneven pieces, every
// piece starts where the last one ended.
TEST_F(RoundTrip, LargeOddFramesCrossTheBuffersBothWays) {
    const int32_t frames = 200000;
    auto value = [](int32_t r, int32_t c) { return static_cast<uint32_t>(c * 7919 + r * 104729) & 0xFFFFFF; };
    auto data = makeSamples(TW_TYPE_I32, 3, frames, [&](int32_t r, int32_t c) {
        return static_cast<double>(static_cast<int32_t>(value(r, c) << 8));
    });
    const std::string path = scratchPath("large.wav");
    ASSERT_EQ(writeOnce(path, 48000.0, 3, 24, data.get(), TW_TYPE_I32), (Written{0, frames}));
    const Bytes file = readFile(path);
    ASSERT_EQ(file.size(), 80u + 9u * frames);
    for (int32_t c = 0; c < frames; c += 997) {
        for (int32_t r = 0; r < 3; ++r) {
            const size_t at = 80 + (size_t{9} * c) + 3 * r;
            ASSERT_EQ(file[at] | file[at + 1] << 8 | file[at + 2] << 16, value(r, c)) << c << "," << r;
        }
    }
    const Opened in = openRead(path);
    ASSERT_EQ(in.result, 0);
    int32_t done = 0;
    for (int32_t piece : {1, 7000, 87382, 12345, -1}) {
        const ReadResult a = readData(in.refnum, piece, TW_TYPE_I32);
        ASSERT_EQ(a.frames, piece < 0 ? frames - done : piece);
        EXPECT_EQ(a.eof, piece < 0);
        for (int32_t c = 0; c < a.frames; c += 97)
            for (int32_t ch = 0; ch < 3; ++ch)
                ASSERT_EQ(testhost::get2D<int32_t>(a.data.get(), ch, c), static_cast<int32_t>(value(ch, done + c) << 8))
                    << done + c << "," << ch;
        done += a.frames;
    }
    EXPECT_EQ(api().SoundFileClose(in.refnum), 0);
}

// Files sox makes read as sox decodes them to full-scale 32-bit integers
// (float ones within its rounding: the exact scaling is the reader's float
// test). Written back in their format (integer ones: the writer makes no
// float files), sox decodes ours to the same samples as its own.
#ifndef _WIN32  // sox is a program of the POSIX side
TEST_F(RoundTrip, FilesExchangedWithSox) {
    ASSERT_EQ(run("command -v sox >/dev/null 2>&1"), 0) << "sox is a test dependency (scripts/install-deps.sh)";
    auto decoded = [](const std::string& wav) {
        EXPECT_EQ(run("sox -D '" + wav + "' -t raw -e signed-integer -b 32 '" + wav + ".raw' 2>/dev/null"), 0);
        return readFile(wav + ".raw");
    };
    const struct {
        const char* name;
        const char* options;
        int channels, bits;
        bool isFloat;
    } cases[] = {
        {"u8_mono", "-c 1 -b 8 -e unsigned-integer", 1, 8, false},
        {"s16_stereo", "-c 2 -b 16 -e signed-integer", 2, 16, false},
        {"s24_stereo", "-c 2 -b 24 -e signed-integer", 2, 24, false},
        {"s32_mono", "-c 1 -b 32 -e signed-integer", 1, 32, false},
        {"s16_four", "-c 4 -b 16 -e signed-integer", 4, 16, false},
        {"f32_stereo", "-c 2 -b 32 -e floating-point", 2, 32, true},
    };
    for (const auto& m : cases) {
        SCOPED_TRACE(m.name);
        const std::string path = scratchPath(std::string("sox_") + m.name + ".wav");
        ASSERT_EQ(run(std::string("sox -D -n -r 32000 ") + m.options + " '" + path +
                      "' synth 0.05 sine 440 sine 1000 sine 3000 sine 5000 gain -3 2>/dev/null"),
                  0);
        const Bytes raw = decoded(path);
        const int32_t frames = static_cast<int32_t>(raw.size() / (4 * m.channels));
        ASSERT_EQ(frames, 1600);

        const Opened r = openRead(path);
        ASSERT_EQ(r.result, 0);
        EXPECT_EQ(fileInfo(r.refnum), (Info{0, 32000.0, m.channels, m.bits, 0.05, frames}));
        const ReadResult back = readData(r.refnum, -1, TW_TYPE_I32);
        ASSERT_EQ(back.summary(), std::tuple(0, frames, 1, frames));
        EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
        for (int32_t f = 0; f < frames; ++f)
            for (int ch = 0; ch < m.channels; ++ch)
                ASSERT_NEAR(testhost::get2D<int32_t>(back.data.get(), ch, f),
                            static_cast<int32_t>(get32(raw, 4 * (static_cast<size_t>(f) * m.channels + ch))),
                            m.isFloat ? 2 : 0)
                    << f << "," << ch;
        if (m.isFloat) continue;
        const std::string ours = scratchPath(std::string("ours_") + m.name + ".wav");
        ASSERT_EQ(writeOnce(ours, 32000.0, m.channels, m.bits, back.data.get(), TW_TYPE_I32), (Written{0, frames}));
        EXPECT_EQ(decoded(ours), raw) << "sox decodes the samples we wrote";
    }
}

#endif

}  // namespace
}  // namespace filetest
