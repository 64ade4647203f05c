// Device listing and capabilities of the system's driver on a sound server.
#include <cstring>

#include "DriverTestSupport.h"

namespace drivertest {
namespace {

bool sameGuid(const tws_guid& a, const tws_guid& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(Enumeration, PrimaryFirstThenTheServerDevicesWithStableIds) {
    REQUIRE_SOUND_SERVER();
    for (bool capture : {false, true}) {
        SCOPED_TRACE(capture ? "capture" : "output");
        tws_result result = TWS_E_FAIL;
        auto first = enumerate(capture, &result);
        ASSERT_EQ(result, TWS_OK);
        ASSERT_GE(first.size(), 2u);
        EXPECT_FALSE(first[0].hasGuid);
        const tws_guid zero{};
        for (size_t i = 1; i < first.size(); ++i) {
            const auto& d = first[i];
            SCOPED_TRACE(d.description);
            EXPECT_TRUE(d.hasGuid);
            EXPECT_FALSE(sameGuid(d.guid, zero));
            EXPECT_FALSE(d.description.empty());
            EXPECT_EQ(d.description.find('\n'), std::string::npos);
            expectDriverNaming(d);
            for (size_t j = 1; j < i; ++j) EXPECT_FALSE(sameGuid(d.guid, first[j].guid));
        }
        // Same devices, same ids, run after run.
        auto second = enumerate(capture);
        ASSERT_EQ(second.size(), first.size());
        for (size_t i = 1; i < first.size(); ++i) {
            EXPECT_EQ(second[i].description, first[i].description);
            EXPECT_TRUE(sameGuid(second[i].guid, first[i].guid));
        }
    }
}

// The default device of each direction (the zero id, or none) reports what
// the system says it takes; the server converts, so every standard format is
// taken. Unknown ids open nothing.
TEST(Devices, DefaultDevicesTakeEveryStandardFormat) {
    REQUIRE_SOUND_SERVER();
    tws_sound* sound = nullptr;
    ASSERT_EQ(module().soundCreate(nullptr, &sound), TWS_OK);
    tws_caps caps{};
    caps.dwSize = sizeof caps;
    EXPECT_EQ(sound->vtbl->get_caps(sound, &caps), TWS_OK);
    sound->vtbl->release(sound);
    const uint32_t all = TWS_CAPS_PRIMARYMONO | TWS_CAPS_PRIMARYSTEREO | TWS_CAPS_PRIMARY8BIT |
                         TWS_CAPS_PRIMARY16BIT;
    EXPECT_EQ(caps.dwFlags & all, all);
    EXPECT_EQ((caps.dwFlags >> 8) & all, all) << "secondary group repeats the primary one";
    EXPECT_LE(caps.dwMinSecondarySampleRate, 8000u);
    EXPECT_GE(caps.dwMaxSecondarySampleRate, 96000u);

    tws_capture* capture = nullptr;
    ASSERT_EQ(module().captureCreate(nullptr, &capture), TWS_OK);
    tws_capture_caps captureCaps{sizeof captureCaps, 0, 0, 0};
    EXPECT_EQ(capture->vtbl->get_caps(capture, &captureCaps), TWS_OK);
    capture->vtbl->release(capture);
    EXPECT_EQ(captureCaps.dwFormats, TWS_FORMAT_ALL);
    EXPECT_GE(captureCaps.dwChannels, 2u);
    EXPECT_LE(captureCaps.dwChannels, 8u) << "no more than a buffer can have";

    const tws_guid unknown{0x12345678u, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};
    sound = nullptr;
    EXPECT_EQ(module().soundCreate(&unknown, &sound), TWS_ERR_NODRIVER);
    EXPECT_EQ(sound, nullptr);
    EXPECT_EQ(module().captureCreate(&unknown, &capture), TWS_ERR_NODRIVER);
    const tws_guid zero{};
    ASSERT_EQ(module().soundCreate(&zero, &sound), TWS_OK);
    sound->vtbl->release(sound);
}

}  // namespace
}  // namespace drivertest
