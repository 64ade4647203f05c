// Reading: information, positions and seeking, end of file, refused reads,
// sample formats and chunk layouts.
#include <bit>
#include <cmath>
#include <limits>

#include "FileTestSupport.h"

namespace filetest {
namespace {

class Reader : public FileTest {
protected:

    // A stereo 16-bit file whose frame f holds f in channel 0 and -f in 1.
    TaskRefnum openCounting(const std::string& name, int32_t frames, size_t extraBytes = 0) {
        Bytes data;
        for (int32_t f = 0; f < frames; ++f) {
            put16(data, static_cast<uint16_t>(f));
            put16(data, static_cast<uint16_t>(-f));
        }
        data.insert(data.end(), extraBytes, 0x55);
        const Opened r = openBytes(name, wavFile(Format{}, data));
        EXPECT_EQ(r.result, 0);
        return r.refnum;
    }
};

TEST_F(Reader, InfoThenReadingAllSetsEndOfFileAndAFurtherReadGetsNothing) {
    const TaskRefnum r = openCounting("all.wav", 4410);
    EXPECT_EQ(fileInfo(r), (Info{0, 44100.0, 2, 16, 0.1, 4410}));
    EXPECT_EQ(position(r), 0);
    ReadResult a = readData(r, -1, TW_TYPE_I16);
    EXPECT_EQ(a.summary(), std::tuple(0, 4410, 1, 4410));
    ASSERT_EQ(testhost::rows(a.data.get()), 2);
    EXPECT_EQ(testhost::blockSize(a.data.get()), 8u + 2 * 4410 * 2);
    for (int32_t f = 0; f < 4410; f += 37) {
        EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, f), f);
        EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 1, f), -f);
    }
    EXPECT_EQ(position(r), 4410);

    EXPECT_EQ(readData(r, -1, TW_TYPE_I16).summary(), std::tuple(0, 0, 1, 0));
    EXPECT_EQ(api().SoundFileClose(r), 0);

    // Bytes of a partial last frame are no frame, but end the data only once
    // the next read has used them up.
    const TaskRefnum p = openCounting("partial.wav", 10, 3);
    EXPECT_EQ(fileInfo(p).total, 10);
    EXPECT_EQ(readData(p, -1, TW_TYPE_I16).summary(), std::tuple(0, 10, 0, 10));
    EXPECT_EQ(readData(p, 5, TW_TYPE_I16).summary(), std::tuple(0, 0, 1, 0));
    EXPECT_EQ(api().SoundFileClose(p), 0);
}

// A refused read takes nothing: the next read delivers the frames it would
// have. Nothing to fill (count 0) comes before a type without converter; an
// unknown seek mode puts the position back at the start.
TEST_F(Reader, RefusedReadsMoveNothing) {
    const TaskRefnum r = openCounting("refused.wav", 100);
    const struct {
        int32_t count;
        uint16_t type;
        int32_t seekMode, result, positionAfter;
    } steps[] = {
        {10, TW_TYPE_I16, 2, 0, 10},   {10, TW_TYPE_U32, 2, 42, 10},  {0, TW_TYPE_I16, 2, 61, 10},
        {0, TW_TYPE_U32, 2, 61, 10},   {10, TW_TYPE_I16, 2, 0, 20},   {10, TW_TYPE_I16, 3, 4803, 0},
        {10, TW_TYPE_I16, 2, 0, 10},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(testing::Message() << "count " << s.count << " type " << s.type << " mode " << s.seekMode);
        const int32_t before = position(r);
        const ReadResult a = readData(r, s.count, s.type, s.seekMode, 0);
        EXPECT_EQ(a.result, s.result);
        EXPECT_EQ(position(r), s.positionAfter);
        if (s.result == 0) {
            EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, 0), before);
            continue;
        }
        EXPECT_EQ(a.frames, 0);
        if (s.result != 42) { EXPECT_EQ(testhost::cols(a.data.get()), 0); }
        if (s.result == 4803) { EXPECT_EQ(a.eof, 0); }
    }
    int32_t frames = -1;
    uint8_t eof = 7;
    EXPECT_EQ(api().SoundReadFileData(r, 2, 0, 5, TW_TYPE_U32, 0, nullptr, &frames, &eof), 61) << "no array";
    EXPECT_EQ(frames, 0);
    EXPECT_EQ(position(r), 10);
    EXPECT_EQ(api().SoundFileClose(r), 0);
}

// Negative offsets in modes 0 and 1 count as 0; targets beyond the data clamp.
TEST_F(Reader, SeekModesPositionAndClamp) {
    const TaskRefnum r = openCounting("seek.wav", 5000);
    const struct {
        int32_t mode, offset, count;
        int32_t frames, first, positionAfter;  // first: -1 when no frame comes
    } steps[] = {
        {0, 1000, 1, 1, 1000, 1001},  {0, 1000, 0, 0, -1, 1000},  // a seek alone sets the position
        {2, 500, 1, 1, 1500, 1501},   {2, -1001, 1, 1, 500, 501},   {2, 0, 2, 2, 501, 503},
        {1, 3, 10, 3, 4997, 5000},    {0, -50, 1, 1, 0, 1},         {1, -50, 1, 0, -1, 5000},
        {0, 0x7FFFFFFF, 1, 0, -1, 5000}, {1, 0x7FFFFFFF, 1, 1, 0, 1}, {2, -0x7FFFFFFF, 1, 1, 0, 1},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(testing::Message() << "mode " << s.mode << " offset " << s.offset << " count " << s.count);
        const ReadResult a = readData(r, s.count, TW_TYPE_I16, s.mode, s.offset);
        EXPECT_EQ(a.frames, s.frames);
        if (s.first >= 0) { EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, 0), s.first); }
        if (s.count > 0) { EXPECT_EQ(a.eof, s.positionAfter == 5000 ? 1 : 0); }
        EXPECT_EQ(position(r), s.positionAfter);
    }
    EXPECT_EQ(api().SoundFileClose(r), 0);
}

TEST_F(Reader, FloatFilesAreScaledToFullScaleIntegers) {
    const float values[] = {0.5f, -0.25f, 1.0f, -1.0f, 2.0f, -3.0f, std::numeric_limits<float>::quiet_NaN(), 0.0f};
    const int32_t expected[] = {1073741823, -536870911, 2147483647, -2147483647, 2147483647, -2147483647, INT32_MIN, 0};
    Bytes data;
    for (float v : values) put32(data, std::bit_cast<uint32_t>(v));
    const Format plain{.tag = 3, .channels = 1, .bits = 32, .withCbSize = true, .extension = {}};
    Format extensible = plain;
    extensible.tag = 0xFFFE;
    extensible.extension = extensibleExtension(32, 3);
    for (const Format& f : {plain, extensible}) {
        SCOPED_TRACE(f.tag);
        const Opened r = openBytes("float.wav", wavFile(f, data));
        ASSERT_EQ(r.result, 0);
        ReadResult a = readData(r.refnum, -1, TW_TYPE_I32);
        ASSERT_EQ(a.frames, 8);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(testhost::get2D<int32_t>(a.data.get(), 0, i), expected[i]) << i;
        a = readData(r.refnum, 1, TW_TYPE_I16, 0, 0);
        EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, 0), 16383);
        EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
    }
}

TEST_F(Reader, UnsupportedSampleFormatsFailAtReadNotAtOpen) {
    const struct {
        const char* name;
        Format format;
    } cases[] = {
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
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Opened r = openBytes("unsupported.wav", wavFile(c.format, Bytes(64, 0x11)));
        ASSERT_EQ(r.result, 0);
        EXPECT_EQ(readData(r.refnum, -1, TW_TYPE_F64).summary(), std::tuple(4811, 0, 0, 0));
        EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
    }
}

// The chunks may come in any order (the data before the format), and a data
// chunk that claims more than the file holds ends with the file: even a read
// of 2^31 - 1 frames is sized by what is there.
TEST_F(Reader, ChunkLayouts) {
    Bytes data;
    for (int i = 0; i < 10; ++i) put16(data, static_cast<uint16_t>(i * 10));
    const Bytes fmt = formatChunk({.channels = 1, .extension = {}});
    Bytes reordered, longData;
    putChunk(reordered, "LIST", Bytes(13, 'x'));
    putChunk(reordered, "data", data);
    putChunk(reordered, "junk", Bytes(3, 0));
    putChunk(reordered, "fmt ", fmt);
    putChunk(longData, "fmt ", fmt);
    putChunk(longData, "data", data, 0x7FFFFFF0);
    for (const auto& [name, chunks] : {std::pair{"reordered", reordered}, {"data past the end", longData}}) {
        SCOPED_TRACE(name);
        const Opened r = openBytes("layout.wav", riffWave(chunks));
        ASSERT_EQ(r.result, 0);
        EXPECT_EQ(fileInfo(r.refnum).total, 10);
        ReadResult a = readData(r.refnum, -1, TW_TYPE_I16);
        EXPECT_EQ(a.summary(), std::tuple(0, 10, 1, 10));
        EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, 9), 90);
        a = readData(r.refnum, 0x7FFFFFFF, TW_TYPE_F64, 0, 0);
        EXPECT_EQ(a.summary(), std::tuple(0, 10, 1, 10));
        EXPECT_EQ(testhost::blockSize(a.data.get()), 8u + 10 * 8);
        EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
    }
}

}  // namespace
}  // namespace filetest
