// Test access to the sound system module: its entry points and the virtual
// driver's control API, looked up in the module that TONEWELL_LIB_DIR holds,
// plus small builders for formats, buffers and ring contents.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/VirtualDriver.h"
#include "host/WaveFormats.h"

namespace soundtest {

// The entry points, beside the virtual driver's controls.
struct SoundModule : testhost::VirtualDriver {
    tws_sound_create_fn soundCreate = nullptr;
    tws_capture_create_fn captureCreate = nullptr;
    tws_sound_enumerate_fn soundEnumerate = nullptr;
    tws_capture_enumerate_fn captureEnumerate = nullptr;

    // Resolves the entry points; false if one is missing.
    bool resolve();
};

// The module every test shares: the one the test host loads.
SoundModule& module();

// A private copy of the module file, loaded with TONEWELL_SOUND_DRIVER set to
// `driver` while it loads, so it picks its driver afresh.
SoundModule loadCopy(const char* driver);

inline const tws_guid kOutput1 = TWS_VIRTUAL_OUTPUT1_GUID_INIT;
inline const tws_guid kOutput2 = TWS_VIRTUAL_OUTPUT2_GUID_INIT;
inline const tws_guid kInput1 = TWS_VIRTUAL_INPUT1_GUID_INIT;
inline const tws_guid kInput2 = TWS_VIRTUAL_INPUT2_GUID_INIT;

inline bool sameGuid(const tws_guid& a, const tws_guid& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

using testhost::makeFormat;

struct Enumerated {
    bool hasGuid;
    tws_guid guid;
    std::string description;
};
std::vector<Enumerated> enumerate(bool capture, tws_result* result = nullptr);

// Bytes [offset, offset + bytes) of a sound or capture ring, through a lock
// that wraps at the ring's end.
template <typename Buffer>
std::vector<uint8_t> readRing(Buffer* b, uint32_t offset, uint32_t bytes) {
    void *p1 = nullptr, *p2 = nullptr;
    uint32_t n1 = 0, n2 = 0;
    EXPECT_EQ(b->vtbl->lock(b, offset, bytes, &p1, &n1, &p2, &n2, 0), TWS_OK);
    std::vector<uint8_t> out(static_cast<uint8_t*>(p1), static_cast<uint8_t*>(p1) + n1);
    if (p2) out.insert(out.end(), static_cast<uint8_t*>(p2), static_cast<uint8_t*>(p2) + n2);
    EXPECT_EQ(b->vtbl->unlock(b, p1, n1, p2, n2), TWS_OK);
    return out;
}

// Copies `data` into a sound ring from its start.
void writeRing(tws_buffer* b, const void* data, uint32_t bytes);

template <typename Buffer>
uint32_t statusOf(Buffer* b) {
    uint32_t s = ~0u;
    EXPECT_EQ(b->vtbl->get_status(b, &s), TWS_OK);
    return s;
}

// The play or capture cursor, in bytes.
template <typename Buffer>
uint32_t cursorOf(Buffer* b) {
    uint32_t c = ~0u;
    EXPECT_EQ(b->vtbl->get_current_position(b, &c, nullptr), TWS_OK);
    return c;
}

// Base fixture: a fresh virtual driver on the manual clock; at the end every
// object must be gone and the driver is reset.
class SoundTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    SoundModule& m = module();
    // Objects made through the helpers, released in TearDown when a test did not.
    tws_sound* sound(const tws_guid* device = &kOutput1);
    tws_capture* capture(const tws_guid* device = &kInput1);
    tws_result makeBuffer(const tws_wave_format_extensible& format, uint32_t bytes,
                          tws_buffer** out, tws_sound* on = nullptr,
                          uint32_t flags = TWS_BCAPS_CTRLVOLUME | TWS_BCAPS_CTRLPOSITIONNOTIFY |
                                           TWS_BCAPS_GETCURRENTPOSITION2 | TWS_BCAPS_GLOBALFOCUS);
    tws_result makeCapture(const tws_wave_format_extensible& format, uint32_t bytes,
                           tws_capture_buffer** out, tws_capture* on = nullptr);
    // Releases an object made through the helpers before the test ends.
    template <typename Object>
    void drop(Object* object) {
        forget(object);
        object->vtbl->release(object);
    }
    // Removes an object from the helpers' lists (the test releases it).
    void forget(void* object);

    std::vector<tws_sound*> sounds_;
    std::vector<tws_capture*> captures_;
    std::vector<tws_buffer*> buffers_;
    std::vector<tws_capture_buffer*> captureBuffers_;
};

// The whole tap of an output index, and the index of a buffer's tap.
using testhost::readTap;
uint32_t tapOf(tws_buffer* b);

}  // namespace soundtest
