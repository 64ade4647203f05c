// Device enumeration and capability queries through the exports, on the
// virtual driver. A test that shapes the one enumeration a process makes (by
// faults or devices set before the first device call) runs itself in a
// process of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "host/Library.h"
#include "host/Process.h"
#include "host/TestHost.h"
#include "host/VirtualDriver.h"

namespace {

using testhost::library;
using testhost::virtualDriver;

// What SoundDeviceInfo reports of a device: its result and every output.
struct Info {
    int32_t result = 0;
    std::string name;
    std::vector<int32_t> channels, bits;
    double minRate = 0, maxRate = 0;
    bool operator==(const Info&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Info& i) {
    return out << i.result << " \"" << i.name << "\" channels " << testing::PrintToString(i.channels) << " bits "
               << testing::PrintToString(i.bits) << " rates " << i.minRate << "-" << i.maxRate;
}

// A report of nothing but a result and a name: no channels, sizes or rates.
Info bare(int32_t result, const char* name = "") { return {result, name, {}, {}, 0, 0}; }

// Every output starts with a value the library must replace.
Info deviceInfo(int32_t index, bool input) {
    Info info{-1, "", {}, {}, -1, -1};
    auto channels = testhost::makeInt32Array({99, 99});
    auto bits = testhost::makeInt32Array({99});
    auto name = testhost::makeString("previous");
    uint8_t flag = input;
    info.result = library()->SoundDeviceInfo(index, &flag, channels.get(), bits.get(), &info.minRate,
                                             &info.maxRate, name.get());
    info.channels = testhost::readInt32Array(channels.get());
    info.bits = testhost::readInt32Array(bits.get());
    info.name = testhost::readString(name.get());
    return info;
}

int32_t numDevices(bool input) {
    uint8_t flag = input;
    int32_t count = -1;
    EXPECT_EQ(library()->SoundNumDevices(&flag, &count), 0);
    return count;
}

// The test shapes the process's one enumeration: it runs again in a new
// process of this program, and passes there or fails here.
#define IN_A_NEW_PROCESS()                                                                             \
    if (std::getenv("TW_DEVICE_TEST_CHILD") == nullptr) {                                              \
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();                    \
        const testhost::ProcessResult child =                                                          \
            testhost::runProcess({testhost::programPath(), std::string("--gtest_filter=") +           \
                                                        test->test_suite_name() + "." + test->name()}, \
                                 {"TW_DEVICE_TEST_CHILD=1"});                                          \
        EXPECT_EQ(child.status, 0) << child.out;                                                       \
        return;                                                                                        \
    }

class Devices : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(virtualDriver().loaded());
        ASSERT_TRUE(library().loaded()) << library().error();
    }
};

TEST_F(Devices, DefaultVirtualDevicesSkipThePrimaryEntry) {
    EXPECT_EQ(numDevices(false), 2);
    EXPECT_EQ(numDevices(true), 2);
    EXPECT_EQ(deviceInfo(0, false), (Info{0, "Virtual Output 1", {1, 2}, {8, 16}, 100.0, 200000.0}));
    EXPECT_EQ(deviceInfo(1, false), (Info{0, "Virtual Output 2", {2}, {16}, 8000.0, 48000.0}));
    EXPECT_EQ(deviceInfo(0, true), (Info{0, "Virtual Input 1", {1, 2}, {8, 16}, 11025.0, 96000.0}));
    EXPECT_EQ(deviceInfo(1, true), (Info{0, "Virtual Input 2", {1, 2}, {16}, 44100.0, 44100.0}));
}

// A missing index empties every output, the name too; null outputs are
// skipped; a host's failed resize of the name is the result.
TEST_F(Devices, MissingIndexNullOutputsAndAFailedNameResize) {
    for (bool input : {false, true})
        for (int32_t index : {2, -1, 1 << 30}) EXPECT_EQ(deviceInfo(index, input), bare(4800)) << index;
    uint8_t flag = 0;
    EXPECT_EQ(library()->SoundNumDevices(&flag, nullptr), 0);
    EXPECT_EQ(library()->SoundNumDevices(nullptr, nullptr), 0);
    EXPECT_EQ(library()->SoundDeviceInfo(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(library()->SoundDeviceInfo(7, &flag, nullptr, nullptr, nullptr, nullptr, nullptr), 4800);
    auto name = testhost::makeString("previous");
    testhost::failNextResizes(1, 77);
    EXPECT_EQ(library()->SoundDeviceInfo(0, &flag, nullptr, nullptr, nullptr, nullptr, name.get()), 77);
    EXPECT_EQ(testhost::readString(name.get()), "previous");
}

TEST_F(Devices, CapabilityFailureGives4803AndKeepsTheName) {
    ASSERT_EQ(numDevices(false), 2);
    ASSERT_EQ(virtualDriver().tws_virtual_fault_device(nullptr, TWS_VIRTUAL_DEVICE_CAPS, TWS_E_FAIL, 2), 0);
    EXPECT_EQ(deviceInfo(1, false), bare(4803, "Virtual Output 2"));
    EXPECT_EQ(deviceInfo(0, true), bare(4803, "Virtual Input 1"));
}

TEST_F(Devices, FailedProbeLeavesOthersConsecutive) {
    IN_A_NEW_PROCESS();
    tws_guid out1 = TWS_VIRTUAL_OUTPUT1_GUID_INIT;
    tws_guid in1 = TWS_VIRTUAL_INPUT1_GUID_INIT;
    virtualDriver().tws_virtual_fault_device(&out1, TWS_VIRTUAL_DEVICE_CREATE, TWS_ERR_ALLOCATED, 1);
    virtualDriver().tws_virtual_fault_device(&in1, TWS_VIRTUAL_DEVICE_CAPS, TWS_E_FAIL, 1);
    EXPECT_EQ(numDevices(false), 1);
    EXPECT_EQ(numDevices(true), 1);
    EXPECT_EQ(deviceInfo(0, false).name, "Virtual Output 2");
    EXPECT_EQ(deviceInfo(0, true).name, "Virtual Input 2");
    EXPECT_EQ(deviceInfo(1, false).result, 4800);
}

TEST_F(Devices, FailedEnumerationLeavesNoDevicesForTheProcess) {
    IN_A_NEW_PROCESS();
    virtualDriver().tws_virtual_fault_enumeration(TWS_VIRTUAL_CAPTURE, TWS_E_FAIL);
    EXPECT_EQ(numDevices(false), 0) << "a failure in either direction empties both tables";
    EXPECT_EQ(numDevices(true), 0);
    virtualDriver().tws_virtual_clear_faults();
    EXPECT_EQ(numDevices(false), 0) << "enumeration is not retried";
    double rate = 44100;
    int32_t channels = 2, bits = 16;
    TaskRefnum refnum = 3;
    EXPECT_EQ(library()->SOConfigure(0, 1024, &rate, &channels, &bits, 0, &refnum), 4800);
    EXPECT_EQ(refnum, -1);
}

TEST_F(Devices, OnlyPrimaryEntriesMeanNoDevices) {
    IN_A_NEW_PROCESS();
    ASSERT_EQ(virtualDriver().tws_virtual_set_devices(nullptr, 0), 0);
    EXPECT_EQ(numDevices(false), 0);
    EXPECT_EQ(numDevices(true), 0);
}

TEST_F(Devices, CaptureRateRangeSpansTheFormatGroups) {
    IN_A_NEW_PROCESS();
    constexpr uint32_t kMono8 = TWS_CAPS_PRIMARYMONO | TWS_CAPS_PRIMARY8BIT;
    // clang-format off
    const tws_virtual_device devices[] = {
        {TWS_VIRTUAL_CAPTURE, TWS_VIRTUAL_INPUT1_GUID_INIT, "Edges", 0, 0, 0, TWS_FORMAT_1M08 | TWS_FORMAT_96S16, 3, 0},
        {TWS_VIRTUAL_CAPTURE, TWS_VIRTUAL_INPUT2_GUID_INIT, "No standard formats", 0, 0, 0, 0xFFF00000, 0xFFFFFFFF, 0},
        {TWS_VIRTUAL_OUTPUT, TWS_VIRTUAL_OUTPUT1_GUID_INIT, "Mono 8",
         TWS_CAPS_SECONDARYMONO | TWS_CAPS_SECONDARY8BIT | kMono8, 4000, 22050, 0, 0, 0},
        {TWS_VIRTUAL_OUTPUT, TWS_VIRTUAL_OUTPUT2_GUID_INIT, "Low group only", kMono8, 4000, 22050, 0, 0, 0}};
    // clang-format on
    ASSERT_EQ(virtualDriver().tws_virtual_set_devices(devices, 4), 0);
    // The low flag group alone (0x1, 0x4) says nothing of channels or sizes.
    EXPECT_EQ(deviceInfo(0, true), (Info{0, "Edges", {1, 2, 3}, {8, 16}, 11025.0, 96000.0}));
    EXPECT_EQ(deviceInfo(0, false), (Info{0, "Mono 8", {1}, {8}, 4000.0, 22050.0}));
    EXPECT_EQ(deviceInfo(1, false), (Info{0, "Low group only", {}, {}, 4000.0, 22050.0}));
    Info none = deviceInfo(1, true);
    EXPECT_LE(none.channels.size(), 256u) << "a bogus channel count must not size a huge array";
    none.channels.clear();
    EXPECT_EQ(none, bare(0, "No standard formats"));
}

TEST_F(Devices, RacingFirstCallsSeeOneEnumeration) {
    std::vector<std::thread> threads;
    std::vector<int32_t> counts(8, -1);
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&, i] {
            uint8_t flag = i % 2;
            library()->SoundNumDevices(&flag, &counts[i]);
        });
    }
    for (auto& t : threads) t.join();
    for (int i = 0; i < 8; ++i) EXPECT_EQ(counts[i], 2) << i;
}

}  // namespace
