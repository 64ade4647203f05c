// Reading: information, positions and seeking, end of file, sample formats,
// chunk order and the array the host gets back.
#include <cmath>
#include <cstring>
#include <limits>

#include "FileTestSupport.h"

namespace filetest {
namespace {

class Reader : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(testhost::library().loaded()) << testhost::library().error(); }

    // A stereo 16-bit file whose frame f holds f in channel 0 and -f in 1.
    TaskRefnum openCounting(const std::string& name, int32_t frames, size_t extraBytes = 0) {
        Bytes data;
        for (int32_t f = 0; f < frames; ++f) {
            put16(data, static_cast<uint16_t>(f));
            put16(data, static_cast<uint16_t>(-f));
        }
        data.insert(data.end(), extraBytes, 0x55);
        const std::string path = scratchPath(name);
        writeFile(path, wavFile(Format{}, data));
        Opened r = openRead(path);
        EXPECT_EQ(r.result, 0);
        return r.refnum;
    }

    int32_t position(TaskRefnum refnum) {
        int32_t n = -1;
        EXPECT_EQ(api().SoundReadFileSamplesRead(refnum, &n), 0);
        return n;
    }
};

TEST_F(Reader, InfoThenReadingAllSetsEndOfFileAndAFurtherReadGetsNothing) {
    const TaskRefnum r = openCounting("all.wav", 4410);
    const Info i = fileInfo(r);
    EXPECT_EQ(i.result, 0);
    EXPECT_EQ(i.rate, 44100.0);
    EXPECT_EQ(i.channels, 2);
    EXPECT_EQ(i.bits, 16);
    EXPECT_DOUBLE_EQ(i.duration, 0.1);
    EXPECT_EQ(i.total, 4410);
    EXPECT_EQ(position(r), 0);
    ReadResult a = readData(r, -1, TW_TYPE_I16);
    EXPECT_EQ(a.result, 0);
    EXPECT_EQ(a.frames, 4410);
    EXPECT_EQ(a.eof, 1);
    ASSERT_EQ(testhost::rows(a.data.get()), 2);
    ASSERT_EQ(testhost::cols(a.data.get()), 4410);
    EXPECT_EQ(testhost::blockSize(a.data.get()), 8u + 2 * 4410 * 2);
    for (int32_t f = 0; f < 4410; f += 37) {
        EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, f), f);
        EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 1, f), -f);
    }
    EXPECT_EQ(position(r), 4410);

    ReadResult b = readData(r, -1, TW_TYPE_I16);
    EXPECT_EQ(b.result, 0);
    EXPECT_EQ(b.frames, 0);
    EXPECT_EQ(b.eof, 1);
    EXPECT_EQ(testhost::cols(b.data.get()), 0);
    EXPECT_EQ(api().SoundFileClose(r), 0);
}

// A read that fails takes nothing: the position stays and the next read
// delivers the same frames.
TEST_F(Reader, FailedReadLeavesThePosition) {
    const TaskRefnum r = openCounting("failed.wav", 100);
    ASSERT_EQ(readData(r, 10, TW_TYPE_I16).result, 0);
    ReadResult bad = readData(r, 10, TW_TYPE_U32);
    EXPECT_EQ(bad.result, 42);
    EXPECT_EQ(bad.frames, 0);
    EXPECT_EQ(position(r), 10);
    ReadResult next = readData(r, 10, TW_TYPE_I16);
    EXPECT_EQ(testhost::get2D<int16_t>(next.data.get(), 0, 0), 10);
    EXPECT_EQ(position(r), 20);
    EXPECT_EQ(api().SoundFileClose(r), 0);
}

TEST_F(Reader, PartialLastFrameIsConsumedByTheNextRead) {
    const TaskRefnum r = openCounting("partial.wav", 10, 3);
    EXPECT_EQ(fileInfo(r).total, 10);
    ReadResult a = readData(r, -1, TW_TYPE_I16);
    EXPECT_EQ(a.result, 0);
    EXPECT_EQ(a.frames, 10);
    EXPECT_EQ(a.eof, 0);
    ReadResult b = readData(r, 5, TW_TYPE_I16);
    EXPECT_EQ(b.result, 0);
    EXPECT_EQ(b.frames, 0);
    EXPECT_EQ(b.eof, 1);
    EXPECT_EQ(testhost::cols(b.data.get()), 0);
    EXPECT_EQ(api().SoundFileClose(r), 0);
}

// Nothing to fill comes before a type without converter.
TEST_F(Reader, CountZeroOrNoArrayGives61AndAnEmptyArray) {
    const TaskRefnum r = openCounting("zero.wav", 10);
    for (uint16_t type : {TW_TYPE_I16, TW_TYPE_U32}) {
        ReadResult a = readData(r, 0, type);
        EXPECT_EQ(a.result, 61);
        EXPECT_EQ(a.frames, 0);
        EXPECT_EQ(testhost::cols(a.data.get()), 0);
    }
    int32_t frames = -1;
    uint8_t eof = 7;
    EXPECT_EQ(api().SoundReadFileData(r, 2, 0, 5, TW_TYPE_U32, 0, nullptr, &frames, &eof), 61);
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(position(r), 0);
    EXPECT_EQ(api().SoundFileClose(r), 0);
}

TEST_F(Reader, SeekModesPositionAndClamp) {
    const TaskRefnum r = openCounting("seek.wav", 5000);
    // From the start.
    ReadResult a = readData(r, 1, TW_TYPE_I16, 0, 1000);
    EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, 0), 1000);
    EXPECT_EQ(position(r), 1001);
    readData(r, 0, TW_TYPE_I16, 0, 1000);
    EXPECT_EQ(position(r), 1000) << "a seek alone sets the position";
    // Relative, both ways.
    a = readData(r, 1, TW_TYPE_I16, 2, 500);
    EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, 0), 1500);
    a = readData(r, 1, TW_TYPE_I16, 2, -1001);
    EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, 0), 500);
    // Mode 2 with offset 0 continues.
    a = readData(r, 2, TW_TYPE_I16, 2, 0);
    EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, 0), 501);
    EXPECT_EQ(position(r), 503);
    // From the end.
    a = readData(r, 10, TW_TYPE_I16, 1, 3);
    EXPECT_EQ(a.frames, 3);
    EXPECT_EQ(a.eof, 1);
    EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, 0), 4997);
    // Negative offsets in modes 0 and 1 count as 0; beyond the data clamps.
    a = readData(r, 1, TW_TYPE_I16, 0, -50);
    EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, 0), 0);
    a = readData(r, 1, TW_TYPE_I16, 1, -50);
    EXPECT_EQ(a.frames, 0);
    EXPECT_EQ(a.eof, 1);
    a = readData(r, 1, TW_TYPE_I16, 0, 0x7FFFFFFF);
    EXPECT_EQ(a.frames, 0);
    EXPECT_EQ(position(r), 5000);
    a = readData(r, 1, TW_TYPE_I16, 1, 0x7FFFFFFF);
    EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, 0), 0);
    a = readData(r, 1, TW_TYPE_I16, 2, -0x7FFFFFFF);
    EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, 0), 0);
    EXPECT_EQ(api().SoundFileClose(r), 0);
}

TEST_F(Reader, UnknownSeekModeGives4803AndResetsThePosition) {
    const TaskRefnum r = openCounting("badseek.wav", 100);
    readData(r, 10, TW_TYPE_I16);
    ASSERT_EQ(position(r), 10);
    ReadResult a = readData(r, 10, TW_TYPE_I16, 3, 0);
    EXPECT_EQ(a.result, 4803);
    EXPECT_EQ(a.frames, 0);
    EXPECT_EQ(a.eof, 0);
    EXPECT_EQ(testhost::cols(a.data.get()), 0);
    EXPECT_EQ(position(r), 0);
    EXPECT_EQ(api().SoundFileClose(r), 0);
}

TEST_F(Reader, ReadsAcrossBufferBoundariesWithOddFrames) {
    // 3 channels x 3 bytes: frames straddle every I/O buffer boundary.
    const Format f{.tag = 0xFFFE, .channels = 3, .bits = 24, .extension = extensibleExtension(24, 1)};
    const int32_t frames = 150000;
    Bytes data;
    for (int32_t i = 0; i < frames * 3; ++i) {
        const uint32_t v = static_cast<uint32_t>(i) * 2654435761u;
        data.push_back(static_cast<uint8_t>(v));
        data.push_back(static_cast<uint8_t>(v >> 8));
        data.push_back(static_cast<uint8_t>(v >> 16));
    }
    const std::string path = scratchPath("odd.wav");
    writeFile(path, wavFile(f, data));
    Opened r = openRead(path);
    ASSERT_EQ(r.result, 0);
    // In uneven pieces, then the rest.
    int32_t done = 0;
    for (int32_t piece : {1, 7000, 87382, 12345}) {
        ReadResult a = readData(r.refnum, piece, TW_TYPE_I32);
        ASSERT_EQ(a.frames, piece);
        for (int32_t c = 0; c < piece; c += 97) {
            for (int32_t ch = 0; ch < 3; ++ch) {
                const uint32_t v = (static_cast<uint32_t>((done + c) * 3 + ch) * 2654435761u) & 0xFFFFFF;
                ASSERT_EQ(testhost::get2D<int32_t>(a.data.get(), ch, c), static_cast<int32_t>(v << 8))
                    << done + c << "," << ch;
            }
        }
        done += piece;
    }
    ReadResult rest = readData(r.refnum, -1, TW_TYPE_I32);
    EXPECT_EQ(rest.frames, frames - done);
    EXPECT_EQ(rest.eof, 1);
    EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
}

TEST_F(Reader, FloatFilesAreScaledToFullScaleIntegers) {
    const float values[] = {0.5f, -0.25f, 1.0f, -1.0f, 2.0f, -3.0f, std::numeric_limits<float>::quiet_NaN(), 0.0f};
    Bytes data;
    for (float v : values) {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        put32(data, u);
    }
    const Format plain{.tag = 3, .channels = 1, .bits = 32, .withCbSize = true, .extension = {}};
    Format extensible = plain;
    extensible.tag = 0xFFFE;
    extensible.extension = extensibleExtension(32, 3);
    for (const Format& f : {plain, extensible}) {
        SCOPED_TRACE(f.tag);
        const std::string path = scratchPath("float.wav");
        writeFile(path, wavFile(f, data));
        Opened r = openRead(path);
        ASSERT_EQ(r.result, 0);
        ReadResult a = readData(r.refnum, -1, TW_TYPE_I32);
        ASSERT_EQ(a.result, 0);
        ASSERT_EQ(a.frames, 8);
        const int32_t expected[] = {1073741823, -536870911, 2147483647, -2147483647,
                                    2147483647, -2147483647, INT32_MIN, 0};
        for (int i = 0; i < 8; ++i) EXPECT_EQ(testhost::get2D<int32_t>(a.data.get(), 0, i), expected[i]) << i;
        a = readData(r.refnum, 1, TW_TYPE_I16, 0, 0);
        EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, 0), 16383);
        EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
    }
}

TEST_F(Reader, UnsupportedSampleFormatsFailAtReadNotAtOpen) {
    struct Bad {
        const char* name;
        Format format;
    };
    const Bad cases[] = {
        {"float64", {.tag = 3, .channels = 1, .bits = 64, .withCbSize = true, .extension = {}}},
        {"short extension", {.tag = 0xFFFE, .extension = Bytes(21, 0)}},
        {"sub-format", {.tag = 0xFFFE, .extension = extensibleExtension(16, 2)}},
        {"float16", {.tag = 0xFFFE, .extension = extensibleExtension(16, 3)}},
        {"no channels", {.channels = 0, .extension = {}}},
        {"no bits", {.bits = 0, .extension = {}}},
        {"four bits", {.bits = 4, .extension = {}}},
        // Encoded samples are not integers: read as such they would be noise.
        {"mu-law", {.tag = 7, .channels = 1, .bits = 8, .withCbSize = true, .extension = {}}},
        {"A-law", {.tag = 6, .channels = 1, .bits = 8, .withCbSize = true, .extension = {}}},
        {"ADPCM", {.tag = 2, .channels = 1, .bits = 16, .withCbSize = true, .extension = {}}},
    };
    for (const Bad& bad : cases) {
        SCOPED_TRACE(bad.name);
        const std::string path = scratchPath("unsupported.wav");
        writeFile(path, wavFile(bad.format, Bytes(64, 0x11)));
        Opened r = openRead(path);
        ASSERT_EQ(r.result, 0);
        ReadResult a = readData(r.refnum, -1, TW_TYPE_F64);
        EXPECT_EQ(a.result, 4811);
        EXPECT_EQ(a.frames, 0);
        EXPECT_EQ(a.eof, 0);
        EXPECT_EQ(testhost::cols(a.data.get()), 0);
        EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
    }
}

TEST_F(Reader, ChunksMayComeInAnyOrder) {
    Bytes data;
    for (int i = 0; i < 8; ++i) put16(data, static_cast<uint16_t>(i * 10));
    Format mono;
    mono.channels = 1;
    Bytes chunks;
    putChunk(chunks, "LIST", Bytes(13, 'x'));
    putChunk(chunks, "data", data);
    putChunk(chunks, "junk", Bytes(3, 0));
    putChunk(chunks, "fmt ", formatChunk(mono));
    const std::string path = scratchPath("order.wav");
    writeFile(path, riffWave(chunks));
    Opened r = openRead(path);
    ASSERT_EQ(r.result, 0);
    EXPECT_EQ(fileInfo(r.refnum).total, 8);
    ReadResult a = readData(r.refnum, -1, TW_TYPE_I16);
    ASSERT_EQ(a.frames, 8);
    EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, 7), 70);
    EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
}

}  // namespace
}  // namespace filetest
