#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

void** newHandle(size_t bytes) {
    auto** handle = static_cast<void**>(std::malloc(sizeof(void*)));
    *handle = bytes > 0 ? std::malloc(bytes) : nullptr;
    return handle;
}

void freeHandle(void** handle) {
    if (handle == nullptr) return;
    std::free(*handle);
    std::free(handle);
}

TwStringHandle makeString(const std::string& text) {
    auto** handle = newHandle(4 + text.size() + 1);
    auto* s = static_cast<TwString*>(*handle);
    s->length = static_cast<int32_t>(text.size());
    std::memcpy(s->text, text.data(), text.size() + 1);
    return reinterpret_cast<TwStringHandle>(handle);
}

std::string scratchPath(const char* what) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/tonewell-fuzz-" + what + "-" + std::to_string(::getpid());
}

bool writeFile(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && written;
}

}  // namespace fuzz
