// Small files of every layout, written by the writer or by hand, opened and
// described correctly. With TONEWELL_FUZZ_SEEDS set they are also copied
// there: they are the fuzzer's seed corpus (fuzz/corpus/wav_reader).
#include <cstdlib>
#include <cstring>

#include "FileTestSupport.h"

namespace filetest {
namespace {

struct Seed {
    std::string name;
    Bytes bytes;
    int32_t channels;
    int32_t bits;
    int32_t frames;
};

Bytes written(int32_t channels, int32_t bits, int32_t frames) {
    const std::string path = scratchPath("seed.wav");
    const Opened w = openWrite(path, 8000.0, channels, bits);
    EXPECT_EQ(w.result, 0);
    auto data = makeSamples(TW_TYPE_F64, channels, frames, [](int32_t r, int32_t c) { return 0.1 * ((r + c) % 10) - 0.5; });
    int32_t n = 0;
    EXPECT_EQ(api().SoundWriteFileData(w.refnum, data.get(), &n, TW_TYPE_F64), 0);
    EXPECT_EQ(api().SoundFileClose(w.refnum), 0);
    return readFile(path);
}

std::vector<Seed> seeds() {
    std::vector<Seed> out;
    for (int32_t channels : {1, 2, 3}) {
        for (int32_t bits : {8, 12, 16, 24, 32}) {
            const int32_t frames = 5 + channels;
            std::string name = "w";
            name += std::to_string(channels) + "ch" + std::to_string(bits);
            out.push_back({name, written(channels, bits, frames),
                           channels, (bits + 7) / 8 * 8, frames});
        }
    }
    Bytes floats;
    for (int i = 0; i < 6; ++i) {
        const float v = 0.3f * static_cast<float>(i) - 0.8f;
        uint32_t u;
        std::memcpy(&u, &v, 4);
        put32(floats, u);
    }
    Format f32;
    f32.tag = 3;
    f32.channels = 2;
    f32.bits = 32;
    f32.withCbSize = true;
    out.push_back({"float", wavFile(f32, floats), 2, 32, 3});
    Format f32ext = f32;
    f32ext.tag = 0xFFFE;
    f32ext.extension = extensibleExtension(32, 3);
    out.push_back({"float_ext", wavFile(f32ext, floats), 2, 32, 3});
    Bytes reordered;
    putChunk(reordered, "data", Bytes(7, 0x40));
    putChunk(reordered, "LIST", Bytes(9, 'i'));
    Format mono8;
    mono8.channels = 1;
    mono8.bits = 8;
    putChunk(reordered, "fmt ", formatChunk(mono8));
    out.push_back({"data_first", riffWave(reordered), 1, 8, 7});
    return out;
}

TEST(SeedFiles, EveryLayoutOpensWithItsFormat) {
    ASSERT_TRUE(testhost::library().loaded()) << testhost::library().error();
    const char* copyTo = std::getenv("TONEWELL_FUZZ_SEEDS");
    for (const Seed& seed : seeds()) {
        SCOPED_TRACE(seed.name);
        const std::string path = scratchPath(seed.name + ".wav");
        writeFile(path, seed.bytes);
        const Opened r = openRead(path);
        ASSERT_EQ(r.result, 0);
        const Info info = fileInfo(r.refnum);
        EXPECT_EQ(info.channels, seed.channels);
        EXPECT_EQ(info.bits, seed.bits);
        EXPECT_EQ(info.total, seed.frames);
        ReadResult all = readData(r.refnum, -1, TW_TYPE_F32);
        EXPECT_EQ(all.result, 0);
        EXPECT_EQ(all.frames, seed.frames);
        EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
        if (copyTo && *copyTo) writeFile(std::string(copyTo) + "/" + seed.name + ".wav", seed.bytes);
    }
}

}  // namespace
}  // namespace filetest
