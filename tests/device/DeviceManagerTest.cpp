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

}  // namespace
