// The host run-time this program provides to the library: handles are
// malloc'd blocks behind a pointer, clean-up registrations are kept and run
// when the program ends.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "HostRuntime.h"

#define HOST_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" {
__attribute__((visibility("default"))) int32_t gVantorRTVersion = 0x0100;
}

namespace {
struct Registration {
    TwCleanupProc proc;
    void* data;
};
std::mutex gMutex;
std::vector<Registration>& registrations() {
    static auto* v = new std::vector<Registration>();
    return *v;
}
}  // namespace

HOST_EXPORT void HostCopyText(char* destination, const char* source) { std::strcpy(destination, source); }

HOST_EXPORT int32_t HostSizeHandle(void** handle, int32_t newSize) {
    if (!handle || newSize < 0) return 1;
    void* block = std::realloc(*handle, newSize ? static_cast<size_t>(newSize) : 1);
    if (!block) return 2;
    *handle = block;
    return 0;
}

HOST_EXPORT int32_t HostSizeArray(int32_t typeCode, int32_t dimensions, void*** arrayHandle, int32_t count) {
    if (!arrayHandle || !*arrayHandle || dimensions < 1 || count < 0) return 1;
    size_t element = cli::elementSize(static_cast<uint16_t>(typeCode));
    int32_t r = HostSizeHandle(*arrayHandle, static_cast<int32_t>(4 * dimensions + count * element));
    if (r) return r;
    auto* dims = static_cast<int32_t*>(**arrayHandle);
    for (int32_t d = 0; d < dimensions; ++d) dims[d] = (d == dimensions - 1) ? count : (count ? 1 : 0);
    return 0;
}

HOST_EXPORT int32_t HostRegisterCleanup(TwCleanupProc proc, void* data, int32_t mode) {
    std::lock_guard<std::mutex> lock(gMutex);
    auto& v = registrations();
    if (mode == 0) {
        for (auto it = v.begin(); it != v.end(); ++it) {
            if (it->proc == proc && it->data == data) {
                v.erase(it);
                break;
            }
        }
    } else {
        v.push_back({proc, data});
    }
    return 0;
}

namespace cli {

size_t elementSize(uint16_t typeCode) {
    switch (typeCode) {
        case TW_TYPE_I8: case TW_TYPE_U8: return 1;
        case TW_TYPE_I32: case TW_TYPE_U32: case TW_TYPE_F32: return 4;
        case TW_TYPE_I64: case TW_TYPE_U64: case TW_TYPE_F64: return 8;
        default: return 2;
    }
}

void** newHandle(size_t bytes) {
    auto** h = static_cast<void**>(std::malloc(sizeof(void*)));
    *h = std::calloc(1, bytes ? bytes : 1);
    return h;
}

void freeHandle(void** handle) {
    if (!handle) return;
    std::free(*handle);
    std::free(handle);
}

HostArray::HostArray(uint16_t type, int32_t rows, int32_t cols) : type_(type) {
    handle_ = reinterpret_cast<TwArrayHandle>(newHandle(8 + elementSize(type) * rows * cols));
    auto* dims = reinterpret_cast<int32_t*>(*handle_);
    dims[0] = rows;
    dims[1] = cols;
}
HostArray::~HostArray() { freeHandle(reinterpret_cast<void**>(handle_)); }
int32_t HostArray::rows() const { return reinterpret_cast<const int32_t*>(*handle_)[0]; }
int32_t HostArray::cols() const { return reinterpret_cast<const int32_t*>(*handle_)[1]; }
uint8_t* HostArray::elements() const { return reinterpret_cast<uint8_t*>(*handle_) + 8; }

HostString::HostString(const std::string& text) {
    handle_ = reinterpret_cast<TwStringHandle>(newHandle(4 + text.size() + 1));
    (*handle_)->length = static_cast<int32_t>(text.size());
    std::memcpy((*handle_)->text, text.data(), text.size());
}
HostString::~HostString() { freeHandle(reinterpret_cast<void**>(handle_)); }
std::string HostString::str() const { return std::string((*handle_)->text, (*handle_)->length); }

IntArray::IntArray() {
    handle_ = reinterpret_cast<TwArrayHandle>(newHandle(4));
}
IntArray::~IntArray() { freeHandle(reinterpret_cast<void**>(handle_)); }
std::vector<int32_t> IntArray::values() const {
    const auto* p = reinterpret_cast<const int32_t*>(*handle_);
    return std::vector<int32_t>(p + 1, p + 1 + p[0]);
}

void runCleanups() {
    std::vector<Registration> copy;
    {
        std::lock_guard<std::mutex> lock(gMutex);
        copy = registrations();
    }
    for (const auto& r : copy) r.proc(r.data);
}

}  // namespace cli
