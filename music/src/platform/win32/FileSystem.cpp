#include "platform/FileSystem.h"

#include <windows.h>

#include <algorithm>

#include "platform/win32/WidePath.h"
#include "tonewell_music.h"

namespace twm::platform {

namespace {

// Empty for text that is not UTF-8 or holds a NUL, which would cut the name
// short: such text names no file.
std::wstring widePath(const std::string& path) {
    return path.find('\0') == std::string::npos ? tw::platform::widePath(path.c_str()) : std::wstring();
}

DWORD attributesOf(const std::string& path) {
    const std::wstring wide = widePath(path);
    return wide.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(wide.c_str());
}

HANDLE native(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

uint64_t joined(DWORD high, DWORD low) { return uint64_t{high} << 32 | low; }

// FILETIME counts 100 ns from 1601; stat's times count ns from 1970.
int64_t unixNs(const FILETIME& time) {
    constexpr uint64_t kFrom1601To1970 = 116444736000000000u;
    return static_cast<int64_t>((joined(time.dwHighDateTime, time.dwLowDateTime) - kFrom1601To1970) * 100);
}

}  // namespace

bool isDirectory(const std::string& path) {
    const DWORD attributes = attributesOf(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool exists(const std::string& path) { return attributesOf(path) != INVALID_FILE_ATTRIBUTES; }

// "\dir", "/dir", "C:..." and "\\server\share" all name their own root.
bool isRooted(const std::string& path) {
    if (path.empty()) return false;
    if (path[0] == '/' || path[0] == '\\') return true;
    const char drive = static_cast<char>(path[0] | 0x20);
    return path.size() >= 2 && drive >= 'a' && drive <= 'z' && path[1] == ':';
}

InputFile::~InputFile() {
    if (handle_ != -1) CloseHandle(native(handle_));
}

int32_t InputFile::open(const std::string& path, uint64_t maxBytes) {
    // Text that is not UTF-8 names no file.
    const std::wstring wide = widePath(path);
    if (wide.empty()) return TWM_E_FILENOTFOUND;
    // Others may go on writing, renaming or deleting it, as on other systems.
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE file =
        CreateFileW(wide.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME: return TWM_E_FILENOTFOUND;
        default: return TWM_E_BADFILE;  // a directory lands here too
        }
    }
    handle_ = reinterpret_cast<intptr_t>(file);
    // Devices (NUL, CON) and pipes open too; only files on disk are read.
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return TWM_E_BADFILE;
    const uint64_t size = joined(info.nFileSizeHigh, info.nFileSizeLow);
    if (size > maxBytes) return TWM_E_BADFILE;
    // The volume's serial number and the file's index stand for device and inode.
    identity_ = {info.dwVolumeSerialNumber, joined(info.nFileIndexHigh, info.nFileIndexLow), size,
                 unixNs(info.ftLastWriteTime)};
    return TWM_OK;
}

int32_t InputFile::readAll(std::vector<uint8_t>& bytes) {
    const uint64_t size = identity_.size;
    bytes.resize(size);
    size_t done = 0;
    while (done < size) {
        const DWORD want = static_cast<DWORD>(std::min<uint64_t>(size - done, DWORD{1} << 30));
        DWORD got = 0;
        if (!ReadFile(native(handle_), bytes.data() + done, want, &got, nullptr) || got == 0) break;
        done += got;
    }
    bytes.resize(done);
    return done == size ? TWM_OK : TWM_E_BADFILE;
}

}  // namespace twm::platform
