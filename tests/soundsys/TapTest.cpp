// Output taps: held stretches, the volume, the limit, indices and tap files.
// That a tap holds every played byte once and in order is what the output
// tests read (outtest::heard).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <tuple>

#include "SoundModule.h"
#include "host/TestHost.h"
#include "host/WavBytes.h"

namespace soundtest {
namespace {

using TapTest = SoundTest;
using namespace wavbytes;

// Fills the ring with a byte ramp and returns what was written.
std::vector<uint8_t> fill(tws_buffer* b, uint32_t bytes, uint8_t seed) {
    std::vector<uint8_t> data(bytes);
    for (uint32_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(seed + i * 7 + i / 256);
    writeRing(b, data.data(), bytes);
    return data;
}

// A cursor that laps a region the caller holds locked plays silence there and
// leaves the caller's memory alone; once unlocked, what was written plays.
TEST_F(TapTest, LockedStretchIsNotReadWhileHeld) {
    tws_buffer* b = nullptr;
    ASSERT_EQ(makeBuffer(makeFormat(1, 8000, 8), 100, &b), TWS_OK);
    auto data = fill(b, 100, 1);
    void *p1 = nullptr, *p2 = nullptr;
    uint32_t n1 = 0, n2 = 0;
    ASSERT_EQ(b->vtbl->lock(b, 90, 20, &p1, &n1, &p2, &n2, 0), TWS_OK);  // 90..99 and 0..9
    ASSERT_EQ(b->vtbl->play(b, TWS_BPLAY_LOOPING), TWS_OK);
    ASSERT_EQ(m.tws_virtual_advance(200), TWS_OK);
    std::memset(p1, 0x11, n1);
    std::memset(p2, 0x22, n2);
    ASSERT_EQ(b->vtbl->unlock(b, p1, n1, p2, n2), TWS_OK);
    ASSERT_EQ(m.tws_virtual_advance(100), TWS_OK);
    auto tap = readTap(tapOf(b));
    ASSERT_EQ(tap.size(), 300u);
    for (uint32_t i = 0; i < 300; ++i) {
        const uint32_t at = i % 100;
        uint8_t expected = data[at];
        if (at < 10) expected = i < 200 ? 0x80 : 0x22;
        if (at >= 90) expected = i < 200 ? 0x80 : 0x11;
        ASSERT_EQ(tap[i], expected) << "byte " << i;
    }
}

// 16-bit samples scale around zero, 8-bit ones around their midpoint.
TEST_F(TapTest, VolumeScalesWhatIsHeard) {
    auto heard = [&](tws_wave_format_extensible f, const void* samples, uint32_t bytes, auto set) {
        tws_buffer* b = nullptr;
        EXPECT_EQ(makeBuffer(f, bytes, &b), TWS_OK);
        writeRing(b, samples, bytes);
        b->vtbl->play(b, 0);
        set(b);
        return readTap(tapOf(b));
    };
    const int16_t samples[6] = {1000, -1000, 32767, -32768, 3, 0};
    auto tap = heard(makeFormat(1, 1000, 16), samples, 12, [&](tws_buffer* b) {
        ASSERT_EQ(b->vtbl->set_volume(b, -600), TWS_OK);
        m.tws_virtual_advance(3);
        ASSERT_EQ(b->vtbl->set_volume(b, TWS_BVOLUME_MIN), TWS_OK);
        m.tws_virtual_advance(3);
    });
    ASSERT_EQ(tap.size(), 12u);
    int16_t wide[6];
    std::memcpy(wide, tap.data(), 12);
    const double gain = std::pow(10.0, -600 / 2000.0);  // about 0.501
    for (int i = 0; i < 3; ++i) EXPECT_EQ(wide[i], std::lround(samples[i] * gain)) << i;
    EXPECT_EQ(wide[3], 0);  // -100 dB rounds to silence
    EXPECT_EQ(wide[4], 0);

    const uint8_t narrow[4] = {0x80, 0xFF, 0x00, 0x90};
    tap = heard(makeFormat(1, 1000, 8), narrow, 4, [&](tws_buffer* b) {
        b->vtbl->set_volume(b, -2000);  // gain 0.1
        m.tws_virtual_advance(4);
    });
    EXPECT_EQ(tap, (std::vector<uint8_t>{0x80, 0x80 + 13, 0x80 - 13, 0x80 + 2}));
}

// Past the limit the tap keeps its first whole frames and counts the rest;
// draining makes room again.
TEST_F(TapTest, TapLimitKeepsTheStartAndDrainingMakesRoom) {
    m.tws_virtual_set_tap_limit(40);
    tws_buffer* b = nullptr;
    ASSERT_EQ(makeBuffer(makeFormat(2, 1000, 24), 6 * 20, &b), TWS_OK);
    const uint32_t index = tapOf(b);
    auto data = fill(b, 120, 5);
    b->vtbl->play(b, TWS_BPLAY_LOOPING);
    m.tws_virtual_advance(5);
    std::vector<uint8_t> out(100);
    ASSERT_EQ(m.tws_virtual_tap_drain(index, out.data(), 14), 12);  // whole frames only
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 12), std::vector<uint8_t>(data.begin(), data.begin() + 12));
    m.tws_virtual_advance(5);  // 30 bytes more, room for 22: three frames kept
    tws_virtual_tap info{};
    ASSERT_EQ(m.tws_virtual_tap_info(index, &info), TWS_OK);
    EXPECT_EQ(info.kept, 36u);
    EXPECT_EQ(info.total, 60u);
    EXPECT_EQ(readTap(index), std::vector<uint8_t>(data.begin() + 12, data.begin() + 48));
    EXPECT_EQ(m.tws_virtual_tap_drain(index, out.data(), out.size()), 36);
    EXPECT_EQ(m.tws_virtual_tap_drain(index, out.data(), out.size()), 0);
    m.tws_virtual_advance(15);  // 90 bytes from an empty tap: six frames kept
    ASSERT_EQ(m.tws_virtual_tap_info(index, &info), TWS_OK);
    EXPECT_EQ(info.kept, 36u);
    EXPECT_EQ(info.total, 150u);
    EXPECT_EQ(readTap(index), std::vector<uint8_t>(data.begin() + 60, data.begin() + 96));
    EXPECT_EQ(m.tws_virtual_tap_drain(9999, out.data(), out.size()), -1);
}

// Indices count buffers; taps outlive their buffers until cleared, and a
// released buffer leaves its tap as a WAV file in the tap folder.
TEST_F(TapTest, TapsOutliveTheirBuffersAndLeaveFiles) {
    const std::string dir = testhost::scratchDir() + "/taps";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    ASSERT_EQ(m.tws_virtual_set_tap_dir(dir.c_str()), TWS_OK);
    tws_buffer *plain = nullptr, *wide = nullptr;
    ASSERT_EQ(makeBuffer(makeFormat(2, 22050, 16), 4 * 25, &plain), TWS_OK);
    ASSERT_EQ(makeBuffer(makeFormat(3, 48000, 32, 24), 12 * 5, &wide), TWS_OK);
    const uint32_t first = tapOf(plain);
    EXPECT_EQ(tapOf(wide), first + 1);
    EXPECT_EQ(m.tws_virtual_output_count(), first + 2);
    EXPECT_EQ(m.tws_virtual_output_index(nullptr), -1);
    auto data = fill(plain, 100, 5);
    fill(wide, 60, 6);
    plain->vtbl->play(plain, 0);
    m.tws_virtual_advance(1000);
    tws_virtual_tap info{};
    ASSERT_EQ(m.tws_virtual_tap_info(first, &info), TWS_OK);
    EXPECT_EQ(info.live, 1);
    drop(plain);
    ASSERT_EQ(m.tws_virtual_tap_info(first, &info), TWS_OK);
    EXPECT_EQ(info.live, 0);
    EXPECT_EQ(readTap(first), data);  // one-shot: played once

    auto slurp = [&](uint32_t index) { return readFile(dir + "/out-" + std::to_string(index) + ".wav"); };
    auto file = slurp(first);
    ASSERT_EQ(file.size(), 44u + 100u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 16), std::string("RIFF\x88\0\0\0WAVEfmt ", 16));
    EXPECT_EQ(std::string(file.begin() + 36, file.begin() + 40), "data");
    // fmt size, rate, data size.
    EXPECT_EQ(std::tuple(get32(file, 16), get32(file, 24), get32(file, 40)), std::tuple(16u, 22050u, 100u));
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 44, file.end()), data);

    m.tws_virtual_clear_taps();
    EXPECT_EQ(m.tws_virtual_tap_info(first, &info), TWS_E_INVALIDARG);
    EXPECT_EQ(m.tws_virtual_tap_info(first + 1, &info), TWS_OK);  // still live
    EXPECT_EQ(m.tws_virtual_tap_read(9999, 0, nullptr, 0), -1);
    drop(wide);
    auto never = slurp(first + 1);  // never played: an empty extensible file
    ASSERT_EQ(never.size(), 12u + 8u + 40u + 8u);
    EXPECT_EQ(get32(never, 16), 40u);
    EXPECT_EQ(get16(never, 20), TWS_WAVE_FORMAT_EXTENSIBLE);
}

}  // namespace
}  // namespace soundtest
