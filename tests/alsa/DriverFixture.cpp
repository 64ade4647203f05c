#include "DriverFixture.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace alsatest {

void DriverTest::SetUp() {
    REQUIRE_SOUND_SERVER();
    ASSERT_EQ(module().soundCreate(nullptr, &sound_), TWS_OK);
    ASSERT_EQ(module().captureCreate(nullptr, &capture_), TWS_OK);
}

void DriverTest::TearDown() {
    for (auto* b : buffers_) b->vtbl->release(b);
    if (monitor_) monitor_->vtbl->release(monitor_);
    if (sound_) sound_->vtbl->release(sound_);
    if (capture_) capture_->vtbl->release(capture_);
}

tws_buffer* DriverTest::output(const tws_wave_format_extensible& format, const void* data,
                               uint32_t bytes) {
    tws_buffer_desc desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = kBufferFlags;
    desc.dwBufferBytes = bytes;
    desc.lpwfxFormat = &format.Format;
    tws_buffer* b = nullptr;
    EXPECT_EQ(sound_->vtbl->create_buffer(sound_, &desc, &b), TWS_OK);
    if (b == nullptr) return nullptr;
    buffers_.push_back(b);
    void* p1 = nullptr;
    uint32_t n1 = 0;
    EXPECT_EQ(b->vtbl->lock(b, 0, bytes, &p1, &n1, nullptr, nullptr, TWS_BLOCK_ENTIREBUFFER), TWS_OK);
    std::memcpy(p1, data, n1);
    EXPECT_EQ(b->vtbl->unlock(b, p1, n1, nullptr, 0), TWS_OK);
    return b;
}

tws_buffer* DriverTest::toneBuffer(double frequency, uint32_t frames, double amplitude) {
    auto samples = sine(frequency, kRate, frames, 2, amplitude);
    auto format = makeFormat(2, kRate, 16);
    return output(format, samples.data(), static_cast<uint32_t>(samples.size() * 2));
}

tws_capture_buffer* DriverTest::monitor(uint32_t frames, bool looping) {
    auto format = makeFormat(2, kRate, 16);
    tws_capture_buffer_desc desc{};
    desc.dwSize = sizeof desc;
    desc.dwBufferBytes = frames * 4;
    desc.lpwfxFormat = &format.Format;
    EXPECT_EQ(capture_->vtbl->create_buffer(capture_, &desc, &monitor_), TWS_OK);
    if (monitor_ != nullptr) {
        EXPECT_EQ(monitor_->vtbl->start(monitor_, looping ? TWS_CBSTART_LOOPING : 0), TWS_OK);
    }
    return monitor_;
}

uint32_t DriverTest::readCursor() {
    uint32_t capture = 0, read = 0;
    EXPECT_EQ(monitor_->vtbl->get_current_position(monitor_, &capture, &read), TWS_OK);
    return read;
}

uint32_t DriverTest::monitorBytes() {
    void* p1 = nullptr;
    uint32_t bytes = 0;
    EXPECT_EQ(monitor_->vtbl->lock(monitor_, 0, 0, &p1, &bytes, nullptr, nullptr,
                                   TWS_CBLOCK_ENTIREBUFFER),
              TWS_OK);
    monitor_->vtbl->unlock(monitor_, p1, bytes, nullptr, 0);
    return bytes;
}

std::vector<int16_t> DriverTest::capturedBetween(uint32_t fromByte, uint32_t toByte) {
    const uint32_t ring = monitorBytes();
    if (ring == 0) return {};  // the lock failed and said so
    const uint32_t bytes = (toByte + ring - fromByte) % ring;
    std::vector<int16_t> out(bytes / 2);
    if (bytes == 0) return out;
    void* p1 = nullptr;
    void* p2 = nullptr;
    uint32_t n1 = 0, n2 = 0;
    EXPECT_EQ(monitor_->vtbl->lock(monitor_, fromByte, bytes, &p1, &n1, &p2, &n2, 0), TWS_OK);
    std::memcpy(out.data(), p1, n1);
    if (p2) std::memcpy(reinterpret_cast<uint8_t*>(out.data()) + n1, p2, n2);
    monitor_->vtbl->unlock(monitor_, p1, n1, p2, n2);
    return out;
}

std::vector<int16_t> DriverTest::lastCaptured(uint32_t frames) {
    const uint32_t to = readCursor();
    const uint32_t ring = monitorBytes();
    if (ring == 0) return {};
    const uint32_t bytes = std::min(frames * 4, ring - 4);
    return capturedBetween((to + ring - bytes) % ring, to);
}

void DriverTest::sleepSeconds(double s) {
    std::this_thread::sleep_for(std::chrono::duration<double>(s));
}

}  // namespace alsatest
