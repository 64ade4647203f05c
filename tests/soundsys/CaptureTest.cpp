// The capture side: counter signal, capture cursor, one-shot and looping
// capture.
#include <gtest/gtest.h>

#include <cstring>

#include "SoundModule.h"

namespace soundtest {
namespace {

using CaptureTest = SoundTest;

// The 16-bit mono ring of a capture buffer, as samples.
std::vector<int16_t> samples(tws_capture_buffer* b, uint32_t frames) {
    std::vector<int16_t> out(frames);
    std::memcpy(out.data(), readRing(b, 0, frames * 2).data(), frames * 2);
    return out;
}

TEST_F(CaptureTest, CounterSignalValuesForEveryContainer) {
    struct Case {
        uint16_t bits;
        uint16_t valid;
    } cases[] = {{8, 8}, {16, 16}, {24, 24}, {32, 32}, {16, 12}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << "/" << c.valid);
        tws_capture_buffer* b = nullptr;
        auto f = makeFormat(2, 44100, c.bits, c.valid);
        const uint32_t frameBytes = f.Format.nBlockAlign;
        ASSERT_EQ(makeCapture(f, frameBytes * 70000u, &b), TWS_OK);
        ASSERT_EQ(b->vtbl->start(b, 0), TWS_OK);
        ASSERT_EQ(m.tws_virtual_advance(66000), TWS_OK);  // past 65535: v wraps
        auto bytes = readRing(b, 0, frameBytes * 66000u);
        const uint32_t size = c.bits / 8;
        for (uint32_t n : {0u, 1u, 255u, 256u, 64535u, 65535u, 65536u, 65999u}) {
            for (uint32_t ch = 0; ch < 2; ++ch) {
                const auto v = static_cast<uint16_t>(n + 1000 * ch);
                uint32_t expected = size == 1 ? ((v & 0xFFu) ^ 0x80u) : uint32_t{v} << (8 * (size - 2));
                if (c.valid == 12) expected &= 0xFFF0u;
                uint32_t got = 0;
                std::memcpy(&got, &bytes[n * frameBytes + ch * size], size);
                EXPECT_EQ(got, expected) << "frame " << n << " channel " << ch;
            }
        }
        drop(b);
    }
}

// A capture that laps a region the caller holds locked leaves it as it was;
// once unlocked, the region fills again in step with the counter.
TEST_F(CaptureTest, LockedStretchIsNotWrittenWhileHeld) {
    tws_capture_buffer* b = nullptr;
    ASSERT_EQ(makeCapture(makeFormat(1, 11025, 16), 2 * 100, &b), TWS_OK);
    ASSERT_EQ(b->vtbl->start(b, TWS_CBSTART_LOOPING), TWS_OK);
    ASSERT_EQ(m.tws_virtual_advance(100), TWS_OK);
    void *p1 = nullptr, *p2 = nullptr;
    uint32_t n1 = 0, n2 = 0;
    ASSERT_EQ(b->vtbl->lock(b, 20, 21, &p1, &n1, &p2, &n2, 0), TWS_OK);  // frames 10..20
    std::vector<uint8_t> before(static_cast<uint8_t*>(p1), static_cast<uint8_t*>(p1) + n1);
    ASSERT_EQ(m.tws_virtual_advance(350), TWS_OK);
    EXPECT_EQ(std::memcmp(p1, before.data(), n1), 0);
    ASSERT_EQ(b->vtbl->unlock(b, p1, n1, p2, n2), TWS_OK);
    ASSERT_EQ(m.tws_virtual_advance(100), TWS_OK);  // 550 frames captured in all
    auto ring = samples(b, 100);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(ring[i], i < 50 ? 500 + i : 400 + i) << i;
}

TEST_F(CaptureTest, CounterRunsOnAcrossWrapsAndPausesWhileStopped) {
    tws_capture_buffer* b = nullptr;
    ASSERT_EQ(makeCapture(makeFormat(1, 11025, 16), 2 * 100, &b), TWS_OK);
    EXPECT_EQ(statusOf(b), 0u);
    ASSERT_EQ(b->vtbl->start(b, TWS_CBSTART_LOOPING), TWS_OK);
    EXPECT_EQ(statusOf(b), TWS_CBSTATUS_CAPTURING | TWS_CBSTATUS_LOOPING);
    m.tws_virtual_advance(130);
    uint32_t capture = 0, read = 1;
    b->vtbl->get_current_position(b, &capture, &read);
    EXPECT_EQ(capture, 60u);
    EXPECT_EQ(read, capture);
    b->vtbl->stop(b);
    m.tws_virtual_advance(500);  // stopped: neither cursor nor counter move
    b->vtbl->start(b, TWS_CBSTART_LOOPING);
    m.tws_virtual_advance(20);
    // Frames 100..149 are at 0..49, 150 was the first after the restart.
    auto ring = samples(b, 100);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(ring[i], i < 50 ? 100 + i : i) << i;
}

// Notification order and the rules for setting them are the ring's, shared
// with sound buffers (PlaybackTest); here the one-shot end of a capture.
TEST_F(CaptureTest, OneShotCaptureFillsOnceAndStops) {
    tws_capture_buffer* b = nullptr;
    ASSERT_EQ(makeCapture(makeFormat(1, 11025, 8), 80, &b), TWS_OK);
    int halves = 0, stops = 0;
    auto count = [](void* c) { ++*static_cast<int*>(c); };
    tws_position_notify at[] = {{39, count, &halves}, {79, count, &halves}, {TWS_BPN_OFFSETSTOP, count, &stops}};
    ASSERT_EQ(b->vtbl->set_notification_positions(b, 3, at), TWS_OK);
    ASSERT_EQ(b->vtbl->start(b, 0), TWS_OK);
    m.tws_virtual_advance(50);
    EXPECT_EQ(halves, 1);
    EXPECT_EQ(stops, 0);
    m.tws_virtual_advance(50);
    EXPECT_EQ(halves, 2);
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(statusOf(b), 0u);
    EXPECT_EQ(cursorOf(b), 0u);
    auto bytes = readRing(b, 0, 80);
    for (uint32_t i = 0; i < 80; ++i) EXPECT_EQ(bytes[i], static_cast<uint8_t>(i ^ 0x80)) << i;
}

}  // namespace
}  // namespace soundtest
