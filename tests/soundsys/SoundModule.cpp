#include "SoundModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace soundtest {

namespace {

std::string libDir() {
    const char* dir = std::getenv("TONEWELL_LIB_DIR");
    return dir ? dir : "build/lib";
}

template <typename T>
bool lookup(void* handle, const char* name, T& out) {
    out = reinterpret_cast<T>(::dlsym(handle, name));
    return out != nullptr;
}

}  // namespace

bool SoundModule::resolve() {
    bool ok = handle != nullptr;
    ok = ok && lookup(handle, TWS_ENTRY_SOUND_CREATE, soundCreate);
    ok = ok && lookup(handle, TWS_ENTRY_CAPTURE_CREATE, captureCreate);
    ok = ok && lookup(handle, TWS_ENTRY_SOUND_ENUMERATE, soundEnumerate);
    ok = ok && lookup(handle, TWS_ENTRY_CAPTURE_ENUMERATE, captureEnumerate);
#define TWS_CONTROL(name) ok = ok && lookup(handle, #name, name);
#include "tonewell_sound_controls.inc"
#undef TWS_CONTROL
    return ok;
}

SoundModule& module() {
    static SoundModule* shared = [] {
        // The suite picks its driver itself rather than trust the runner's environment.
        ::setenv("TONEWELL_SOUND_DRIVER", "virtual", 1);
        auto* m = new SoundModule();
        m->handle = ::dlopen((libDir() + "/" + TWS_MODULE_FILE).c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!m->resolve()) {
            ADD_FAILURE() << "sound module not loadable: " << ::dlerror();
            std::abort();
        }
        return m;
    }();
    return *shared;
}

std::string scratchDir() {
    static std::string dir = [] {
        const char* base = std::getenv("TONEWELL_TEST_TMP");
        std::string d = std::string(base ? base : "/tmp") + "/soundsys-" + std::to_string(::getpid());
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

SoundModule loadCopy(const char* driver) {
    // Unloading the last copy would unload the sound libraries it links;
    // ThreadSanitizer's suppressions name those libraries and refuse to see
    // them go. Keep them resident for the whole test program.
    static const bool pinned = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_NODELETE) != nullptr;
    (void)pinned;
    static std::atomic<int> counter{0};
    std::string dir = scratchDir() + "/copy-" + std::to_string(counter++);
    std::filesystem::create_directories(dir);
    std::string path = dir + "/" + TWS_MODULE_FILE;
    std::filesystem::copy_file(libDir() + "/" + TWS_MODULE_FILE, path,
                               std::filesystem::copy_options::overwrite_existing);
    const char* old = std::getenv("TONEWELL_SOUND_DRIVER");
    std::string saved = old ? old : "";
    if (driver) ::setenv("TONEWELL_SOUND_DRIVER", driver, 1);
    else ::unsetenv("TONEWELL_SOUND_DRIVER");
    SoundModule copy;
    copy.handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (old) ::setenv("TONEWELL_SOUND_DRIVER", saved.c_str(), 1);
    else ::unsetenv("TONEWELL_SOUND_DRIVER");
    EXPECT_TRUE(copy.resolve()) << ::dlerror();
    return copy;
}

void unloadCopy(SoundModule& copy) {
    if (copy.handle) ::dlclose(copy.handle);
    copy = SoundModule{};
}

bool sameGuid(const tws_guid& a, const tws_guid& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::vector<Enumerated> enumerate(bool capture, tws_result* result) {
    std::vector<Enumerated> list;
    auto callback = [](const tws_guid* guid, const char* description, const char*, void* context) -> int32_t {
        auto* out = static_cast<std::vector<Enumerated>*>(context);
        out->push_back({guid != nullptr, guid ? *guid : tws_guid{}, description});
        return 1;
    };
    auto& m = module();
    tws_result r = capture ? m.captureEnumerate(callback, &list) : m.soundEnumerate(callback, &list);
    if (result) *result = r;
    return list;
}

std::vector<uint8_t> readTap(uint32_t index) {
    tws_virtual_tap info{};
    if (module().tws_virtual_tap_info(index, &info) != TWS_OK) return {};
    std::vector<uint8_t> bytes(info.kept);
    int64_t n = module().tws_virtual_tap_read(index, 0, bytes.data(), bytes.size());
    bytes.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return bytes;
}

void SoundTest::SetUp() {
    m.tws_virtual_reset();
    m.tws_virtual_set_manual_clock(1);
}

void SoundTest::TearDown() {
    releaseAll();
    m.tws_virtual_flush();
    tws_virtual_counts counts{};
    m.tws_virtual_live_counts(&counts);
    EXPECT_EQ(counts.sounds, 0u);
    EXPECT_EQ(counts.captures, 0u);
    EXPECT_EQ(counts.buffers, 0u);
    EXPECT_EQ(counts.capture_buffers, 0u);
    EXPECT_EQ(counts.threads, 0u);
    m.tws_virtual_reset();
}

tws_sound* SoundTest::sound(const tws_guid* device) {
    tws_sound* s = nullptr;
    EXPECT_EQ(m.soundCreate(device, &s), TWS_OK);
    if (s) sounds_.push_back(s);
    return s;
}

tws_capture* SoundTest::capture(const tws_guid* device) {
    tws_capture* c = nullptr;
    EXPECT_EQ(m.captureCreate(device, &c), TWS_OK);
    if (c) captures_.push_back(c);
    return c;
}

tws_result SoundTest::makeBuffer(const tws_wave_format_extensible& format, uint32_t bytes,
                                 tws_buffer** out, tws_sound* on, uint32_t flags) {
    if (on == nullptr) on = sounds_.empty() ? sound() : sounds_.front();
    tws_buffer_desc desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = flags;
    desc.dwBufferBytes = bytes;
    desc.lpwfxFormat = &format.Format;
    *out = nullptr;
    tws_result r = on->vtbl->create_buffer(on, &desc, out);
    if (*out) buffers_.push_back(*out);
    return r;
}

tws_result SoundTest::makeCapture(const tws_wave_format_extensible& format, uint32_t bytes,
                                  tws_capture_buffer** out, tws_capture* on) {
    if (on == nullptr) on = captures_.empty() ? capture() : captures_.front();
    tws_capture_buffer_desc desc{};
    desc.dwSize = sizeof desc;
    desc.dwBufferBytes = bytes;
    desc.lpwfxFormat = &format.Format;
    *out = nullptr;
    tws_result r = on->vtbl->create_buffer(on, &desc, out);
    if (*out) captureBuffers_.push_back(*out);
    return r;
}

void SoundTest::forget(void* object) {
    std::erase(buffers_, static_cast<tws_buffer*>(object));
    std::erase(captureBuffers_, static_cast<tws_capture_buffer*>(object));
    std::erase(sounds_, static_cast<tws_sound*>(object));
    std::erase(captures_, static_cast<tws_capture*>(object));
}

void SoundTest::releaseAll() {
    for (auto* b : buffers_) b->vtbl->release(b);
    for (auto* b : captureBuffers_) b->vtbl->release(b);
    for (auto* s : sounds_) s->vtbl->release(s);
    for (auto* c : captures_) c->vtbl->release(c);
    buffers_.clear();
    captureBuffers_.clear();
    sounds_.clear();
    captures_.clear();
}

}  // namespace soundtest
