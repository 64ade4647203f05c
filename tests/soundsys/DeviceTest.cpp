// Enumeration, device sets, capabilities and driver selection. How the
// library reads the device set and its injected faults is tests/device's.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "SoundModule.h"

namespace soundtest {
namespace {

using DeviceTest = SoundTest;

TEST_F(DeviceTest, DefaultDevicesFollowThePrimaryEntry) {
    struct Expect {
        bool capture;
        const char* primary;
        const tws_guid *first, *second;
        const char *firstName, *secondName;
    };
    for (const Expect& e : {Expect{false, "Primary Sound Driver", &kOutput1, &kOutput2, "Virtual Output 1",
                                   "Virtual Output 2"},
                            Expect{true, "Primary Sound Capture Driver", &kInput1, &kInput2, "Virtual Input 1",
                                   "Virtual Input 2"}}) {
        tws_result r = -1;
        auto list = enumerate(e.capture, &r);
        ASSERT_EQ(r, TWS_OK);
        ASSERT_EQ(list.size(), 3u);
        EXPECT_FALSE(list[0].hasGuid);
        EXPECT_EQ(list[0].description, e.primary);
        EXPECT_TRUE(list[1].hasGuid);
        EXPECT_TRUE(sameGuid(list[1].guid, *e.first));
        EXPECT_EQ(list[1].description, e.firstName);
        EXPECT_TRUE(sameGuid(list[2].guid, *e.second));
        EXPECT_EQ(list[2].description, e.secondName);
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

TEST_F(DeviceTest, CapabilitiesOfEachDeviceAndTheirSizeChecks) {
    const uint32_t sizes = TWS_CAPS_SECONDARYMONO | TWS_CAPS_SECONDARYSTEREO | TWS_CAPS_SECONDARY8BIT |
                           TWS_CAPS_SECONDARY16BIT;
    const struct {
        const tws_guid* device;
        uint32_t flags;  // of the secondary group; the primary one says the same
        uint32_t minRate, maxRate;
    } outputs[] = {{&kOutput1, sizes, 100, 200000},
                   {&kOutput2, TWS_CAPS_SECONDARYSTEREO | TWS_CAPS_SECONDARY16BIT, 8000, 48000}};
    for (const auto& o : outputs) {
        tws_caps caps{};
        caps.dwSize = sizeof caps;
        tws_sound* s = sound(o.device);
        ASSERT_EQ(s->vtbl->get_caps(s, &caps), TWS_OK);
        EXPECT_EQ(caps.dwFlags & sizes, o.flags);
        EXPECT_EQ(caps.dwFlags & 0xF, o.flags >> 8);
        EXPECT_EQ(caps.dwMinSecondarySampleRate, o.minRate);
        EXPECT_EQ(caps.dwMaxSecondarySampleRate, o.maxRate);
        caps.dwSize = 36;
        EXPECT_EQ(s->vtbl->get_caps(s, &caps), TWS_E_INVALIDARG);
    }
    tws_sound* two = sound(&kOutput2);
    EXPECT_EQ(two->vtbl->set_cooperative_level(two, TWS_SCL_PRIORITY), TWS_OK);
    EXPECT_EQ(two->vtbl->set_cooperative_level(two, 0), TWS_E_INVALIDARG);

    for (auto [device, formats] : {std::pair{&kInput1, 0xFFFFFu}, std::pair{&kInput2, uint32_t{TWS_FORMAT_4S16}}}) {
        tws_capture_caps caps{sizeof caps, 0, 0, 0};
        tws_capture* c = capture(device);
        ASSERT_EQ(c->vtbl->get_caps(c, &caps), TWS_OK);
        EXPECT_EQ(caps.dwFormats, formats);
        EXPECT_EQ(caps.dwChannels, 2u);
        caps.dwSize = 20;
        EXPECT_EQ(c->vtbl->get_caps(c, &caps), TWS_E_INVALIDARG);
    }
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
        ::dlclose(copy.handle);
    }
}

}  // namespace
}  // namespace soundtest
