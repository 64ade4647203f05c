// The tonewell tool, run as a child process: help, bad command lines and
// values, missing files and devices, and recordings stopped by signals or a
// closed pipe, whose files must be valid WAV files afterwards.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "host/Process.h"
#include "host/TestHost.h"
#include "host/WavBytes.h"

namespace {

#ifdef _WIN32
constexpr const char* kSystemDriver = "directsound";
#else
constexpr const char* kSystemDriver = "alsa";
#endif

using testhost::finishProcess;
using Result = testhost::ProcessResult;

std::string scratch(const std::string& name) {
    return testhost::scratchDir() + "/" + name;
}

// Starts the tool with its output going to files (or to `stdoutFd`).
pid_t spawnTool(std::vector<std::string> args, const std::string& tag, int stdoutFd = -1) {
    args.insert(args.begin(), TONEWELL_TOOL);
    return testhost::spawnProcess(args, tag, {}, stdoutFd);
}

Result runTool(const std::vector<std::string>& args, const std::string& tag = "run") {
    return finishProcess(spawnTool(args, tag), tag);
}

// The sizes a finished WAV file must agree on: RIFF size = file size - 8, and
// a data chunk that ends where the file does, in whole frames. Returns the
// data bytes (-1 without a data chunk).
int64_t wavDataBytes(const std::string& path) {
    const wavbytes::Bytes bytes = wavbytes::readFile(path);
    const std::string b(bytes.begin(), bytes.end());
    if (b.size() < 44 || b.compare(0, 4, "RIFF") != 0 || b.compare(8, 4, "WAVE") != 0) {
        ADD_FAILURE() << "no RIFF WAVE header in " << b.size() << " bytes";
        return -1;
    }
    EXPECT_EQ(wavbytes::get32(bytes, 4), b.size() - 8) << "RIFF size";
    uint32_t blockAlign = 0;
    for (size_t at = 12, size = 0; at + 8 <= b.size(); at += 8 + size + (size & 1)) {
        size = wavbytes::get32(bytes, at + 4);
        if (b.compare(at, 4, "fmt ") == 0) blockAlign = wavbytes::get16(bytes, at + 20);
        if (b.compare(at, 4, "data") != 0) continue;
        EXPECT_EQ(at + 8 + size, b.size()) << "the data chunk ends the file";
        EXPECT_TRUE(blockAlign != 0 && size % blockAlign == 0) << size << " bytes are not whole frames";
        return static_cast<int64_t>(size);
    }
    ADD_FAILURE() << "no data chunk";
    return -1;
}

struct Case {
    std::vector<std::string> args;
    int status;
    std::string expect;  // text the output (stdout + stderr) must hold; "" for no output at all
};

class ToolTest : public ::testing::Test {
protected:
    void SetUp() override { testhost::setEnv("TONEWELL_SOUND_DRIVER", "virtual"); }

    // A short recording every case can use.
    static const std::string& recording() {
        static const std::string path = [] {
            const std::string p = scratch("short.wav");
            runTool({"-q", "record", p, "--seconds", "0.2"});
            return p;
        }();
        return path;
    }

    void check(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            std::string line;
            for (const auto& a : c.args) line += a + " ";
            const Result r = runTool(c.args);
            EXPECT_EQ(r.status, c.status) << line << "\n" << r.err;
            const std::string all = r.out + r.err;
            if (c.expect.empty())
                EXPECT_EQ(all, "") << line;
            else
                EXPECT_NE(all.find(c.expect), std::string::npos) << line << "\n" << all;
        }
    }
};

TEST_F(ToolTest, EveryCommandHasHelp) {
    std::vector<Case> cases = {{{"--help"}, 0, "Subcommands:"},
                               {{"help"}, 0, "Exit codes: 0 success"},
                               {{"--version"}, 0, "tonewell 1."},
                               // -h is the help, never a file name.
                               {{"play", "-h"}, 0, "Usage: tonewell play"}};
    for (const char* command : {"devices", "info", "play", "midi", "record", "tone", "level", "error"}) {
        cases.push_back({{command, "--help"}, 0, std::string("Usage: tonewell ") + command});
        cases.push_back({{"help", command}, 0, std::string("Usage: tonewell ") + command});
    }
    check(cases);
}

// Usage errors (1), unknown devices and unreadable files (2) say what is wrong.
TEST_F(ToolTest, BadCommandLinesDevicesAndFilesSayWhatIsWrong) {
    const std::string text = scratch("not-sound.wav");
    std::ofstream(text) << "this is not a sound file\n";
    check({
        {{}, 1, "no command given"},
        {{"bogus"}, 1, "not expected: bogus"},
        {{"play", recording(), "--bogus"}, 1, "--bogus"},
        {{"--driver", "bogus", "devices"}, 1, "bogus not in {" + std::string(kSystemDriver) + ",virtual}"},
        {{"record", scratch("x.wav"), "--seconds", "-5"}, 1, "must be a number above 0, not -5"},
        {{"tone", "--seconds", "nan"}, 1, "must be a number above 0, not nan"},
        {{"tone", "--rate", "abc"}, 1, "--rate"},
        {{"tone", "--amplitude", "2"}, 1, "--amplitude"},
        {{"tone", "30000"}, 1, "needs a sample rate above 60000 Hz"},
        {{"record", scratch("x.wav"), "-r", "192000"}, 1, "192000 Hz is outside the rates of capture device 0"},
        {{"record", scratch("x.wav"), "-c", "3"}, 1, "does not take 3 channels"},
        // 50000 s of CD-quality stereo is more than a WAV file's 4 GiB.
        {{"record", scratch("x.wav"), "--seconds", "50000"}, 1, "too long for one WAV file"},
        {{"midi", recording(), "--volume", "101"}, 1, "--volume"},
        {{"error", "99"}, 1, "99 is not a code of the library"},
        {{"play", recording(), "-d", "abc"}, 1, "no output device is named 'abc': there are 0 (Virtual Output 1)"},
        {{"play", recording(), "-d", "9"}, 1, "there is no output device 9"},
        {{"record", scratch("x.wav"), "-d", "Input 2", "-s", "0.05"}, 0, "capture device 1 (Virtual Input 2)"},
        {{"level", "-d", "Virtual"}, 1, "'Virtual' names more than one capture device"},
        {{"play", scratch("missing.wav")}, 2, "file or folder not found (error 7, TW_E_NOT_FOUND)\n  Check"},
        {{"info", text}, 2, "error 4810, TW_E_FILE"},
        {{"info", scratch("missing.wav")}, 2, "error 7, TW_E_NOT_FOUND"},
    });
}

TEST_F(ToolTest, RecordingsPlayAndDescribeThemselves) {
    const std::string path = scratch("take.wav");
    const Result rec = runTool({"record", path, "-s", "0.3", "-c", "1"}, "rec");
    EXPECT_EQ(rec.status, 0) << rec.err;
    // Messages go to standard error; progress only to a terminal.
    EXPECT_TRUE(rec.out.empty()) << rec.out;
    EXPECT_EQ(rec.err.find('\r'), std::string::npos) << rec.err;
    EXPECT_EQ(wavDataBytes(path), 13230 * 2);
    check({
        {{"info", path}, 0, "1 channel, 44100 Hz, 16 bits\n  Frames:    13230\n  Duration:  0.300 s"},
        {{"info", path}, 0, ", 26460 bytes"},
        {{"-q", "play", path}, 0, ""},
        {{"-q", "tone", "1000", "-s", "0.2", "-d", "Output 2"}, 0, ""},
        {{"devices"}, 0, "Virtual Output 2  2         16        8000-48000"},
        {{"devices", "--count"}, 0, "2 2\n"},
    });
}

TEST_F(ToolTest, EveryLibraryCodeIsExplained) {
    // The codes of the public header, each with its text from docs/errors.md.
    std::ifstream header(TONEWELL_HEADER);
    const std::string text((std::istreambuf_iterator<char>(header)), std::istreambuf_iterator<char>());
    std::vector<std::string> args = {"error"};
    std::vector<std::string> names;
    // Lines of the form "    TW_E_NAME = 4822," in the result code enum.
    for (size_t at = text.find("TW_"); at != std::string::npos; at = text.find("TW_", at + 1)) {
        if (text.compare(at, 5, "TW_E_") != 0 && text.compare(at, 5, "TW_W_") != 0) continue;
        const size_t nameEnd = text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ_", at);
        if (text.compare(nameEnd, 3, " = ") != 0) continue;
        const size_t valueEnd = text.find_first_not_of("-0123456789", nameEnd + 3);
        names.push_back(text.substr(at, nameEnd - at));
        args.push_back(text.substr(nameEnd + 3, valueEnd - nameEnd - 3));
    }
    ASSERT_GE(names.size(), 26u);
    const Result r = runTool(args);
    EXPECT_EQ(r.status, 0) << r.err;
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_NE(r.out.find(args[i + 1] + " " + names[i] + ": "), std::string::npos) << names[i];
}

#ifndef _WIN32  // Windows cannot signal another process
TEST_F(ToolTest, AStoppedRecordingIsAValidFile) {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        const std::string tag = "stop" + std::to_string(signal);
        const std::string path = scratch(tag + ".wav");
        ::unlink(path.c_str());
        const pid_t pid = spawnTool({"record", path}, tag);
        ASSERT_GT(pid, 0);
        // Until some sound has reached the file.
        struct stat st {};
        for (int i = 0; i < 200 && (::stat(path.c_str(), &st) != 0 || st.st_size < 20000); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ::kill(pid, signal);
        const Result r = finishProcess(pid, tag);
        EXPECT_EQ(r.status, 128 + signal) << r.err;  // as a shell reports a signal
        EXPECT_GT(wavDataBytes(path), 0);
    }
}
#endif

TEST_F(ToolTest, AClosedPipeEndsARecordingToStandardOutput) {
    int fds[2];
    // Close-on-exec: the tool must hold no end but its standard output.
#ifdef _WIN32
    ASSERT_EQ(::_pipe(fds, 65536, _O_BINARY | _O_NOINHERIT), 0);
#else
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
#endif
    const pid_t pid = spawnTool({"record", "-"}, "pipe", fds[1]);
    ::close(fds[1]);
    ASSERT_GT(pid, 0);
    // The reader takes the header and a little sound, as `head -c` does, and goes.
    std::string head(1000, '\0');
    size_t got = 0;
    while (got < head.size()) {
        const ssize_t n = ::read(fds[0], head.data() + got, head.size() - got);
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fds[0]);
    const Result r = finishProcess(pid, "pipe");
    EXPECT_EQ(r.status, 128 + 13) << r.err;  // SIGPIPE's number, on Windows too
    ASSERT_EQ(got, head.size());
    EXPECT_EQ(head.compare(0, 4, "RIFF"), 0);
    EXPECT_EQ(head.compare(8, 4, "WAVE"), 0);
}

}  // namespace
