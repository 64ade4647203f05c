// Helpers of the sound file tests: scratch paths, hand-made WAV files,
// opening, reading and writing through the exports, host arrays of samples.
#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "host/WavBytes.h"
#include "host/Library.h"
#include "host/Samples.h"
#include "host/TestHost.h"

namespace filetest {

using namespace wavbytes;

inline const testhost::Exports& api() { return testhost::library().api(); }

// Every sound file test needs the library.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(testhost::library().loaded()) << testhost::library().error(); }
};

// A fresh path in the scratch directory (any old file there is removed).
std::string scratchPath(const std::string& name);

// The "fmt " payload: the 16 core bytes, then cbSize and the extension
// when `extension` is not empty or `withCbSize` is set.
struct Format {
    uint16_t tag = 1;
    uint16_t channels = 2;
    uint32_t rate = 44100;
    uint16_t bits = 16;
    bool withCbSize = false;
    Bytes extension;
};
Bytes formatChunk(const Format& f);
// Extension of an extensible record: valid bits, mask 0 and the sub-format
// {0000000N-0000-0010-8000-00AA00389B71}.
Bytes extensibleExtension(uint16_t validBits, uint32_t subFormatCode);
// A plain WAV: "fmt " then "data".
Bytes wavFile(const Format& f, const Bytes& data);

// Opening through the exports; the refnum stays kUntouched when it failed.
constexpr TaskRefnum kUntouched = -77;
struct Opened {
    int32_t result;
    TaskRefnum refnum;
    bool operator==(const Opened&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const Opened& o) {
    return out << "result " << o.result << ", refnum " << o.refnum;
}
Opened openRead(const std::string& path);
// Writes `bytes` to a scratch file `name` and opens it for reading.
Opened openBytes(const std::string& name, const Bytes& bytes);
Opened openWrite(const std::string& path, double rate, int32_t channels, int32_t bits);
// Creates a WAV file of the format, writes `data` in one call and closes it.
struct Written {
    int32_t result, frames;
    bool operator==(const Written&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const Written& w) {
    return out << "result " << w.result << ", frames " << w.frames;
}
Written writeOnce(const std::string& path, double rate, int32_t channels, int32_t bits, TwArrayHandle data,
                  uint16_t type);
// A reader's position in frames.
int32_t position(TaskRefnum refnum);

// Reads with the given seek and count into a fresh array of `type`.
struct ReadResult {
    int32_t result, frames;
    uint8_t eof;
    testhost::ArrayPtr data;
    // The result, frames, end-of-file flag and columns of the array.
    std::tuple<int32_t, int32_t, int, int32_t> summary() const {
        return {result, frames, eof, testhost::cols(data.get())};
    }
};
ReadResult readData(TaskRefnum refnum, int32_t count, uint16_t type, int32_t seekMode = 2, int32_t seekOffset = 0);

struct Info {
    int32_t result;
    double rate;
    int32_t channels, bits;
    double duration;
    int32_t total;
    bool operator==(const Info&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const Info& i) {
    return out << "result " << i.result << ", " << i.rate << " Hz, " << i.channels << " ch, " << i.bits << " bits, "
               << i.duration << " s, " << i.total << " frames";
}
Info fileInfo(TaskRefnum refnum);

using testhost::makeSamples;
using testhost::sampleAt;

// Runs a shell command; its exit status.
int run(const std::string& command);

}  // namespace filetest
