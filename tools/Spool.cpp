#include "Spool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <direct.h>
#include <filesystem>
#endif

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "Failure.h"
#include "Signals.h"

namespace cli {

namespace {

#ifdef _WIN32
constexpr int kBinary = O_BINARY;
#else
constexpr int kBinary = 0;
#endif

std::string makeTempDir() {
#ifdef _WIN32
    std::error_code error;
    std::string pattern = (std::filesystem::temp_directory_path(error) / "tonewell.XXXXXX").string();
    if (_mktemp_s(pattern.data(), pattern.size() + 1) != 0 || ::_mkdir(pattern.c_str()) != 0)
#else
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tonewell.XXXXXX";
    if (!::mkdtemp(pattern.data()))
#endif
        throw ToolError("cannot make a temporary folder: " + std::string(std::strerror(errno)));
    return pattern;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

InputFile::InputFile(const std::string& name) : path_(name), display_(name) {
    if (name != "-") {
        // The music engine looks for files a song names beside it: a full path.
        char full[PATH_MAX];
#ifdef _WIN32
        if (::_fullpath(full, name.c_str(), sizeof full)) path_ = full;
#else
        if (::realpath(name.c_str(), full)) path_ = full;
#endif
        return;
    }
    display_ = "standard input";
#ifndef _WIN32
    // Windows has no path for it: there it is copied like a pipe.
    struct stat st;
    if (::fstat(0, &st) == 0 && S_ISREG(st.st_mode)) {
        path_ = "/proc/self/fd/0";
        return;
    }
#endif
    tempDir_ = makeTempDir();
    path_ = tempDir_ + "/stdin";
    const int out = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | kBinary, 0600);
    if (out < 0) throw ToolError("cannot copy standard input: " + std::string(std::strerror(errno)));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(0, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR && !stopRequested()) continue;
            ::close(out);
            if (stopRequested()) return;
            throw ToolError("cannot read standard input: " + std::string(std::strerror(errno)));
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
            if (w < 0) {
                ::close(out);
                throw ToolError("cannot copy standard input: " + std::string(std::strerror(errno)));
            }
            done += w;
        }
    }
    ::close(out);
}

InputFile::~InputFile() {
    if (tempDir_.empty()) return;
    ::unlink((tempDir_ + "/stdin").c_str());
    ::unlink((tempDir_ + "/stdin.mid").c_str());
    ::unlink((tempDir_ + "/input.mid").c_str());
    ::rmdir(tempDir_.c_str());
}

void InputFile::ensureSuffix(const std::string& suffix) {
    std::string lowered = path_;
    for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (endsWith(lowered, suffix)) return;
    if (tempDir_.empty()) tempDir_ = makeTempDir();
    const std::string link = tempDir_ + (path_ == tempDir_ + "/stdin" ? "/stdin" : "/input") + suffix;
#ifdef _WIN32
    // Links need privileges there; a copy names it as well.
    std::error_code error;
    if (!std::filesystem::copy_file(path_, link, error))
#else
    if (::symlink(path_.c_str(), link.c_str()) != 0)
#endif
        throw ToolError("cannot name the MIDI file for the music engine: " + std::string(std::strerror(errno)));
    path_ = link;
}

std::string leadingBytes(const std::string& path, size_t count) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(count, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

bool looksLikeMidi(const std::string& path) {
    const std::string head = leadingBytes(path, 12);
    return head.compare(0, 4, "MThd") == 0 || (head.size() == 12 && head.compare(0, 4, "RIFF") == 0 &&
                                               head.compare(8, 4, "RMID") == 0);
}

}  // namespace cli
