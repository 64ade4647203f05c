#include "SoundModule.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <tuple>

#include "host/TestHost.h"
#include "host/VirtualDriver.h"
#include "platform/Module.h"

namespace soundtest {

namespace {

template <typename T>
bool lookup(void* handle, const char* name, T& out) {
    out = reinterpret_cast<T>(tw::platform::findSymbol(handle, name));
    return out != nullptr;
}

}  // namespace

bool SoundModule::resolve() {
    return handle != nullptr && lookup(handle, TWS_ENTRY_SOUND_CREATE, soundCreate) &&
           lookup(handle, TWS_ENTRY_CAPTURE_CREATE, captureCreate) &&
           lookup(handle, TWS_ENTRY_SOUND_ENUMERATE, soundEnumerate) &&
           lookup(handle, TWS_ENTRY_CAPTURE_ENUMERATE, captureEnumerate);
}

SoundModule& module() {
    static SoundModule* shared = [] {
        // The suite picks its driver itself rather than trust the runner's environment.
        testhost::setEnv("TONEWELL_SOUND_DRIVER", "virtual");
        auto* m = new SoundModule{testhost::virtualDriver()};
        if (!m->resolve() || m->tws_virtual_reset == nullptr) {
            ADD_FAILURE() << "sound module not loadable: " << testhost::soundModulePath();
            std::abort();
        }
        return m;
    }();
    return *shared;
}

SoundModule loadCopy(const char* driver) {
#ifndef _WIN32
    // Unloading the last copy would unload the sound libraries it links;
    // ThreadSanitizer's suppressions name those libraries and refuse to see
    // them go. Keep them resident for the whole test program.
    static const bool pinned = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_NODELETE) != nullptr;
    (void)pinned;
#endif
    static std::atomic<int> counter{0};
    const std::string dir = testhost::scratchDir() + "/copy-" + std::to_string(counter++);
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/" + TWS_MODULE_FILE;
    std::filesystem::copy_file(testhost::soundModulePath(), path, std::filesystem::copy_options::overwrite_existing);
    const std::string saved = std::getenv("TONEWELL_SOUND_DRIVER");  // module() set it
    testhost::setEnv("TONEWELL_SOUND_DRIVER", driver);
    SoundModule copy;
    copy.handle = tw::platform::loadModule(path.c_str());
    testhost::setEnv("TONEWELL_SOUND_DRIVER", saved.c_str());
    EXPECT_TRUE(copy.resolve()) << path;
    return copy;
}

std::vector<Enumerated> enumerate(bool capture, tws_result* result) {
    std::vector<Enumerated> list;
    auto callback = [](const tws_guid* guid, const char* description, const char*, void* context) -> int32_t {
        static_cast<std::vector<Enumerated>*>(context)->push_back({guid != nullptr, guid ? *guid : tws_guid{}, description});
        return 1;
    };
    auto& m = module();
    tws_result r = capture ? m.captureEnumerate(callback, &list) : m.soundEnumerate(callback, &list);
    if (result) *result = r;
    return list;
}

void writeRing(tws_buffer* b, const void* data, uint32_t bytes) {
    void* p = nullptr;
    uint32_t n = 0;
    ASSERT_EQ(b->vtbl->lock(b, 0, bytes, &p, &n, nullptr, nullptr, 0), TWS_OK);
    std::memcpy(p, data, n);
    EXPECT_EQ(b->vtbl->unlock(b, p, n, nullptr, 0), TWS_OK);
}

uint32_t tapOf(tws_buffer* b) {
    const int64_t index = module().tws_virtual_output_index(b);
    EXPECT_GE(index, 0);
    return static_cast<uint32_t>(index);
}

void SoundTest::SetUp() {
    m.tws_virtual_reset();
    m.tws_virtual_set_manual_clock(1);
}

void SoundTest::TearDown() {
    for (auto* b : buffers_) b->vtbl->release(b);
    for (auto* b : captureBuffers_) b->vtbl->release(b);
    for (auto* s : sounds_) s->vtbl->release(s);
    for (auto* c : captures_) c->vtbl->release(c);
    m.tws_virtual_flush();
    tws_virtual_counts c{};
    m.tws_virtual_live_counts(&c);
    EXPECT_EQ(std::tuple(c.sounds, c.captures, c.buffers, c.capture_buffers, c.threads), std::tuple(0u, 0u, 0u, 0u, 0u))
        << "live sounds, captures, buffers, capture buffers and clock threads";
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
    const tws_buffer_desc desc{sizeof desc, flags, bytes, 0, &format.Format, {}};
    *out = nullptr;
    tws_result r = on->vtbl->create_buffer(on, &desc, out);
    if (*out) buffers_.push_back(*out);
    return r;
}

tws_result SoundTest::makeCapture(const tws_wave_format_extensible& format, uint32_t bytes,
                                  tws_capture_buffer** out, tws_capture* on) {
    if (on == nullptr) on = captures_.empty() ? capture() : captures_.front();
    const tws_capture_buffer_desc desc{sizeof desc, 0, bytes, 0, &format.Format, 0, nullptr};
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

}  // namespace soundtest
