// Test access to the sound system module: its entry points and the virtual
// driver's control API, looked up in the module that TONEWELL_LIB_DIR holds,
// plus small builders for formats and buffers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/WaveFormats.h"
#include "tonewell_sound_virtual.h"

namespace soundtest {

struct SoundModule {
    void* handle = nullptr;
    tws_sound_create_fn soundCreate = nullptr;
    tws_capture_create_fn captureCreate = nullptr;
    tws_sound_enumerate_fn soundEnumerate = nullptr;
    tws_capture_enumerate_fn captureEnumerate = nullptr;
#define TWS_CONTROL(name) decltype(&::name) name = nullptr;
#include "tonewell_sound_controls.inc"
#undef TWS_CONTROL

    // Resolves every symbol; false if one is missing.
    bool resolve();
};

// The module every test shares (loaded once).
SoundModule& module();

// A private copy of the module file, loaded with TONEWELL_SOUND_DRIVER set to
// `driver` (null: unset) while it loads, so it picks its driver afresh.
SoundModule loadCopy(const char* driver);
void unloadCopy(SoundModule& copy);

std::string scratchDir();

inline const tws_guid kOutput1 = TWS_VIRTUAL_OUTPUT1_GUID_INIT;
inline const tws_guid kOutput2 = TWS_VIRTUAL_OUTPUT2_GUID_INIT;
inline const tws_guid kInput1 = TWS_VIRTUAL_INPUT1_GUID_INIT;
inline const tws_guid kInput2 = TWS_VIRTUAL_INPUT2_GUID_INIT;

bool sameGuid(const tws_guid& a, const tws_guid& b);

using testhost::makeFormat;

struct Enumerated {
    bool hasGuid;
    tws_guid guid;
    std::string description;
};
std::vector<Enumerated> enumerate(bool capture, tws_result* result = nullptr);

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
    // Removes a buffer from the helper's list (the test released it).
    void forget(void* object);
    void releaseAll();

    std::vector<tws_sound*> sounds_;
    std::vector<tws_capture*> captures_;
    std::vector<tws_buffer*> buffers_;
    std::vector<tws_capture_buffer*> captureBuffers_;
};

// Reads the whole tap of an output buffer index.
std::vector<uint8_t> readTap(uint32_t index);

}  // namespace soundtest
