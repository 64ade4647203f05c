// Plain files addressed by offset, for the RIFF layer. Results are errno
// values on every system, so callers map one set of codes. Paths are UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tw::platform {

using FileHandle = intptr_t;
inline constexpr FileHandle kNoFile = -1;

// Opens for reading, or for reading and writing, creating a missing file
// (an existing one keeps its bytes). 0 or the errno; EISDIR for a directory.
int openFile(const char* path, bool writable, FileHandle& out);
// 0 or the errno; the handle is gone either way.
int closeFile(FileHandle file);
// Bytes moved (0 at the end of the file) or -1 with `error` set.
int64_t readFileAt(FileHandle file, void* to, size_t size, int64_t offset, int& error);
int64_t writeFileAt(FileHandle file, const void* from, size_t size, int64_t offset, int& error);
int fileSize(FileHandle file, int64_t& size);
int truncateFile(FileHandle file, int64_t size);
// Reserves space without changing the size; a hint that may fail.
bool reserveFileSpace(FileHandle file, int64_t from, int64_t length);

struct PathInfo {
    bool directory = false;
    bool writable = false;
};
// 0 or the errno (ENOENT when nothing is there).
int pathInfo(const char* path, PathInfo& info);
// Opens and closes the file once, creating it when `create`; 0 or the errno.
int touchFile(const char* path, bool create);
// The last directory separator in a path ('/', and on Windows '\' too), or null.
char* lastSeparator(char* path);

}  // namespace tw::platform
