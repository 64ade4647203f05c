#include "FileTestSupport.h"

#include <cstdlib>
#include <filesystem>

namespace filetest {

std::string scratchPath(const std::string& name) {
    std::string path = testhost::scratchDir() + "/" + name;
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    return path;
}

Bytes formatChunk(const Format& f) {
    Bytes out;
    put16(out, f.tag);
    put16(out, f.channels);
    put32(out, f.rate);
    put32(out, static_cast<uint32_t>(uint64_t{f.channels} * f.rate * f.bits / 8));
    put16(out, static_cast<uint16_t>(f.channels * f.bits / 8));
    put16(out, f.bits);
    if (f.withCbSize || !f.extension.empty()) {
        put16(out, static_cast<uint16_t>(f.extension.size()));
        out.insert(out.end(), f.extension.begin(), f.extension.end());
    }
    return out;
}

Bytes extensibleExtension(uint16_t validBits, uint32_t subFormatCode) {
    Bytes out;
    put16(out, validBits);
    put32(out, 0);
    put32(out, subFormatCode);
    const uint8_t rest[] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    out.insert(out.end(), rest, rest + sizeof rest);
    return out;
}

Bytes wavFile(const Format& f, const Bytes& data) {
    Bytes chunks;
    putChunk(chunks, "fmt ", formatChunk(f));
    putChunk(chunks, "data", data);
    return riffWave(chunks);
}

Opened openRead(const std::string& path) {
    Opened o{0, kUntouched};
    o.result = api().SoundReadFileOpen(testhost::makeString(path).get(), &o.refnum);
    return o;
}

Opened openBytes(const std::string& name, const Bytes& bytes) {
    const std::string path = scratchPath(name);
    writeFile(path, bytes);
    return openRead(path);
}

Opened openWrite(const std::string& path, double rate, int32_t channels, int32_t bits) {
    Opened o{0, kUntouched};
    o.result = api().SoundWriteFileOpen(testhost::makeString(path).get(), &o.refnum, rate, channels, bits);
    return o;
}

Written writeOnce(const std::string& path, double rate, int32_t channels, int32_t bits, TwArrayHandle data,
                  uint16_t type) {
    const Opened w = openWrite(path, rate, channels, bits);
    EXPECT_EQ(w.result, 0);
    Written out{-1, -1};
    out.result = api().SoundWriteFileData(w.refnum, data, &out.frames, type);
    EXPECT_EQ(api().SoundFileClose(w.refnum), 0);
    return out;
}

int32_t position(TaskRefnum refnum) {
    int32_t n = -1;
    EXPECT_EQ(api().SoundReadFileSamplesRead(refnum, &n), 0);
    return n;
}

ReadResult readData(TaskRefnum refnum, int32_t count, uint16_t type, int32_t seekMode, int32_t seekOffset) {
    ReadResult r{0, -7, 7, testhost::makeArray2D(type, 1, 1)};
    r.result = api().SoundReadFileData(refnum, seekMode, seekOffset, count, type, 0, r.data.get(), &r.frames, &r.eof);
    return r;
}

Info fileInfo(TaskRefnum refnum) {
    Info i{};
    i.result = api().SoundFileInfoRef(refnum, 0, &i.rate, &i.channels, &i.bits, &i.duration, &i.total);
    return i;
}

int run(const std::string& command) {
    const int status = std::system(command.c_str());
#ifdef _WIN32
    return status;
#else
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

}  // namespace filetest
