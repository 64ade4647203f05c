// Enumeration, device sets, injected faults and driver selection, as the
// module's callers see them.
#include <gtest/gtest.h>

#include "SoundModule.h"
#include "platform/Module.h"

namespace soundtest {
namespace {

using DeviceTest = SoundTest;

// The names, order and capabilities of the devices are what the library
// lists (tests/device); here the primary entries and the calls' own checks.
TEST_F(DeviceTest, PrimaryEntryComesFirstWithoutAnId) {
    for (bool capture : {false, true}) {
        tws_result r = -1;
        auto list = enumerate(capture, &r);
        ASSERT_EQ(r, TWS_OK);
        ASSERT_EQ(list.size(), 3u);
        EXPECT_FALSE(list[0].hasGuid);
        EXPECT_EQ(list[0].description, capture ? "Primary Sound Capture Driver" : "Primary Sound Driver");
        EXPECT_TRUE(sameGuid(list[1].guid, capture ? kInput1 : kOutput1));
    }
    int calls = 0;
    auto once = [](const tws_guid*, const char*, const char*, void* c) -> int32_t {
        ++*static_cast<int*>(c);
        return 0;  // stop
    };
    EXPECT_EQ(m.soundEnumerate(once, &calls), TWS_OK);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(m.soundEnumerate(nullptr, nullptr), TWS_E_INVALIDARG);
}

TEST_F(DeviceTest, CapsAndCooperativeLevelCheckTheirArguments) {
    tws_sound* s = sound(&kOutput2);
    tws_caps caps{};
    caps.dwSize = 36;
    EXPECT_EQ(s->vtbl->get_caps(s, &caps), TWS_E_INVALIDARG);
    EXPECT_EQ(s->vtbl->set_cooperative_level(s, TWS_SCL_PRIORITY), TWS_OK);
    EXPECT_EQ(s->vtbl->set_cooperative_level(s, 0), TWS_E_INVALIDARG);
    tws_capture* c = capture(&kInput2);
    tws_capture_caps captureCaps{20, 0, 0, 0};
    EXPECT_EQ(c->vtbl->get_caps(c, &captureCaps), TWS_E_INVALIDARG);
}

TEST_F(DeviceTest, NullOrZeroGuidMeansTheFirstDeviceAndUnknownOnesFail) {
    tws_guid zero{};
    tws_caps caps{};
    caps.dwSize = sizeof caps;
    tws_sound* s = sound(&zero);
    ASSERT_EQ(s->vtbl->get_caps(s, &caps), TWS_OK);
    EXPECT_EQ(caps.dwMaxSecondarySampleRate, 200000u);
    tws_guid unknown = {0xDEAD, 0, 0, {0}};
    tws_sound* none = nullptr;
    EXPECT_EQ(m.soundCreate(&unknown, &none), TWS_ERR_NODRIVER);
    tws_capture* noCapture = nullptr;
    EXPECT_EQ(m.captureCreate(&kOutput1, &noCapture), TWS_ERR_NODRIVER);
    EXPECT_EQ(m.soundCreate(nullptr, nullptr), TWS_E_INVALIDARG);

    // No devices at all: only the primary entries remain, and they open nothing.
    ASSERT_EQ(m.tws_virtual_set_devices(nullptr, 0), TWS_OK);
    EXPECT_EQ(enumerate(false).size(), 1u);
    EXPECT_EQ(enumerate(true).size(), 1u);
    EXPECT_EQ(m.soundCreate(nullptr, &none), TWS_ERR_NODRIVER);
    EXPECT_EQ(none, nullptr);
}

TEST_F(DeviceTest, InjectedFaultsHitTheirDirectionAndDeviceAndCountDown) {
    ASSERT_EQ(m.tws_virtual_fault_enumeration(TWS_VIRTUAL_CAPTURE, TWS_E_FAIL), TWS_OK);
    tws_result r = 0;
    EXPECT_TRUE(enumerate(true, &r).empty());
    EXPECT_EQ(r, TWS_E_FAIL);
    EXPECT_EQ(enumerate(false, &r).size(), 3u);
    EXPECT_EQ(r, TWS_OK);
    EXPECT_EQ(m.tws_virtual_fault_enumeration(TWS_VIRTUAL_OUTPUT, 5), TWS_E_INVALIDARG);

    ASSERT_EQ(m.tws_virtual_fault_device(&kOutput2, TWS_VIRTUAL_DEVICE_CREATE, TWS_ERR_ALLOCATED, 2), TWS_OK);
    tws_sound* s = nullptr;
    EXPECT_EQ(m.soundCreate(&kOutput2, &s), TWS_ERR_ALLOCATED);
    EXPECT_EQ(m.soundCreate(&kOutput1, &s), TWS_OK);  // other devices are not hit
    s->vtbl->release(s);
    EXPECT_EQ(m.soundCreate(&kOutput2, &s), TWS_ERR_ALLOCATED);
    EXPECT_EQ(m.soundCreate(&kOutput2, &s), TWS_OK);
    s->vtbl->release(s);

    // Every device, until cleared.
    m.tws_virtual_fault_device(nullptr, TWS_VIRTUAL_DEVICE_CREATE, TWS_ERR_ALLOCATED, -1);
    tws_capture* c = nullptr;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(m.captureCreate(&kInput2, &c), TWS_ERR_ALLOCATED);
    m.tws_virtual_clear_faults();
    EXPECT_EQ(m.captureCreate(&kInput2, &c), TWS_OK);
    c->vtbl->release(c);
    EXPECT_EQ(enumerate(true, &r).size(), 3u);
}

TEST(DriverSelection, UnknownDriverMakesEnumerationAndCreationFail) {
    for (const char* name : {"bogus", "Virtual"}) {
        SCOPED_TRACE(name);
        SoundModule copy = loadCopy(name);
        ASSERT_TRUE(copy.handle);
        auto callback = [](const tws_guid*, const char*, const char*, void*) -> int32_t { return 1; };
        EXPECT_EQ(copy.soundEnumerate(callback, nullptr), TWS_ERR_NODRIVER);
        EXPECT_EQ(copy.captureEnumerate(callback, nullptr), TWS_ERR_NODRIVER);
        tws_sound* s = nullptr;
        EXPECT_EQ(copy.soundCreate(nullptr, &s), TWS_ERR_NODRIVER);
        tw::platform::unloadModule(copy.handle);
    }
}

}  // namespace
}  // namespace soundtest
