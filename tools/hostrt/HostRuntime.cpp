// One object file: whichever part a program uses, the operations and the
// probe symbol come with it.
#include "hostrt/HostRuntime.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

// What the library binds by name in the main program.
#ifdef _WIN32
#define HOST_SYMBOL __declspec(dllexport)
#else
#define HOST_SYMBOL __attribute__((visibility("default")))
#endif
#define HOST_EXPORT extern "C" HOST_SYMBOL

namespace {

// Every handle's block starts with a hidden size word so tests can check the
// sizes the library asked for; the handle points just past it.
struct BlockHeader {
    size_t size;
    size_t pad;
};

void* allocBlock(size_t bytes) {
    auto* h = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + (bytes ? bytes : 1)));
    if (!h) return nullptr;
    h->size = bytes;
    return h + 1;
}
BlockHeader* headerOf(void* block) { return static_cast<BlockHeader*>(block) - 1; }

std::atomic<int> gFailCount{0};
std::atomic<int32_t> gFailCode{2};
std::atomic<bool> gAlwaysMove{true};
std::atomic<int> gResizeCalls{0};
std::atomic<int> gSizeArrayCalls{0};
std::atomic<int32_t> gLastSizeArrayType{0};

// Registrations, and the procedure calls in progress: a mode-0 call returns
// only once no call of its procedure runs any more on another thread, as a
// host guarantees (on the calling thread it would wait for itself).
struct Call {
    hostrt::Registration reg;
    std::thread::id thread;
};
std::mutex gRegMutex;
// Left alive at exit: a library unloading at exit still unregisters.
std::condition_variable& callEnded() {
    static auto* c = new std::condition_variable();
    return *c;
}
std::vector<hostrt::Registration>& regs() {
    static auto* v = new std::vector<hostrt::Registration>();
    return *v;
}
std::vector<Call>& calling() {
    static auto* v = new std::vector<Call>();
    return *v;
}
bool same(const hostrt::Registration& a, TwCleanupProc proc, void* data) { return a.proc == proc && a.data == data; }

int32_t resize(void** handle, size_t bytes) {
    if (!handle) return 1;
    void* old = *handle;
    size_t oldSize = old ? headerOf(old)->size : 0;
    if (!gAlwaysMove.load() && old) {
        auto* h = static_cast<BlockHeader*>(std::realloc(headerOf(old), sizeof(BlockHeader) + (bytes ? bytes : 1)));
        if (!h) return 2;
        if (bytes > oldSize) std::memset(reinterpret_cast<uint8_t*>(h + 1) + oldSize, 0, bytes - oldSize);
        h->size = bytes;
        *handle = h + 1;
        return 0;
    }
    void* fresh = allocBlock(bytes);
    if (!fresh) return 2;
    if (old) {
        std::memcpy(fresh, old, oldSize < bytes ? oldSize : bytes);
        // Poison the old block before freeing so a stale read is visible even
        // without the sanitizers.
        std::memset(old, 0xA5, oldSize);
        std::free(headerOf(old));
    }
    *handle = fresh;
    return 0;
}

}  // namespace

// ---- The host run-time operations ---------------------------------------------

// The probe symbol by which the library recognises a host program.
extern "C" {
HOST_SYMBOL int32_t gVantorRTVersion = 0x0100;
}

HOST_EXPORT void HostCopyText(char* destination, const char* source) { std::strcpy(destination, source); }

HOST_EXPORT int32_t HostSizeHandle(void** handle, int32_t newSize) {
    gResizeCalls.fetch_add(1);
    if (gFailCount.load() > 0 && gFailCount.fetch_sub(1) > 0) return gFailCode.load();
    if (newSize < 0) return 1;
    return resize(handle, static_cast<size_t>(newSize));
}

HOST_EXPORT int32_t HostSizeArray(int32_t typeCode, int32_t dimensions, void*** arrayHandle, int32_t count) {
    gSizeArrayCalls.fetch_add(1);
    gLastSizeArrayType.store(typeCode);
    if (!arrayHandle || !*arrayHandle || dimensions < 1 || count < 0) return 1;
    size_t bytes = 4 * static_cast<size_t>(dimensions) +
                   static_cast<size_t>(count) * static_cast<size_t>(hostrt::elementSize(static_cast<uint16_t>(typeCode)));
    int32_t r = resize(*arrayHandle, bytes);
    if (r) return r;
    auto* dims = static_cast<int32_t*>(**arrayHandle);
    for (int32_t d = 0; d < dimensions; ++d) dims[d] = (d == dimensions - 1) ? count : (count ? 1 : 0);
    return 0;
}

HOST_EXPORT int32_t HostRegisterCleanup(TwCleanupProc proc, void* data, int32_t mode) {
    std::unique_lock<std::mutex> lock(gRegMutex);
    auto& v = regs();
    if (mode == 0) {
        auto it = std::find_if(v.begin(), v.end(), [&](const auto& r) { return same(r, proc, data); });
        if (it != v.end()) v.erase(it);
        callEnded().wait(lock, [&] {
            return std::none_of(calling().begin(), calling().end(), [&](const Call& c) {
                return same(c.reg, proc, data) && c.thread != std::this_thread::get_id();
            });
        });
        return 0;
    }
    v.push_back({proc, data, mode});
    return 0;
}

namespace hostrt {

int32_t elementSize(uint16_t typeCode) {
    static const int32_t sizes[] = {2, 1, 2, 4, 8, 1, 2, 4, 8, 4, 8};
    return typeCode <= 10 ? sizes[typeCode] : 2;
}

void** newHandle(size_t bytes) {
    auto** h = static_cast<void**>(std::malloc(sizeof(void*)));
    *h = allocBlock(bytes);
    return h;
}

void freeHandle(void** handle) {
    if (!handle) return;
    if (*handle) std::free(headerOf(*handle));
    std::free(handle);
}

size_t blockSize(const void* handle) {
    void* block = *static_cast<void* const*>(handle);
    return block ? headerOf(block)->size : 0;
}

StringPtr makeString(const std::string& text) {
    auto** h = newHandle(4 + text.size() + 1);
    auto* s = static_cast<TwString*>(*h);
    s->length = static_cast<int32_t>(text.size());
    std::memcpy(s->text, text.data(), text.size());
    return StringPtr(reinterpret_cast<TwString**>(h));
}

std::string readString(TwStringHandle handle) {
    if (!handle || !*handle) return {};
    return std::string((*handle)->text, static_cast<size_t>((*handle)->length));
}

ArrayPtr makeInt32Array(const std::vector<int32_t>& values) {
    auto** h = newHandle(4 + 4 * values.size());
    auto* p = static_cast<int32_t*>(*h);
    p[0] = static_cast<int32_t>(values.size());
    if (!values.empty()) std::memcpy(p + 1, values.data(), 4 * values.size());
    return ArrayPtr(reinterpret_cast<TwArray**>(h));
}

std::vector<int32_t> readInt32Array(TwArrayHandle handle) {
    if (!handle || !*handle) return {};
    const auto* p = reinterpret_cast<const int32_t*>(*handle);
    return std::vector<int32_t>(p + 1, p + 1 + p[0]);
}

ArrayPtr makeArray2D(uint16_t typeCode, int32_t r, int32_t c) {
    size_t bytes = 8 + static_cast<size_t>(r) * static_cast<size_t>(c) * static_cast<size_t>(elementSize(typeCode));
    auto** h = newHandle(bytes);
    auto* p = static_cast<int32_t*>(*h);
    p[0] = r;
    p[1] = c;
    return ArrayPtr(reinterpret_cast<TwArray**>(h));
}

int32_t rows(TwArrayHandle handle) { return (*handle)->dims[0]; }
int32_t cols(TwArrayHandle handle) { return reinterpret_cast<const int32_t*>(*handle)[1]; }

void failNextResizes(int count, int32_t code) {
    gFailCode.store(code);
    gFailCount.store(count);
}
void setAlwaysMove(bool on) { gAlwaysMove.store(on); }
int resizeCalls() { return gResizeCalls.load(); }
int sizeArrayCalls() { return gSizeArrayCalls.load(); }
int32_t lastSizeArrayType() { return gLastSizeArrayType.load(); }

std::vector<Registration> registrations() {
    std::lock_guard<std::mutex> lock(gRegMutex);
    return regs();
}
size_t registrationCount() {
    std::lock_guard<std::mutex> lock(gRegMutex);
    return regs().size();
}
std::vector<int32_t> runCleanups(const std::function<bool(const Registration&)>& select) {
    std::vector<Registration> copy = registrations();
    std::vector<int32_t> results;
    for (const auto& r : copy) {
        {
            // Only while still registered; the call counts as running from here.
            std::lock_guard<std::mutex> lock(gRegMutex);
            auto& v = regs();
            if (std::none_of(v.begin(), v.end(), [&](const auto& x) { return same(x, r.proc, r.data); })) continue;
            if (select && !select(r)) continue;
            calling().push_back({r, std::this_thread::get_id()});
        }
        results.push_back(r.proc(r.data));
        {
            std::lock_guard<std::mutex> lock(gRegMutex);
            auto& c = calling();
            c.erase(std::find_if(c.begin(), c.end(), [&](const Call& x) {
                return same(x.reg, r.proc, r.data) && x.thread == std::this_thread::get_id();
            }));
        }
        callEnded().notify_all();
    }
    return results;
}
void clearRegistrations() {
    std::lock_guard<std::mutex> lock(gRegMutex);
    regs().clear();
}

}  // namespace hostrt
