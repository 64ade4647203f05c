// Files over Win32 handles; positioned transfers through OVERLAPPED offsets.
#include "platform/File.h"

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/win32/WidePath.h"

namespace tw::platform {

namespace {

int errnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME: return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT: return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        case ERROR_FILE_TOO_LARGE: return EFBIG;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return ENOMEM;
        case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
        case ERROR_DIRECTORY: return EISDIR;
        default: return EIO;
    }
}

HANDLE native(FileHandle file) {
    return reinterpret_cast<HANDLE>(file);
}

OVERLAPPED at(int64_t offset) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset);
    position.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    return position;
}

// One transfer is at most what a DWORD counts.
DWORD chunk(size_t size) {
    return static_cast<DWORD>(size < 0x40000000u ? size : 0x40000000u);
}

}  // namespace

int openFile(const char* path, bool writable, FileHandle& out) {
    out = kNoFile;
    const std::wstring wide = widePath(path);
    if (wide.empty()) return ENOENT;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return EISDIR;
    HANDLE handle = CreateFileW(wide.c_str(), writable ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                writable ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return errnoOf(GetLastError());
    out = reinterpret_cast<FileHandle>(handle);
    return 0;
}

int closeFile(FileHandle file) {
    return CloseHandle(native(file)) ? 0 : errnoOf(GetLastError());
}

int64_t readFileAt(FileHandle file, void* to, size_t size, int64_t offset, int& error) {
    OVERLAPPED position = at(offset);
    DWORD done = 0;
    if (ReadFile(native(file), to, chunk(size), &done, &position)) return done;
    const DWORD code = GetLastError();
    if (code == ERROR_HANDLE_EOF) return 0;
    error = errnoOf(code);
    return -1;
}

int64_t writeFileAt(FileHandle file, const void* from, size_t size, int64_t offset, int& error) {
    OVERLAPPED position = at(offset);
    DWORD done = 0;
    if (WriteFile(native(file), from, chunk(size), &done, &position) && done > 0) return done;
    error = done == 0 && GetLastError() == ERROR_SUCCESS ? EIO : errnoOf(GetLastError());
    return -1;
}

int fileSize(FileHandle file, int64_t& size) {
    LARGE_INTEGER value;
    if (!GetFileSizeEx(native(file), &value)) return errnoOf(GetLastError());
    size = value.QuadPart;
    return 0;
}

int truncateFile(FileHandle file, int64_t size) {
    FILE_END_OF_FILE_INFO end;
    end.EndOfFile.QuadPart = size;
    return SetFileInformationByHandle(native(file), FileEndOfFileInfo, &end, sizeof end)
               ? 0
               : errnoOf(GetLastError());
}

bool reserveFileSpace(FileHandle, int64_t, int64_t) {
    // NTFS extends files cheaply enough; nothing to reserve.
    return false;
}

int pathInfo(const char* path, PathInfo& info) {
    const std::wstring wide = widePath(path);
    if (wide.empty()) return ENOENT;
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return errnoOf(GetLastError());
    info.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.writable = (attributes & FILE_ATTRIBUTE_READONLY) == 0;
    return 0;
}

int touchFile(const char* path, bool create) {
    const std::wstring wide = widePath(path);
    if (wide.empty()) return ENOENT;
    HANDLE handle = CreateFileW(wide.c_str(), create ? GENERIC_WRITE : GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                create ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return errnoOf(GetLastError());
    CloseHandle(handle);
    return 0;
}

char* lastSeparator(char* path) {
    char* slash = std::strrchr(path, '/');
    char* backslash = std::strrchr(path, '\\');
    if (!slash || !backslash) return slash ? slash : backslash;
    return backslash > slash ? backslash : slash;
}

}  // namespace tw::platform
