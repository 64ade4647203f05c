#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "tonewell_music.h"

namespace twm::platform {

bool isDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

bool isRooted(const std::string& path) { return !path.empty() && path[0] == '/'; }

InputFile::~InputFile() {
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

int32_t InputFile::open(const std::string& path, uint64_t maxBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? TWM_E_FILENOTFOUND : TWM_E_BADFILE;
    handle_ = fd;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > maxBytes)
        return TWM_E_BADFILE;
    identity_ = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                 static_cast<uint64_t>(st.st_size),
                 int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec};
    return TWM_OK;
}

int32_t InputFile::readAll(std::vector<uint8_t>& bytes) {
    const uint64_t size = identity_.size;
    bytes.resize(size);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(static_cast<int>(handle_), bytes.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    return done == size ? TWM_OK : TWM_E_BADFILE;
}

}  // namespace twm::platform
