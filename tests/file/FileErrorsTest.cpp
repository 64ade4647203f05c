// Failures: paths, permissions, refnums of the wrong kind, formats a writer
// refuses, host clean-up, and a disk that fills up.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <thread>

#ifndef _WIN32
#include "ChildProcess.h"
#endif
#include "FileTestSupport.h"

namespace filetest {
namespace {

#ifndef _WIN32
using testchild::inChild;
using testchild::limitFileSize;

constexpr uid_t kNobody = 65534;
#endif

class FileErrors : public FileTest {
protected:

    std::string validFile(const std::string& name, int32_t frames = 16) {
        const std::string path = scratchPath(name);
        writeFile(path, wavFile(Format{}, Bytes(static_cast<size_t>(frames) * 4, 0x10)));
        return path;
    }
};

// -1: not tried that way.
TEST_F(FileErrors, PathFailures) {
    EXPECT_EQ(api().SoundReadFileOpen(nullptr, nullptr), 4805);
    const std::string file = validFile("plain.wav");
    const std::string readOnly = validFile("readonly.wav");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    const struct {
        std::string path;
        int32_t read, write;
    } cases[] = {
        {"", 4805, 7},
        {scratchPath("missing.wav"), 7, -1},
        {file + "/below.wav", 7, 7},  // a file where a directory is expected
        {testhost::scratchDir(), 117, 117},
        {scratchPath("no/such/dir.wav"), 7, 7},
        {readOnly, -1, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        if (c.read >= 0) { EXPECT_EQ(openRead(c.path), (Opened{c.read, kUntouched})); }
        if (c.write >= 0) { EXPECT_EQ(openWrite(c.path, 8000.0, 1, 16), (Opened{c.write, kUntouched})); }
    }
    EXPECT_EQ(readFile(readOnly).size(), 12u + 24 + 8 + 64) << "left as it was";
    EXPECT_EQ(testhost::registrationCount(), 0u) << "failed opens leave no clean-up registered";

    // An existing file is overwritten.
    const Opened w = openWrite(file, 8000.0, 1, 16);
    ASSERT_EQ(w.result, 0);
    EXPECT_EQ(api().SoundFileClose(w.refnum), 0);
    EXPECT_EQ(readFile(file).size(), 56u);
}

TEST_F(FileErrors, FilesThatAreNotSoundFilesGive4810) {
    const Format mono{.channels = 1, .extension = {}};
    const Bytes good = wavFile(mono, Bytes(8, 1));  // "fmt " at 12, "data" at 36
    auto patched = [&](size_t at, const Bytes& bytes) {
        Bytes b = good;
        std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
        return b;
    };
    Bytes fmt, data, shortFmt, dataPastEnd, hugeExtension;
    putChunk(fmt, "fmt ", formatChunk(mono));
    putChunk(data, "data", Bytes(8, 1));
    putChunk(shortFmt, "fmt ", Bytes(14, 1));
    putChunk(dataPastEnd, "data", {}, 4000);
    Bytes extension = formatChunk({.tag = 0xFFFE, .channels = 1, .withCbSize = true, .extension = {}});
    extension[16] = extension[17] = 0xFF;  // cbSize 65535, far past the end
    putChunk(hugeExtension, "fmt ", extension);
    putChunk(hugeExtension, "data", Bytes(9, 2));
    auto join = [](Bytes a, const Bytes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::pair<const char*, Bytes> cases[] = {
        {"empty", {}},
        {"text", {'h', 'e', 'l', 'l', 'o'}},
        {"form AVE", patched(8, {'A'})},
        {"truncated fmt", Bytes(good.begin(), good.begin() + 30)},
        {"no fmt", riffWave(data)},
        {"no data", riffWave(fmt)},
        {"fmt of 14", riffWave(join(shortFmt, data))},
        {"empty data", wavFile(mono, {})},
        {"data claimed, none there", riffWave(join(fmt, dataPastEnd))},
        {"fmt of 0xFFFFFFFF", patched(16, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"RIFF of 4", patched(4, {4, 0, 0, 0})},
        {"cbSize 65535 past the end", riffWave(hugeExtension)},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(openBytes("bad.wav", bytes), (Opened{4810, kUntouched}));
    }
}

// A reader's refnum counts as unknown to the writer's exports and the
// reverse; outputs are zeroed or left as each export says.
TEST_F(FileErrors, RefnumsUnknownOrOfTheOtherKindGive4801) {
    const TaskRefnum never = 987654;
    const Opened r = openRead(validFile("kind.wav"));
    const Opened w = openWrite(scratchPath("kind_out.wav"), 8000.0, 1, 16);
    ASSERT_EQ(r.result, 0);
    ASSERT_EQ(w.result, 0);
    EXPECT_EQ(w.refnum, r.refnum + 1) << "readers and writers share one sequence";
    for (TaskRefnum notReader : {never, w.refnum}) {
        SCOPED_TRACE(notReader);
        int32_t n = 5;
        EXPECT_EQ(api().SoundReadFileSamplesRead(notReader, &n), 4801);
        EXPECT_EQ(n, 0);
        Info i{};
        i.channels = 99;
        EXPECT_EQ(api().SoundFileInfoRef(notReader, 0, &i.rate, &i.channels, &i.bits, &i.duration, &i.total), 4801);
        EXPECT_EQ(i.channels, 99);
        EXPECT_EQ(readData(notReader, 10, TW_TYPE_I16).summary(), std::tuple(4801, 0, 7, 0))
            << "the end-of-file flag is left alone";
    }
    auto data = testhost::makeArray2D(TW_TYPE_I16, 1, 4);
    for (TaskRefnum notWriter : {never, r.refnum}) {
        SCOPED_TRACE(notWriter);
        int32_t n = 5;
        EXPECT_EQ(api().SoundWriteFileData(notWriter, data.get(), &n, TW_TYPE_I16), 4801);
        EXPECT_EQ(n, 5);
        EXPECT_EQ(api().SoundWriteFileSamplesWritten(notWriter, &n), 4801);
        EXPECT_EQ(n, 0);
    }
    readData(never, 10, 0xFFFF);
    EXPECT_EQ(testhost::lastSizeArrayType(), -1) << "the host gets the type code widened with its sign";
    EXPECT_EQ(api().SoundFileClose(never), 4801);
    EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
    EXPECT_EQ(api().SoundFileClose(w.refnum), 0);
    EXPECT_EQ(api().SoundFileClose(w.refnum), 4801);
    EXPECT_EQ(testhost::registrationCount(), 0u);
}

TEST_F(FileErrors, WriterRefusesUnusableFormats) {
    struct Bad {
        double rate;
        int32_t channels;
        int32_t bits;
    };
    // Beside what is missing, every format whose header fields cannot hold
    // it: channels, container bits and block align in 16 bits, the rate and
    // byte rate in 32 (a negative channel count reaches them as a huge one).
    const Bad cases[] = {{44100.0, 0, 16},  {44100.0, -2, 16},  {44100.0, 65536, 16}, {44100.0, 40000, 16},
                         {44100.0, 2, 0},   {44100.0, 2, -8},   {44100.0, 2, 65529},  {0.0, 2, 16},
                         {-8000.0, 2, 16},  {0.5, 2, 16},       {std::nan(""), 2, 16}, {5e9, 2, 16},
                         {std::numeric_limits<double>::infinity(), 2, 16},            {2e8, 8, 32}};
    for (const Bad& bad : cases) {
        SCOPED_TRACE(testing::Message() << bad.rate << " Hz, " << bad.channels << " ch, " << bad.bits << " bits");
        const std::string path = scratchPath("refused.wav");
        EXPECT_EQ(openWrite(path, bad.rate, bad.channels, bad.bits), (Opened{1, kUntouched}));
        EXPECT_EQ(::access(path.c_str(), F_OK), 0) << "the file made by the path check stays";
        EXPECT_EQ(readFile(path).size(), 0u);
    }
}

#ifndef _WIN32  // no owners, users to become or size limits on Windows
// The owner's permission bits decide for a user without privileges: as root
// the child becomes the files' owner "nobody", otherwise it stays who it is.
TEST_F(FileErrors, PermissionsAsAnUnprivilegedUser) {
    // Loads the sound system before forking: the child only opens files.
    ASSERT_EQ(api().SoundFileClose(openRead(validFile("warmup.wav")).refnum), 0);
    // A world-readable directory outside the scratch tree.
    char pattern[] = "/tmp/tonewell-perm-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern, secret = dir + "/secret.wav", shared = dir + "/shared.wav";
    writeFile(secret, wavFile(Format{}, Bytes(16, 1)));
    writeFile(shared, wavFile(Format{}, Bytes(16, 1)));
    const bool root = ::geteuid() == 0;
    if (root) {
        for (const std::string& path : {dir, secret, shared}) ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
    }
    ASSERT_EQ(::chmod(secret.c_str(), 0000), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 0460), 0);  // writable only by the group
    ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);

    const int status = inChild(
        [root] {
            if (root && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(100);
        },
        [&] {
            if (openRead(secret).result != 8) return 1;
            if (openWrite(dir + "/new.wav", 8000.0, 1, 16).result != 8) return 2;
            if (openWrite(shared, 8000.0, 1, 16).result != 8) return 3;
            if (openRead(shared).result != 0) return 4;
            return 0;
        });
    EXPECT_EQ(status, 0) << "100: could not drop privileges; 1-4: the check that failed";
    ::chmod(dir.c_str(), 0755);
    ::chmod(shared.c_str(), 0644);
    EXPECT_EQ(readFile(shared).size(), 12u + 24 + 8 + 16);
    std::filesystem::remove_all(dir);
}
#endif

// The host may run the clean-up from any thread while another is inside a
// read or a write of the same file: the file is closed between two calls,
// never under one, and the WAV written is complete and holds what the calls
// reported. The refnums stay until closed, with nothing more to read or write.
TEST_F(FileErrors, HostCleanUpAmidReadsAndWritesClosesAndFinalisesButKeepsTheRefnums) {
    const std::string inPath = validFile("busy_in.wav", 4000);
    const std::string outPath = scratchPath("busy_out.wav");
    auto data = makeSamples(TW_TYPE_I16, 1, 64, [](int32_t, int32_t c) { return 100 * c; });
    for (int cycle = 0; cycle < 12; ++cycle) {
        SCOPED_TRACE(cycle);
        const Opened r = openRead(inPath);
        const Opened w = openWrite(outPath, 8000.0, 1, 16);
        ASSERT_EQ(r.result, 0);
        ASSERT_EQ(w.result, 0);
        std::atomic<int> unexpected{0};
        std::thread writer([&] {
            for (int32_t result = 0, n = 0; result == 0;) {
                result = api().SoundWriteFileData(w.refnum, data.get(), &n, TW_TYPE_I16);
                if (result != 0 && result != 4810) unexpected = result;
            }
        });
        std::thread reader([&] {
            for (int32_t result = 0; result == 0;) {
                // Closed: its seek fails (4803), or its read finds nothing (4810).
                result = readData(r.refnum, 64, TW_TYPE_I16, 0, 0).result;
                if (result != 0 && result != 4803 && result != 4810) unexpected = result;
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(1 + cycle % 4));
        EXPECT_EQ(testhost::runCleanups(), (std::vector<int32_t>{0, 0}));
        writer.join();
        reader.join();
        EXPECT_EQ(unexpected.load(), 0);
        int32_t frames = 0, n = 0;
        ASSERT_EQ(api().SoundWriteFileSamplesWritten(w.refnum, &frames), 0);
        const Bytes file = readFile(outPath);
        ASSERT_EQ(file.size(), 56u + 2 * static_cast<uint32_t>(frames));
        EXPECT_EQ(get32(file, 4), file.size() - 8);
        EXPECT_EQ(get32(file, 44), 0u) << "the fact value";
        EXPECT_EQ(get32(file, 52), 2u * static_cast<uint32_t>(frames));

        EXPECT_EQ(api().SoundWriteFileData(w.refnum, data.get(), &n, TW_TYPE_I16), 4810);
        EXPECT_EQ(api().SoundWriteFileSamplesWritten(w.refnum, &n), 0);
        EXPECT_EQ(n, frames);
        EXPECT_EQ(fileInfo(r.refnum).total, 4000);
        EXPECT_EQ(readData(r.refnum, -1, TW_TYPE_I16).summary(), std::tuple(4810, 0, 0, 0))
            << "a closed file has nothing to read";
        EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
        EXPECT_EQ(api().SoundFileClose(w.refnum), 0);
        EXPECT_EQ(readFile(outPath), file) << "closing again changes nothing";
    }
    EXPECT_EQ(testhost::registrationCount(), 0u);
}

#ifndef _WIN32
TEST_F(FileErrors, DiskFullIsReportedAndLosesNothingWrittenBefore) {
    ASSERT_EQ(api().SoundFileClose(openRead(validFile("warmup2.wav")).refnum), 0);
    const std::string path = scratchPath("full.wav");
    constexpr rlim_t kLimit = 100000;
    const int status = inChild(limitFileSize(kLimit), [&] {
        const Opened w = openWrite(path, 8000.0, 1, 16);
        if (w.result != 0) return 1;
        int32_t n = 0;
        for (int call = 0; call < 4; ++call) {
            auto data = makeSamples(TW_TYPE_I16, 1, 10000, [call](int32_t, int32_t c) { return call * 10000 + c; });
            if (api().SoundWriteFileData(w.refnum, data.get(), &n, TW_TYPE_I16) != 0 || n != 10000) return 2;
        }
        // 80056 bytes are on disk; this call would pass the limit. Its
        // frames were converted before the write failed.
        auto big = makeSamples(TW_TYPE_I16, 1, 20000, [](int32_t, int32_t) { return -1; });
        n = -1;
        if (api().SoundWriteFileData(w.refnum, big.get(), &n, TW_TYPE_I16) != 4810 || n != 20000) return 3;
        if (api().SoundWriteFileSamplesWritten(w.refnum, &n) != 0 || n != 40000) return 4;
        // A call that still fits goes on where the good data ended.
        auto tail = makeSamples(TW_TYPE_I16, 1, 100, [](int32_t, int32_t c) { return 40000 + c; });
        if (api().SoundWriteFileData(w.refnum, tail.get(), &n, TW_TYPE_I16) != 0) return 5;
        if (api().SoundFileClose(w.refnum) != 0) return 6;
        return 0;
    });
    ASSERT_EQ(status, 0) << "100: no limit; 1-6: the step that failed";
    const Bytes file = readFile(path);
    ASSERT_EQ(file.size(), 56u + 2 * 40100);
    EXPECT_EQ(get32(file, 4), file.size() - 8);
    EXPECT_EQ(get32(file, 52), 2u * 40100);
    for (int i = 0; i < 40100; ++i) ASSERT_EQ(get16(file, 56 + 2 * i), static_cast<uint16_t>(i)) << i;
}
#endif

// The file is cut short while it is read (beyond the reader's buffer): what
// was delivered stays right, the read that meets the cut fails with 4810 and
// moves nothing, and the frames before the cut can still be read.
TEST_F(FileErrors, FileTruncatedWhileReadFailsAtTheCutAndKeepsWhatIsThere) {
    Bytes data;
    for (int i = 0; i < 400000; ++i) put16(data, static_cast<uint16_t>(i % 30000));
    const std::string path = scratchPath("shrinking.wav");
    writeFile(path, wavFile({.channels = 1, .extension = {}}, data));
    const Opened r = openRead(path);
    ASSERT_EQ(r.result, 0);
    auto expectFrames = [](const ReadResult& a, int32_t first, int32_t frames) {
        ASSERT_EQ(a.result, 0);
        ASSERT_EQ(a.frames, frames);
        for (int32_t i = 0; i < a.frames; ++i)
            ASSERT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, i), (first + i) % 30000) << first + i;
    };
    ASSERT_EQ(readData(r.refnum, 1000, TW_TYPE_I16).frames, 1000);
    constexpr int32_t kCut = 200001;
    ASSERT_NO_THROW(std::filesystem::resize_file(path, 44 + 2 * kCut));
    for (int32_t first = 1000; first + 50000 <= kCut; first += 50000)
        expectFrames(readData(r.refnum, 50000, TW_TYPE_I16), first, 50000);
    for (int attempt = 0; attempt < 2; ++attempt)
        EXPECT_EQ(readData(r.refnum, 50000, TW_TYPE_I16).summary(), std::tuple(4810, 0, 0, 0));
    EXPECT_EQ(position(r.refnum), 151000) << "the failed reads moved nothing";
    expectFrames(readData(r.refnum, kCut - 151000, TW_TYPE_I16), 151000, kCut - 151000);
    EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
}

TEST_F(FileErrors, PathsAreCutAfter1023Characters) {
    // Nested directories so that the first 1023 characters name a file.
    std::string dir = testhost::scratchDir() + "/long";
    // Without throwing: Windows's C++ run-time cannot remove paths this long.
    std::error_code error;
    std::filesystem::remove_all(dir, error);
    while (dir.size() < 1023 - 200) dir += "/" + std::string(100, 'd');
    std::filesystem::create_directories(dir, error);
    ASSERT_TRUE(std::filesystem::is_directory(dir));
    const std::string file = dir + "/" + std::string(1023 - dir.size() - 1, 'f');
    ASSERT_EQ(file.size(), 1023u);
    writeFile(file, wavFile(Format{}, Bytes(16, 3)));
    const Opened r = openRead(file + "-and-more-characters.wav");
    ASSERT_EQ(r.result, 0);
    EXPECT_EQ(fileInfo(r.refnum).total, 4);
    EXPECT_EQ(api().SoundFileClose(r.refnum), 0);

    const Opened w = openWrite(file + "XYZ", 8000.0, 1, 16);
    ASSERT_EQ(w.result, 0);
    EXPECT_EQ(api().SoundFileClose(w.refnum), 0);
    EXPECT_EQ(readFile(file).size(), 56u) << "the cut path was written";
    std::filesystem::remove_all(testhost::scratchDir() + "/long", error);
}

}  // namespace
}  // namespace filetest
