// What the loader needs of the file system, once per system: posix/ and
// win32/. Paths are UTF-8 text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace twm::platform {

// Tells whether a file read earlier is still the same: a cache key.
struct FileIdentity {
    uint64_t device = 0, inode = 0, size = 0;
    int64_t modifiedNs = 0;
    bool operator==(const FileIdentity&) const = default;
};

bool isDirectory(const std::string& path);
bool exists(const std::string& path);
// Whether a name starts at a root of its own (and so is never looked up in
// the search directory).
bool isRooted(const std::string& path);

// A regular file open for reading; closed with the object.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // Opens without blocking (a named pipe cannot hold the caller).
    // TWM_E_FILENOTFOUND when nothing has that name; TWM_E_BADFILE when it
    // cannot be opened, is no regular file or is larger than maxBytes.
    int32_t open(const std::string& path, uint64_t maxBytes);
    const FileIdentity& identity() const { return identity_; }
    // All identity().size bytes: TWM_OK, or TWM_E_BADFILE when fewer came.
    int32_t readAll(std::vector<uint8_t>& bytes);

private:
    // A descriptor or a HANDLE: -1 is "none" to both.
    intptr_t handle_ = -1;
    FileIdentity identity_;
};

}  // namespace twm::platform
