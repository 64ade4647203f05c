// Written files read back for every host type and sample width, and files
// exchanged with sox in both directions.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

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

class RoundTrip : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(testhost::library().loaded()) << testhost::library().error(); }
};

// The writer and the reader hand each host type to its converter (whose
// values the converter tests hold; the bytes of every width are in the
// writer's tests): through a 32-bit file every integer comes back exact and
// every float within a step of 2^-31.
TEST_F(RoundTrip, EveryHostTypeComesBackThroughAFile) {
    const int32_t channels = 3, frames = 257;
    for (uint16_t type : tw::convert::kSampleTypeCodes) {
        SCOPED_TRACE(tw::convert::sampleTypeName(type));
        const std::string path = scratchPath("roundtrip.wav");
        const Opened w = openWrite(path, 22050.0, channels, 32);
        ASSERT_EQ(w.result, 0);
        auto data = makeSamples(type, channels, frames, [type](int32_t r, int32_t c) { return hostValue(type, r, c); });
        int32_t written = 0;
        ASSERT_EQ(api().SoundWriteFileData(w.refnum, data.get(), &written, type), 0);
        ASSERT_EQ(written, frames);
        ASSERT_EQ(api().SoundFileClose(w.refnum), 0);

        const Opened r = openRead(path);
        ASSERT_EQ(r.result, 0);
        EXPECT_EQ(fileInfo(r.refnum).total, frames);
        ReadResult back = readData(r.refnum, -1, type);
        ASSERT_EQ(back.result, 0);
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

// ---- sox ----------------------------------------------------------------------

class Sox : public RoundTrip {
protected:
    void SetUp() override {
        RoundTrip::SetUp();
        ASSERT_TRUE(haveSox()) << "sox is a test dependency (scripts/install-deps.sh)";
    }

    // Raw sample bytes of a file, as sox decodes them (no dither, same encoding).
    Bytes rawOf(const std::string& wav) {
        const std::string raw = wav + ".raw";
        EXPECT_EQ(run("sox -D '" + wav + "' -t raw '" + raw + "' 2>/dev/null"), 0);
        return readFile(raw);
    }
};

TEST_F(Sox, ReadsFilesMadeBySox) {
    struct Made {
        const char* name;
        const char* options;
        int channels;
        int bits;
        bool isFloat;
    };
    const Made cases[] = {
        {"u8_mono", "-c 1 -b 8 -e unsigned-integer", 1, 8, false},
        {"s16_stereo", "-c 2 -b 16 -e signed-integer", 2, 16, false},
        {"s24_stereo", "-c 2 -b 24 -e signed-integer", 2, 24, false},
        {"s32_mono", "-c 1 -b 32 -e signed-integer", 1, 32, false},
        {"s16_four", "-c 4 -b 16 -e signed-integer", 4, 16, false},
        {"f32_stereo", "-c 2 -b 32 -e floating-point", 2, 32, true},
    };
    for (const Made& m : cases) {
        SCOPED_TRACE(m.name);
        const std::string path = scratchPath(std::string("sox_") + m.name + ".wav");
        ASSERT_EQ(run(std::string("sox -D -n -r 32000 ") + m.options + " '" + path +
                      "' synth 0.05 sine 440 sine 1000 sine 3000 sine 5000 gain -3 2>/dev/null"),
                  0);
        const Bytes raw = rawOf(path);
        const int bytes = m.bits / 8;
        const int32_t frames = static_cast<int32_t>(raw.size() / (bytes * m.channels));
        ASSERT_EQ(frames, 1600);

        const Opened r = openRead(path);
        ASSERT_EQ(r.result, 0);
        const Info info = fileInfo(r.refnum);
        EXPECT_EQ(info.rate, 32000.0);
        EXPECT_EQ(info.channels, m.channels);
        EXPECT_EQ(info.bits, m.bits);
        EXPECT_EQ(info.total, frames);
        EXPECT_NEAR(info.duration, 0.05, 1e-9);
        ReadResult back = readData(r.refnum, -1, TW_TYPE_I32);
        ASSERT_EQ(back.result, 0);
        ASSERT_EQ(back.frames, frames);
        EXPECT_EQ(back.eof, 1);
        for (int32_t f = 0; f < frames; ++f) {
            for (int ch = 0; ch < m.channels; ++ch) {
                const size_t at = (static_cast<size_t>(f) * m.channels + ch) * bytes;
                int64_t expected;
                if (m.isFloat) {
                    float x;
                    std::memcpy(&x, &raw[at], 4);
                    expected = static_cast<int32_t>(std::fmax(-1.0, std::fmin(1.0, x)) * 2147483647.0);
                } else {
                    uint32_t u = 0;
                    for (int b = 0; b < bytes; ++b) u |= static_cast<uint32_t>(raw[at + b]) << (8 * (4 - bytes + b));
                    if (bytes == 1) u ^= 0x80000000u;
                    expected = static_cast<int32_t>(u);
                }
                ASSERT_EQ(testhost::get2D<int32_t>(back.data.get(), ch, f), expected) << f << "," << ch;
            }
        }
        EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
    }
}

TEST_F(Sox, SoxReadsOurFiles) {
    struct Ours {
        int32_t channels;
        int32_t bits;
    };
    for (const Ours& o : {Ours{1, 8}, Ours{2, 16}, Ours{3, 16}, Ours{2, 24}, Ours{1, 32}}) {
        SCOPED_TRACE(testing::Message() << o.channels << " ch, " << o.bits << " bits");
        const std::string path = scratchPath("ours.wav");
        const Opened w = openWrite(path, 48000.0, o.channels, o.bits);
        ASSERT_EQ(w.result, 0);
        const int32_t frames = 1001;
        auto data = makeSamples(TW_TYPE_I32, o.channels, frames, [](int32_t r, int32_t c) {
            return static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(c * 2654435761u + r * 40503u)));
        });
        int32_t n = 0;
        ASSERT_EQ(api().SoundWriteFileData(w.refnum, data.get(), &n, TW_TYPE_I32), 0);
        ASSERT_EQ(api().SoundFileClose(w.refnum), 0);

        FILE* p = ::popen(("soxi -s '" + path + "' 2>/dev/null").c_str(), "r");
        ASSERT_NE(p, nullptr);
        long soxFrames = -1;
        EXPECT_EQ(std::fscanf(p, "%ld", &soxFrames), 1);
        ::pclose(p);
        EXPECT_EQ(soxFrames, frames);

        const Bytes raw = rawOf(path);
        const Bytes file = readFile(path);
        const size_t start = file.size() - raw.size() - ((raw.size() & 1) ? 1 : 0);
        ASSERT_EQ(raw.size(), static_cast<size_t>(frames) * o.channels * (o.bits / 8));
        EXPECT_TRUE(std::equal(raw.begin(), raw.end(), file.begin() + static_cast<std::ptrdiff_t>(start)))
            << "sox decodes the samples we wrote";
    }
}

}  // namespace
}  // namespace filetest
