// The device manager linked in directly. This program's own directory holds
// no sound system module, so the loader reports it missing.
#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "core/Registries.h"
#include "device/DeviceInfo.h"
#include "device/DeviceManager.h"
#include "device/DirectSoundLibrary.h"

namespace {

TEST(DeviceManager, MissingModuleMeansEnumerationFailure) {
    tw::libraryAttach();
    EXPECT_EQ(tw::DirectSoundLibrary::instance().getError(), 4806);
    tw::DeviceManager* m = tw::DeviceManager::instance();
    EXPECT_EQ(m->enumerationStatus(), 37);
    EXPECT_FALSE(m->enumerated());
    EXPECT_EQ(m->getNumDevices(false), 0);
    tw::SoundDevice* device = reinterpret_cast<tw::SoundDevice*>(1);
    EXPECT_EQ(m->acquireOutputDevice(0, &device), 4800);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(m->releaseOutputDevice(0), 4806);
    EXPECT_EQ(m->acquireInputDevice(0, &device), 4800);
    EXPECT_EQ(m->releaseInputDevice(0), 4806);
    tws_sound* sound = nullptr;
    EXPECT_EQ(tw::DirectSoundLibrary::instance().createSound(nullptr, &sound), TWS_ERR_DS8_REQUIRED);
}

TEST(DeviceManager, RacingInstanceCallsGetOneManager) {
    tw::libraryAttach();
    std::vector<std::thread> threads;
    std::vector<tw::DeviceManager*> seen(8);
    for (int i = 0; i < 8; ++i) threads.emplace_back([&, i] { seen[i] = tw::DeviceManager::instance(); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(std::set<tw::DeviceManager*>(seen.begin(), seen.end()).size(), 1u);
}

TEST(DeviceInfoDecoding, OutputFlagsAndCaptureGroups) {
    tws_caps caps{};
    caps.dwFlags = 0x200 | 0x800;  // stereo, 16-bit
    caps.dwMinSecondarySampleRate = 8000;
    caps.dwMaxSecondarySampleRate = 48000;
    tw::DeviceCapabilities d = tw::decodeOutputCaps(caps);
    EXPECT_EQ(d.channels, std::vector<int32_t>{2});
    EXPECT_EQ(d.bits, std::vector<int32_t>{16});
    EXPECT_EQ(d.minRate, 8000.0);
    // The low group alone says nothing of channels or sizes.
    caps.dwFlags = 0x1 | 0x4;
    EXPECT_TRUE(tw::decodeOutputCaps(caps).channels.empty());

    tws_capture_caps cc{};
    cc.dwFormats = 0x00800;  // 44.1 kHz stereo 16-bit only
    cc.dwChannels = 2;
    d = tw::decodeCaptureCaps(cc);
    EXPECT_EQ(d.minRate, 44100.0);
    EXPECT_EQ(d.maxRate, 44100.0);
    EXPECT_EQ(d.bits, std::vector<int32_t>{16});
    EXPECT_EQ(d.channels, (std::vector<int32_t>{1, 2}));
    cc.dwFormats = 0x00022;  // stereo 8-bit at 11025 and 22050
    d = tw::decodeCaptureCaps(cc);
    EXPECT_EQ(d.minRate, 11025.0);
    EXPECT_EQ(d.maxRate, 22050.0);
    EXPECT_EQ(d.bits, std::vector<int32_t>{8});
    cc.dwFormats = 0xFFF00000;  // no standard bit
    cc.dwChannels = 0xFFFFFFFF;
    d = tw::decodeCaptureCaps(cc);
    EXPECT_EQ(d.minRate, 0.0);
    EXPECT_TRUE(d.bits.empty());
    EXPECT_LE(d.channels.size(), 256u) << "a bogus channel count must not size a huge array";
}

}  // namespace
