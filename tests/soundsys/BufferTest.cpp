// Buffer creation checks, formats, initial contents, and lock regions.
#include <gtest/gtest.h>

#include <cstring>

#include "SoundModule.h"

namespace soundtest {
namespace {

using BufferTest = SoundTest;

TEST_F(BufferTest, FormatsOutsideWhatDevicesTakeAreBadFormats) {
    tws_buffer* b = nullptr;
    tws_sound* two = sound(&kOutput2);
    struct Case {
        tws_wave_format_extensible format;
        tws_sound* on;
    } bad[] = {
        {makeFormat(2, 7999, 16), two},   {makeFormat(2, 48001, 16), two},
        {makeFormat(1, 99, 8), nullptr},  {makeFormat(1, 200001, 8), nullptr},
        {makeFormat(9, 44100, 16), two},  {makeFormat(2, 44100, 12), two},  // 12-bit container
        {makeFormat(2, 44100, 40), two},
    };
    bad[5].format.Format.wBitsPerSample = 12;
    bad[5].format.Format.nBlockAlign = 3;
    bad[5].format.Format.nAvgBytesPerSec = 3 * 44100;
    bad[6].format.Format.wBitsPerSample = 40;
    for (auto& c : bad) {
        SCOPED_TRACE(testing::Message() << c.format.Format.nChannels << "ch " << c.format.Format.nSamplesPerSec);
        EXPECT_EQ(makeBuffer(c.format, 4096 * 10, &b, c.on), TWS_ERR_BADFORMAT);
        EXPECT_EQ(b, nullptr);
    }
    auto zeroChannels = makeFormat(1, 44100, 16);
    zeroChannels.Format.nChannels = 0;
    EXPECT_EQ(makeBuffer(zeroChannels, 4096, &b), TWS_ERR_BADFORMAT);
    // Inconsistent block align or byte rate, unknown tags and sub-formats.
    auto f = makeFormat(2, 44100, 16);
    f.Format.nBlockAlign = 2;
    EXPECT_EQ(makeBuffer(f, 4096, &b), TWS_ERR_BADFORMAT);
    f = makeFormat(2, 44100, 16);
    f.Format.nAvgBytesPerSec += 1;
    EXPECT_EQ(makeBuffer(f, 4096, &b), TWS_ERR_BADFORMAT);
    f.Format.wFormatTag = 3;
    EXPECT_EQ(makeBuffer(f, 4096, &b), TWS_ERR_BADFORMAT);
    f = makeFormat(6, 44100, 24);
    f.SubFormat.Data1 = 3;
    EXPECT_EQ(makeBuffer(f, 6 * 3 * 100, &b), TWS_ERR_BADFORMAT);
    f = makeFormat(2, 44100, 16, 17);
    EXPECT_EQ(makeBuffer(f, 4096, &b), TWS_ERR_BADFORMAT);  // more valid bits than the container
}

// New buffers of every size the devices take are silent.
TEST_F(BufferTest, EveryChannelCountAndContainerWithinRangeIsTaken) {
    for (uint16_t channels = 1; channels <= 8; ++channels) {
        for (uint16_t bits : {8, 16, 24, 32}) {
            tws_buffer* b = nullptr;
            auto f = makeFormat(channels, 22050, bits);
            const uint32_t bytes = f.Format.nBlockAlign * 64u;
            ASSERT_EQ(makeBuffer(f, bytes, &b), TWS_OK) << channels << "x" << bits;
            EXPECT_EQ(readRing(b, 0, bytes), std::vector<uint8_t>(bytes, bits == 8 ? 0x80 : 0x00)) << bits;
            drop(b);
        }
    }
    tws_buffer* b = nullptr;
    auto edge = makeFormat(2, 48000, 16);
    EXPECT_EQ(makeBuffer(edge, 4 * 64, &b, sound(&kOutput2)), TWS_OK);
}

TEST_F(BufferTest, SizesAndDescriptionsAreChecked) {
    tws_buffer* b = nullptr;
    auto f = makeFormat(2, 44100, 16);
    EXPECT_EQ(makeBuffer(f, 0, &b), TWS_E_INVALIDARG);
    EXPECT_EQ(makeBuffer(f, 6, &b), TWS_E_INVALIDARG);  // not whole frames
    EXPECT_EQ(makeBuffer(f, TWS_BSIZE_MAX + 1u, &b), TWS_E_INVALIDARG);
    EXPECT_EQ(makeBuffer(makeFormat(1, 8000, 8), 3, &b), TWS_E_INVALIDARG);
    EXPECT_EQ(makeBuffer(f, 4096, &b, nullptr, 0x80000000u), TWS_E_INVALIDARG);
    EXPECT_EQ(makeBuffer(f, 4096, &b, nullptr, TWS_BCAPS_PRIMARYBUFFER), TWS_E_NOTIMPL);

    tws_sound* s = sound();
    tws_buffer_desc desc{};
    desc.dwSize = 36;
    desc.dwBufferBytes = 4096;
    desc.lpwfxFormat = &f.Format;
    EXPECT_EQ(s->vtbl->create_buffer(s, &desc, &b), TWS_E_INVALIDARG);
    desc.dwSize = sizeof desc;
    desc.lpwfxFormat = nullptr;
    EXPECT_EQ(s->vtbl->create_buffer(s, &desc, &b), TWS_E_INVALIDARG);
    EXPECT_EQ(s->vtbl->create_buffer(s, nullptr, &b), TWS_E_INVALIDARG);
    EXPECT_EQ(s->vtbl->create_buffer(s, &desc, nullptr), TWS_E_INVALIDARG);
    EXPECT_EQ(b, nullptr);

    tws_capture_buffer* cb = nullptr;
    tws_capture* c = capture();
    tws_capture_buffer_desc cdesc{};
    cdesc.dwSize = sizeof cdesc;
    cdesc.dwBufferBytes = 4096;
    cdesc.lpwfxFormat = &f.Format;
    cdesc.dwFXCount = 1;
    EXPECT_EQ(c->vtbl->create_buffer(c, &cdesc, &cb), TWS_ERR_FXUNAVAILABLE);
    cdesc.dwFXCount = 0;
    cdesc.dwFlags = 1;
    EXPECT_EQ(c->vtbl->create_buffer(c, &cdesc, &cb), TWS_E_INVALIDARG);
}

TEST_F(BufferTest, FormatIsReportedBackPlainExtensibleOrAsCaptured) {
    tws_buffer* b = nullptr;
    auto plain = makeFormat(2, 44100, 16);
    plain.Format.cbSize = 7;  // ignored for plain PCM, reported as 0
    ASSERT_EQ(makeBuffer(plain, 4 * 100, &b), TWS_OK);
    uint32_t size = 0;
    ASSERT_EQ(b->vtbl->get_format(b, nullptr, 0, &size), TWS_OK);
    EXPECT_EQ(size, 18u);
    tws_wave_format back{};
    ASSERT_EQ(b->vtbl->get_format(b, &back, sizeof back, &size), TWS_OK);
    plain.Format.cbSize = 0;
    EXPECT_EQ(std::memcmp(&back, &plain.Format, 18), 0);

    auto ext = makeFormat(6, 96000, 24, 20);
    ASSERT_EQ(makeBuffer(ext, 18 * 100, &b), TWS_OK);
    ASSERT_EQ(b->vtbl->get_format(b, nullptr, 0, &size), TWS_OK);
    EXPECT_EQ(size, 40u);
    EXPECT_EQ(b->vtbl->get_format(b, &back, 18, &size), TWS_E_INVALIDARG);
    tws_wave_format_extensible extBack{};
    ASSERT_EQ(b->vtbl->get_format(b, &extBack.Format, sizeof extBack, nullptr), TWS_OK);
    EXPECT_EQ(std::memcmp(&extBack, &ext, 40), 0);
    EXPECT_EQ(extBack.Samples.wValidBitsPerSample, 20);

    // Virtual Input 2 captures at 44100 Hz whatever is asked.
    tws_capture_buffer* cb = nullptr;
    ASSERT_EQ(makeCapture(makeFormat(1, 8000, 16), 2 * 800, &cb, capture(&kInput2)), TWS_OK);
    ASSERT_EQ(cb->vtbl->get_format(cb, &back, sizeof back, nullptr), TWS_OK);
    EXPECT_EQ(back.nSamplesPerSec, 44100u);
    EXPECT_EQ(back.nAvgBytesPerSec, 88200u);
    EXPECT_EQ(back.nChannels, 1);

    // Virtual Input 1 takes the span of its format bits only.
    tws_capture* one = capture(&kInput1);
    EXPECT_EQ(makeCapture(makeFormat(2, 11024, 16), 4 * 100, &cb, one), TWS_ERR_BADFORMAT);
    EXPECT_EQ(makeCapture(makeFormat(2, 96001, 16), 4 * 100, &cb, one), TWS_ERR_BADFORMAT);
    EXPECT_EQ(makeCapture(makeFormat(2, 96000, 16), 4 * 100, &cb, one), TWS_OK);
    EXPECT_EQ(makeCapture(makeFormat(2, 11025, 16), 4 * 100, &cb, one), TWS_OK);
}

TEST_F(BufferTest, LocksSplitAtTheEndOfTheRingAndBadOnesAreRefused) {
    tws_buffer* b = nullptr;
    ASSERT_EQ(makeBuffer(makeFormat(2, 44100, 16), 4000, &b), TWS_OK);
    void *p1 = nullptr, *p2 = nullptr, *base = nullptr;
    uint32_t n1 = 0, n2 = 0;
    ASSERT_EQ(b->vtbl->lock(b, 0, 4000, &base, &n1, &p2, &n2, 0), TWS_OK);
    EXPECT_EQ(n1, 4000u);
    EXPECT_EQ(p2, nullptr);
    EXPECT_EQ(n2, 0u);
    b->vtbl->unlock(b, base, n1, p2, n2);

    ASSERT_EQ(b->vtbl->lock(b, 3000, 1500, &p1, &n1, &p2, &n2, 0), TWS_OK);
    EXPECT_EQ(p1, static_cast<uint8_t*>(base) + 3000);
    EXPECT_EQ(n1, 1000u);
    EXPECT_EQ(p2, base);
    EXPECT_EQ(n2, 500u);
    EXPECT_EQ(b->vtbl->unlock(b, p1, n1, p2, n2), TWS_OK);

    // Whole buffer from an offset: the two regions cover the ring once.
    ASSERT_EQ(b->vtbl->lock(b, 1000, 1, &p1, &n1, &p2, &n2, TWS_BLOCK_ENTIREBUFFER), TWS_OK);
    EXPECT_EQ(n1, 3000u);
    EXPECT_EQ(n2, 1000u);
    EXPECT_EQ(p2, base);
    b->vtbl->unlock(b, p1, n1, p2, n2);

    // Without a second pointer the lock stops at the end.
    ASSERT_EQ(b->vtbl->lock(b, 3000, 1500, &p1, &n1, nullptr, nullptr, 0), TWS_OK);
    EXPECT_EQ(n1, 1000u);
    b->vtbl->unlock(b, p1, n1, nullptr, 0);

    EXPECT_EQ(b->vtbl->lock(b, 4000, 4, &p1, &n1, &p2, &n2, 0), TWS_E_INVALIDARG);
    EXPECT_EQ(b->vtbl->lock(b, 0, 4004, &p1, &n1, &p2, &n2, 0), TWS_E_INVALIDARG);
    EXPECT_EQ(b->vtbl->lock(b, 0, 0, &p1, &n1, &p2, &n2, 0), TWS_E_INVALIDARG);
    EXPECT_EQ(b->vtbl->lock(b, 0, 4, nullptr, &n1, &p2, &n2, 0), TWS_E_INVALIDARG);
    EXPECT_EQ(b->vtbl->lock(b, 0, 4, &p1, &n1, &p2, &n2, 0x10), TWS_E_INVALIDARG);
    ASSERT_EQ(b->vtbl->lock(b, 100, 100, &p1, &n1, &p2, &n2, 0), TWS_OK);
    uint8_t outside[4];
    EXPECT_EQ(b->vtbl->unlock(b, outside, 4, nullptr, 0), TWS_E_INVALIDARG);
    EXPECT_EQ(b->vtbl->unlock(b, p1, 3901, nullptr, 0), TWS_E_INVALIDARG);
    EXPECT_EQ(b->vtbl->unlock(b, p1, n1, static_cast<uint8_t*>(p1) + 1, 1), TWS_E_INVALIDARG);
    EXPECT_EQ(b->vtbl->unlock(b, p1, n1, nullptr, 0), TWS_OK);

    tws_capture_buffer* cb = nullptr;
    ASSERT_EQ(makeCapture(makeFormat(2, 44100, 16), 4000, &cb), TWS_OK);
    EXPECT_EQ(cb->vtbl->lock(cb, 0, 0, &p1, &n1, &p2, &n2, TWS_CBLOCK_ENTIREBUFFER), TWS_OK);
    EXPECT_EQ(n1, 4000u);
    EXPECT_EQ(cb->vtbl->lock(cb, 0, 4, &p1, &n1, &p2, &n2, TWS_BLOCK_ENTIREBUFFER), TWS_E_INVALIDARG);
}

TEST_F(BufferTest, BufferOutlivesItsSoundObject) {
    tws_sound* s = nullptr;
    ASSERT_EQ(m.soundCreate(&kOutput1, &s), TWS_OK);
    tws_buffer* b = nullptr;
    ASSERT_EQ(makeBuffer(makeFormat(1, 1000, 16), 200, &b, s), TWS_OK);
    s->vtbl->release(s);
    EXPECT_EQ(b->vtbl->play(b, TWS_BPLAY_LOOPING), TWS_OK);
    EXPECT_EQ(m.tws_virtual_advance(150), TWS_OK);
    EXPECT_EQ(cursorOf(b), 100u);  // 150 frames into a 100-frame ring
}

}  // namespace
}  // namespace soundtest
