#include "platform/File.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tw::platform {

static_assert(sizeof(off_t) == 8, "file offsets must be 64-bit");

int openFile(const char* path, bool writable, FileHandle& out) {
    out = kNoFile;
    // No O_TRUNC: ext4 flushes a file truncated at open when it is closed,
    // which would stall every close of a file the writer just created empty.
    const int flags = writable ? (O_RDWR | O_CREAT | O_CLOEXEC) : (O_RDONLY | O_CLOEXEC);
    int fd;
    do {
        fd = ::open(path, flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return errno;
    struct stat st;
    int error = fstat(fd, &st) != 0 ? errno : 0;
    if (error == 0 && S_ISDIR(st.st_mode)) error = EISDIR;
    if (error != 0) {
        ::close(fd);
        return error;
    }
    out = fd;
    return 0;
}

int closeFile(FileHandle file) {
    return ::close(static_cast<int>(file)) == 0 || errno == EINTR ? 0 : errno;
}

int64_t readFileAt(FileHandle file, void* to, size_t size, int64_t offset, int& error) {
    for (;;) {
        const ssize_t n = ::pread(static_cast<int>(file), to, size, offset);
        if (n >= 0) return n;
        if (errno != EINTR) {
            error = errno;
            return -1;
        }
    }
}

int64_t writeFileAt(FileHandle file, const void* from, size_t size, int64_t offset, int& error) {
    for (;;) {
        const ssize_t n = ::pwrite(static_cast<int>(file), from, size, offset);
        if (n > 0) return n;
        if (n == 0 || errno != EINTR) {
            error = n < 0 ? errno : EIO;
            return -1;
        }
    }
}

int fileSize(FileHandle file, int64_t& size) {
    struct stat st;
    if (fstat(static_cast<int>(file), &st) != 0) return errno;
    size = st.st_size;
    return 0;
}

int truncateFile(FileHandle file, int64_t size) {
    int rc;
    do {
        rc = ::ftruncate(static_cast<int>(file), size);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? 0 : errno;
}

bool reserveFileSpace(FileHandle file, int64_t from, int64_t length) {
    return ::fallocate(static_cast<int>(file), FALLOC_FL_KEEP_SIZE, from, length) == 0;
}

int pathInfo(const char* path, PathInfo& info) {
    struct stat st;
    if (::stat(path, &st) != 0) return errno;
    info.directory = S_ISDIR(st.st_mode);
    info.writable = (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0;
    return 0;
}

int touchFile(const char* path, bool create) {
    std::FILE* f = std::fopen(path, create ? "w" : "r");
    if (f == nullptr) return errno;
    std::fclose(f);
    return 0;
}

char* lastSeparator(char* path) { return std::strrchr(path, '/'); }

}  // namespace tw::platform
