// The exact bytes of written files: header fields per format, placeholders
// while the file is open, sizes, fact value and pad byte after closing;
// clipping and arrays the writer refuses.
#include <algorithm>

#include "FileTestSupport.h"

namespace filetest {
namespace {

struct Case {
    const char* name;
    int32_t channels;
    double rate;
    int32_t bits;
    int32_t frames;
    // Expected header fields.
    bool extensible;
    uint32_t samplesPerSec;
    uint32_t avgBytes;
    uint16_t blockAlign;
    uint16_t containerBits;
    // Rows of the array written (0: one per channel); fewer repeat the last.
    int32_t rows = 0;
};

const Case kCases[] = {
    {"mono8_odd", 1, 8000.0, 8, 3, false, 8000, 8000, 1, 8},
    {"stereo8", 2, 11025.0, 8, 4, false, 11025, 22050, 2, 8},
    {"mono16", 1, 16000.0, 16, 5, false, 16000, 32000, 2, 16},
    {"stereo16", 2, 44100.0, 16, 6, false, 44100, 176400, 4, 16},
    {"three16", 3, 48000.0, 16, 4, true, 48000, 288000, 6, 16},
    {"mono24", 1, 96000.0, 24, 3, true, 96000, 288000, 3, 24},
    {"stereo24", 2, 48000.0, 24, 5, true, 48000, 288000, 6, 24},
    {"stereo32", 2, 44100.0, 32, 3, true, 44100, 352800, 8, 32},
    {"mono12", 1, 22050.0, 12, 4, true, 22050, 44100, 2, 16},
    {"rate44100_9", 2, 44100.9, 16, 2, false, 44100, 176403, 4, 16},
    {"stereo16_one_row", 2, 8000.0, 16, 3, false, 8000, 32000, 4, 16, 1},
    // No converter writes 5-byte samples; the header can describe them.
    {"stereo40", 2, 8000.0, 40, 0, true, 8000, 80000, 10, 40},
};

int32_t sampleValue(int32_t row, int32_t col) {
    return static_cast<int32_t>(0x12345678u * static_cast<uint32_t>(col + 1) + 0x01020304u * static_cast<uint32_t>(row));
}

// The file bytes of one int32 sample at a container width: its top bytes,
// with the sign flipped for the unsigned 8-bit form.
void putSample(Bytes& out, int32_t v, int width) {
    uint32_t u = static_cast<uint32_t>(v);
    if (width == 1) u ^= 0x80000000u;
    for (int i = 4 - width; i < 4; ++i) out.push_back(static_cast<uint8_t>(u >> (8 * i)));
}

Bytes expectedFile(const Case& c, bool closed) {
    const int width = c.containerBits / 8;
    Bytes samples;
    for (int32_t f = 0; f < c.frames; ++f)
        for (int32_t ch = 0; ch < c.channels; ++ch)
            putSample(samples, sampleValue(c.rows > 0 ? std::min(ch, c.rows - 1) : ch, f), width);

    Bytes fmt;
    put16(fmt, c.extensible ? 0xFFFE : 1);
    put16(fmt, static_cast<uint16_t>(c.channels));
    put32(fmt, c.samplesPerSec);
    put32(fmt, c.avgBytes);
    put16(fmt, c.blockAlign);
    put16(fmt, c.containerBits);
    if (c.extensible) {
        put16(fmt, 22);
        Bytes ext = extensibleExtension(static_cast<uint16_t>(c.bits), 1);
        fmt.insert(fmt.end(), ext.begin(), ext.end());
    }
    Bytes chunks;
    putChunk(chunks, "fmt ", fmt);
    Bytes fact;
    put32(fact, closed ? 0u : 0xFFFFFFFFu);
    putChunk(chunks, "fact", fact);
    putText(chunks, "data");
    put32(chunks, closed ? static_cast<uint32_t>(samples.size()) : 0u);
    chunks.insert(chunks.end(), samples.begin(), samples.end());
    if (closed && (samples.size() & 1)) chunks.push_back(0);
    Bytes file = riffWave(chunks);
    if (!closed) {
        for (int i = 4; i < 8; ++i) file[i] = 0;
    }
    return file;
}

using WriterBytes = FileTest;

TEST_F(WriterBytes, EveryFormatGivesTheExactFileWhileOpenAndAfterClosing) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string path = scratchPath(std::string("bytes_") + c.name + ".wav");
        Opened w = openWrite(path, c.rate, c.channels, c.bits);
        ASSERT_EQ(w.result, 0);
        auto data = makeSamples(TW_TYPE_I32, c.rows > 0 ? c.rows : c.channels, c.frames, [](int32_t r, int32_t col) {
            return static_cast<double>(sampleValue(r, col));
        });
        int32_t written = -1;
        ASSERT_EQ(api().SoundWriteFileData(w.refnum, data.get(), &written, TW_TYPE_I32), 0);
        EXPECT_EQ(written, c.frames);
        // The header reaches the disk with the first data.
        if (c.frames > 0) {
            EXPECT_EQ(readFile(path), expectedFile(c, false)) << "placeholders while open";
        }
        ASSERT_EQ(api().SoundFileClose(w.refnum), 0);
        EXPECT_EQ(readFile(path), expectedFile(c, true));
    }
}

// Arrays the writer cannot convert write nothing; clipped floats are written,
// with a warning.
TEST_F(WriterBytes, UnconvertibleArraysWriteNothingAndClippedFloatsAWarning) {
    const std::string path = scratchPath("refused.wav");
    const Opened w = openWrite(path, 8000.0, 1, 16);
    ASSERT_EQ(w.result, 0);
    int32_t written = -1, total = -1;
    // No rows but columns: nothing to take the samples from.
    auto noRows = testhost::makeArray2D(TW_TYPE_I16, 0, 5);
    EXPECT_EQ(api().SoundWriteFileData(w.refnum, noRows.get(), &written, TW_TYPE_I16), 42);
    auto unsigned16 = testhost::makeArray2D(TW_TYPE_U16, 1, 5);
    EXPECT_EQ(api().SoundWriteFileData(w.refnum, unsigned16.get(), &written, TW_TYPE_U16), 42);
    Opened wide = openWrite(scratchPath("wide.wav"), 8000.0, 2, 40);
    ASSERT_EQ(wide.result, 0);
    auto samples = testhost::makeArray2D(TW_TYPE_I32, 2, 5);
    EXPECT_EQ(api().SoundWriteFileData(wide.refnum, samples.get(), &written, TW_TYPE_I32), 42);
    ASSERT_EQ(api().SoundFileClose(wide.refnum), 0);
    EXPECT_EQ(api().SoundWriteFileSamplesWritten(w.refnum, &total), 0);
    EXPECT_EQ(total, 0);

    auto data = makeSamples(TW_TYPE_F64, 1, 3, [](int32_t, int32_t c) { return c == 1 ? 1.5 : 0.5; });
    EXPECT_EQ(api().SoundWriteFileData(w.refnum, data.get(), &written, TW_TYPE_F64), -4824);
    EXPECT_EQ(api().SoundWriteFileSamplesWritten(w.refnum, &total), 0);
    EXPECT_EQ(written, 3);
    EXPECT_EQ(total, 3);
    ASSERT_EQ(api().SoundFileClose(w.refnum), 0);
    // The header and the three clipped samples: nothing of the refused arrays.
    const Bytes file = readFile(path);
    ASSERT_EQ(file.size(), 62u);
    EXPECT_EQ(Bytes(file.begin() + 56, file.end()), (Bytes{0xFF, 0x3F, 0xFF, 0x7F, 0xFF, 0x3F}));
}

}  // namespace
}  // namespace filetest
