// Failures: paths, permissions, refnums of the wrong kind, formats a writer
// refuses, host clean-up, and a disk that fills up.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <thread>

#include "FileTestSupport.h"

namespace filetest {
namespace {

constexpr uid_t kNobody = 65534;

class FileErrors : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(testhost::library().loaded()) << testhost::library().error(); }

    std::string validFile(const std::string& name, int32_t frames = 16) {
        const std::string path = scratchPath(name);
        writeFile(path, wavFile(Format{}, Bytes(static_cast<size_t>(frames) * 4, 0x10)));
        return path;
    }

    // A world-readable directory outside the scratch tree, for children that
    // run as an unprivileged user.
    std::string openDirectory() {
        char pattern[] = "/tmp/tonewell-perm-XXXXXX";
        const char* dir = ::mkdtemp(pattern);
        EXPECT_NE(dir, nullptr);
        ::chmod(dir, 0755);
        return dir ? dir : "/tmp";
    }
};

TEST_F(FileErrors, ReaderPathFailures) {
    EXPECT_EQ(api().SoundReadFileOpen(nullptr, nullptr), 4805);
    auto empty = testhost::makeString("");
    TaskRefnum refnum = 77;
    EXPECT_EQ(api().SoundReadFileOpen(empty.get(), &refnum), 4805);
    EXPECT_EQ(openRead(scratchPath("missing.wav")).result, 7);
    const std::string file = validFile("plain.wav");
    EXPECT_EQ(openRead(file + "/below.wav").result, 7) << "a file where a directory is expected";
    EXPECT_EQ(openRead(testhost::scratchDir()).result, 117);
    Opened bad = openRead(scratchPath("nothing.wav"));
    EXPECT_EQ(bad.refnum, -1);
    EXPECT_EQ(refnum, 77) << "no refnum written on failure";
    EXPECT_EQ(testhost::registrationCount(), 0u) << "failed opens leave no clean-up registered";
}

TEST_F(FileErrors, FilesThatAreNotSoundFilesGive4810) {
    Format mono;
    mono.channels = 1;
    Bytes goodFmt;
    putChunk(goodFmt, "fmt ", formatChunk(mono));
    Bytes someData;
    putChunk(someData, "data", Bytes(8, 1));

    struct Bad {
        const char* name;
        Bytes bytes;
    };
    std::vector<Bad> cases;
    cases.push_back({"empty", {}});
    cases.push_back({"text", Bytes{'h', 'e', 'l', 'l', 'o'}});
    Bytes notWave = riffWave(goodFmt);
    notWave[8] = 'A';
    cases.push_back({"form AVE", notWave});
    Bytes truncatedHeader = wavFile(mono, Bytes(8, 1));
    truncatedHeader.resize(30);
    cases.push_back({"truncated fmt", truncatedHeader});
    cases.push_back({"no fmt", riffWave(someData)});
    cases.push_back({"no data", riffWave(goodFmt)});
    Bytes shortFmt;
    putChunk(shortFmt, "fmt ", Bytes(14, 1));
    shortFmt.insert(shortFmt.end(), someData.begin(), someData.end());
    cases.push_back({"fmt of 14", riffWave(shortFmt)});
    cases.push_back({"empty data", wavFile(mono, {})});
    Bytes dataPastEnd = goodFmt;
    putChunk(dataPastEnd, "data", {}, 4000);
    cases.push_back({"data claimed, none there", riffWave(dataPastEnd)});
    Bytes hugeFmt;
    putChunk(hugeFmt, "fmt ", formatChunk(mono), 0xFFFFFFFF);
    hugeFmt.insert(hugeFmt.end(), someData.begin(), someData.end());
    cases.push_back({"fmt of 0xFFFFFFFF", riffWave(hugeFmt)});
    Bytes riffTooSmall = wavFile(mono, Bytes(8, 1));
    riffTooSmall[4] = 4;
    riffTooSmall[5] = riffTooSmall[6] = riffTooSmall[7] = 0;
    cases.push_back({"RIFF of 4", riffTooSmall});
    Format hugeExtension = mono;
    hugeExtension.tag = 0xFFFE;
    hugeExtension.withCbSize = true;
    Bytes oddExtension = formatChunk(hugeExtension);
    oddExtension[16] = 0xFF;
    oddExtension[17] = 0xFF;
    Bytes odd;
    putChunk(odd, "fmt ", oddExtension);
    putChunk(odd, "data", Bytes(9, 2));
    cases.push_back({"cbSize 65535 past the end", riffWave(odd)});

    for (const Bad& bad : cases) {
        SCOPED_TRACE(bad.name);
        const std::string path = scratchPath("bad.wav");
        writeFile(path, bad.bytes);
        Opened r = openRead(path);
        EXPECT_EQ(r.result, 4810);
        EXPECT_EQ(r.refnum, -1);
    }
}

TEST_F(FileErrors, DataChunkLongerThanTheFileEndsWithTheFile) {
    Format mono;
    mono.channels = 1;
    Bytes chunks;
    putChunk(chunks, "fmt ", formatChunk(mono));
    Bytes data;
    for (int i = 0; i < 10; ++i) put16(data, static_cast<uint16_t>(i + 1));
    putChunk(chunks, "data", data, 0x7FFFFFF0);
    const std::string path = scratchPath("long.wav");
    writeFile(path, riffWave(chunks));
    Opened r = openRead(path);
    ASSERT_EQ(r.result, 0);
    EXPECT_EQ(fileInfo(r.refnum).total, 10);
    ReadResult a = readData(r.refnum, -1, TW_TYPE_I16);
    EXPECT_EQ(a.result, 0);
    EXPECT_EQ(a.frames, 10);
    EXPECT_EQ(a.eof, 1);
    EXPECT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, 9), 10);
    a = readData(r.refnum, 0x7FFFFFFF, TW_TYPE_F64, 0, 0);
    EXPECT_EQ(a.frames, 10) << "sized by the file, not by the count";
    EXPECT_EQ(a.eof, 1);
    EXPECT_EQ(testhost::blockSize(a.data.get()), 8u + 10 * 8);
    EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
}

TEST_F(FileErrors, RefnumsUnknownOrOfTheOtherKindGive4801) {
    const TaskRefnum never = 987654;
    int32_t n = 5;
    EXPECT_EQ(api().SoundReadFileSamplesRead(never, &n), 4801);
    EXPECT_EQ(n, 0);
    n = 5;
    EXPECT_EQ(api().SoundWriteFileSamplesWritten(never, &n), 4801);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(api().SoundFileClose(never), 4801);
    ReadResult a = readData(never, 10, TW_TYPE_I16);
    EXPECT_EQ(a.result, 4801);
    EXPECT_EQ(a.frames, 0);
    EXPECT_EQ(a.eof, 7) << "the end-of-file flag is left alone";
    EXPECT_EQ(testhost::cols(a.data.get()), 0);
    readData(never, 10, 0xFFFF);
    EXPECT_EQ(testhost::lastSizeArrayType(), -1) << "the host gets the type code widened with its sign";

    const Opened r = openRead(validFile("kind.wav"));
    const Opened w = openWrite(scratchPath("kind_out.wav"), 8000.0, 1, 16);
    ASSERT_EQ(r.result, 0);
    ASSERT_EQ(w.result, 0);
    EXPECT_EQ(w.refnum, r.refnum + 1) << "readers and writers share one sequence";

    Info i{};
    i.channels = 99;
    EXPECT_EQ(api().SoundFileInfoRef(w.refnum, 0, &i.rate, &i.channels, &i.bits, &i.duration, &i.total), 4801);
    EXPECT_EQ(i.channels, 99);
    n = 5;
    EXPECT_EQ(api().SoundReadFileSamplesRead(w.refnum, &n), 4801);
    EXPECT_EQ(n, 0);
    a = readData(w.refnum, 10, TW_TYPE_I16);
    EXPECT_EQ(a.result, 4801);
    EXPECT_EQ(a.eof, 7);

    auto data = testhost::makeArray2D(TW_TYPE_I16, 1, 4);
    n = 5;
    EXPECT_EQ(api().SoundWriteFileData(r.refnum, data.get(), &n, TW_TYPE_I16), 4801);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(api().SoundWriteFileSamplesWritten(r.refnum, &n), 4801);
    EXPECT_EQ(n, 0);

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
        TaskRefnum refnum = 55;
        auto name = testhost::makeString(path);
        EXPECT_EQ(api().SoundWriteFileOpen(name.get(), &refnum, bad.rate, bad.channels, bad.bits), 1);
        EXPECT_EQ(refnum, 55);
        EXPECT_TRUE(exists(path)) << "the file made by the path check stays";
        EXPECT_EQ(readFile(path).size(), 0u);
    }
}

TEST_F(FileErrors, WriterPathFailures) {
    const std::string dir = testhost::scratchDir();
    EXPECT_EQ(openWrite(dir, 8000.0, 1, 16).result, 117);
    EXPECT_EQ(openWrite(scratchPath("no/such/dir.wav"), 8000.0, 1, 16).result, 7);
    EXPECT_EQ(openWrite("", 8000.0, 1, 16).result, 7);

    const std::string readOnly = validFile("readonly.wav");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    EXPECT_EQ(openWrite(readOnly, 8000.0, 1, 16).result, 8);
    EXPECT_EQ(readFile(readOnly).size(), 12u + 24 + 8 + 64) << "left as it was";

    // An existing file is overwritten.
    const std::string old = validFile("overwrite.wav", 1000);
    Opened w = openWrite(old, 8000.0, 1, 16);
    ASSERT_EQ(w.result, 0);
    EXPECT_EQ(api().SoundFileClose(w.refnum), 0);
    EXPECT_EQ(readFile(old).size(), 56u);
}

// The owner's permission bits decide for a user without privileges: as root
// the child becomes the files' owner "nobody", otherwise it stays who it is.
TEST_F(FileErrors, PermissionsAsAnUnprivilegedUser) {
    // Loads the sound system before forking: the child only opens files.
    ASSERT_EQ(api().SoundFileClose(openRead(validFile("warmup.wav")).refnum), 0);
    const std::string dir = openDirectory();
    const std::string secret = dir + "/secret.wav";
    const std::string shared = dir + "/shared.wav";
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
    run("rm -rf '" + dir + "'");
}

TEST_F(FileErrors, HostCleanUpClosesAndFinalisesButKeepsTheRefnums) {
    const Opened r = openRead(validFile("cleanup_in.wav"));
    const std::string outPath = scratchPath("cleanup_out.wav");
    const Opened w = openWrite(outPath, 8000.0, 1, 8);
    ASSERT_EQ(r.result, 0);
    ASSERT_EQ(w.result, 0);
    ASSERT_EQ(testhost::registrationCount(), 2u);
    auto data = makeSamples(TW_TYPE_U8, 1, 3, [](int32_t, int32_t c) { return 10 + c; });
    int32_t n = 0;
    ASSERT_EQ(api().SoundWriteFileData(w.refnum, data.get(), &n, TW_TYPE_U8), 0);

    const std::vector<int32_t> results = testhost::runCleanups();
    EXPECT_EQ(results, (std::vector<int32_t>{0, 0}));
    const Bytes file = readFile(outPath);
    ASSERT_EQ(file.size(), 56u + 4);
    EXPECT_EQ(get32(file, 4), 52u) << "finalised by the clean-up";
    EXPECT_EQ(get32(file, 44), 0u);
    EXPECT_EQ(get32(file, 52), 3u);

    EXPECT_EQ(api().SoundWriteFileData(w.refnum, data.get(), &n, TW_TYPE_U8), 4810);
    EXPECT_EQ(api().SoundWriteFileSamplesWritten(w.refnum, &n), 0);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(fileInfo(r.refnum).total, 16);
    ReadResult a = readData(r.refnum, -1, TW_TYPE_I16);
    EXPECT_EQ(a.result, 4810) << "a closed file has nothing to read";
    EXPECT_EQ(a.eof, 0);

    EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
    EXPECT_EQ(api().SoundFileClose(w.refnum), 0);
    EXPECT_EQ(testhost::registrationCount(), 0u);
    EXPECT_EQ(readFile(outPath), file) << "closing again changes nothing";
}

// The host may run the clean-up from any thread while another is inside a
// read or a write of the same file: the file is closed between two calls,
// never under one, and the WAV written holds what the calls reported.
TEST_F(FileErrors, HostCleanUpAmidReadsAndWritesOfOtherThreads) {
    const std::string inPath = validFile("busy_in.wav", 4000);
    const std::string outPath = scratchPath("busy_out.wav");
    auto data = makeSamples(TW_TYPE_I16, 1, 64, [](int32_t, int32_t c) { return 100 * c; });
    for (int cycle = 0; cycle < 12; ++cycle) {
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
        for (int32_t result : testhost::runCleanups()) EXPECT_EQ(result, 0);
        writer.join();
        reader.join();
        EXPECT_EQ(unexpected.load(), 0);
        int32_t frames = 0;
        ASSERT_EQ(api().SoundWriteFileSamplesWritten(w.refnum, &frames), 0);
        const Bytes file = readFile(outPath);
        ASSERT_EQ(file.size(), 56u + 2 * static_cast<uint32_t>(frames)) << "cycle " << cycle;
        EXPECT_EQ(get32(file, 4), file.size() - 8);
        EXPECT_EQ(get32(file, 52), 2u * static_cast<uint32_t>(frames));
        EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
        EXPECT_EQ(api().SoundFileClose(w.refnum), 0);
    }
}

TEST_F(FileErrors, DiskFullIsReportedAndLosesNothingWrittenBefore) {
    ASSERT_EQ(api().SoundFileClose(openRead(validFile("warmup2.wav")).refnum), 0);
    const std::string path = scratchPath("full.wav");
    constexpr rlim_t kLimit = 100000;
    const int status = inChild(
        [] {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{kLimit, kLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(100);
        },
        [&] {
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

// The file is cut short while it is read (beyond the reader's buffer): what
// was delivered stays right, the read that meets the cut fails with 4810 and
// moves nothing, and the frames before the cut can still be read.
TEST_F(FileErrors, FileTruncatedWhileReadFailsAtTheCutAndKeepsWhatIsThere) {
    Format mono;
    mono.channels = 1;
    Bytes data;
    for (int i = 0; i < 400000; ++i) put16(data, static_cast<uint16_t>(i % 30000));
    const std::string path = scratchPath("shrinking.wav");
    writeFile(path, wavFile(mono, data));
    const Opened r = openRead(path);
    ASSERT_EQ(r.result, 0);
    auto expectFrames = [](const ReadResult& a, int32_t first) {
        for (int32_t i = 0; i < a.frames; ++i)
            ASSERT_EQ(testhost::get2D<int16_t>(a.data.get(), 0, i), (first + i) % 30000) << first + i;
    };
    ASSERT_EQ(readData(r.refnum, 1000, TW_TYPE_I16).frames, 1000);
    constexpr int32_t kCut = 200001;
    ASSERT_EQ(::truncate(path.c_str(), 44 + 2 * kCut), 0);
    for (int32_t first = 1000; first + 50000 <= kCut; first += 50000) {
        const ReadResult a = readData(r.refnum, 50000, TW_TYPE_I16);
        ASSERT_EQ(a.result, 0);
        ASSERT_EQ(a.frames, 50000);
        expectFrames(a, first);
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        const ReadResult a = readData(r.refnum, 50000, TW_TYPE_I16);
        EXPECT_EQ(a.result, 4810);
        EXPECT_EQ(a.frames, 0);
        EXPECT_EQ(testhost::cols(a.data.get()), 0);
    }
    int32_t position = -1;
    EXPECT_EQ(api().SoundReadFileSamplesRead(r.refnum, &position), 0);
    EXPECT_EQ(position, 151000) << "the failed reads moved nothing";
    const ReadResult rest = readData(r.refnum, kCut - 151000, TW_TYPE_I16);
    EXPECT_EQ(rest.result, 0);
    EXPECT_EQ(rest.frames, kCut - 151000);
    expectFrames(rest, 151000);
    EXPECT_EQ(api().SoundFileClose(r.refnum), 0);
}

TEST_F(FileErrors, PathsAreCutAfter1023Characters) {
    // Nested directories so that the first 1023 characters name a file.
    std::string dir = testhost::scratchDir() + "/long";
    ASSERT_EQ(run("rm -rf '" + dir + "'"), 0);
    ::mkdir(dir.c_str(), 0755);
    while (dir.size() < 1023 - 200) {
        dir += "/" + std::string(100, 'd');
        ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    }
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
    run("rm -rf '" + testhost::scratchDir() + "/long'");
}

}  // namespace
}  // namespace filetest
