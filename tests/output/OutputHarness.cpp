#include "OutputHarness.h"

#include <cstring>

#include "host/ThreadHold.h"

namespace outtest {

namespace {
constexpr uint32_t kIdSpan = 30000;
}  // namespace

Task configure(int32_t frames, double rate, int32_t channels, int32_t bits, int32_t mode, int32_t device) {
    Task task;
    task.tap = virtualDriver().tws_virtual_output_count();
    task.rate = rate;
    task.channels = channels;
    task.bits = bits;
    task.result =
        library()->SOConfigure(device, frames, &task.rate, &task.channels, &task.bits, mode, &task.refnum);
    return task;
}

std::vector<uint8_t> heard(const Task& task) { return testhost::readTap(task.tap); }

uint64_t heardBytes(const Task& task) {
    tws_virtual_tap info{};
    return virtualDriver().tws_virtual_tap_info(task.tap, &info) == TWS_OK ? info.total : 0;
}

testhost::ArrayPtr rampBlock(uint32_t first, uint32_t frames) {
    auto array = testhost::makeArray2D(TW_TYPE_I16, 2, static_cast<int32_t>(frames));
    for (uint32_t i = 0; i < frames; ++i) {
        const uint32_t id = first + i;
        testhost::set2D<int16_t>(array.get(), 0, static_cast<int32_t>(i),
                                 static_cast<int16_t>(id % kIdSpan + 1));
        testhost::set2D<int16_t>(array.get(), 1, static_cast<int32_t>(i),
                                 static_cast<int16_t>(id / kIdSpan + 1));
    }
    return array;
}

RampReport checkRamp(const std::vector<uint8_t>& tap, uint32_t count) {
    RampReport report;
    uint32_t next = 0;
    uint64_t silence = 0;
    for (size_t at = 0; at + 4 <= tap.size(); at += 4) {
        int16_t l, r;
        std::memcpy(&l, &tap[at], 2);
        std::memcpy(&r, &tap[at + 2], 2);
        if (l == 0 && r == 0) {
            ++silence;
            continue;
        }
        const uint32_t id = static_cast<uint32_t>(r - 1) * kIdSpan + static_cast<uint32_t>(l - 1);
        if (id != next && report.fault.empty())
            report.fault = "frame " + std::to_string(at / 4) + " carries id " + std::to_string(id) +
                           ", expected " + std::to_string(next);
        if (next == 0)
            report.leadingSilence = silence;
        else if (silence > 0)
            report.silenceBefore[id] = silence;
        silence = 0;
        next = id + 1;
    }
    if (next != count && report.fault.empty())
        report.fault = "heard ids up to " + std::to_string(next) + " of " + std::to_string(count);
    report.trailingSilence = silence;
    return report;
}

void expectRamp(const RampReport& report, const std::set<uint32_t>& starts) {
    EXPECT_EQ(report.fault, "");
    EXPECT_EQ(report.leadingSilence, 0u);
    for (const auto& [id, frames] : report.silenceBefore)
        EXPECT_TRUE(starts.count(id)) << frames << " silent frames inside a block, before id " << id;
}

Pacer::Pacer(std::vector<pid_t> hosts, uint32_t stepFrames) {
    thread_ = std::thread([this, hosts = std::move(hosts), worker = testhost::threadNamed("tw-output"), stepFrames] {
        while (!stop_.load())
            if (testhost::allSleeping(hosts, {worker})) virtualDriver().tws_virtual_advance(stepFrames);
    });
}

Pacer::~Pacer() {
    stop();
}

void Pacer::stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void OutputTest::SetUp() {
    ASSERT_TRUE(library().loaded()) << library().error();
    ASSERT_TRUE(virtualDriver().loaded());
    virtualDriver().tws_virtual_reset();
}

void OutputTest::TearDown() {
    virtualDriver().tws_virtual_reset();
}

}  // namespace outtest
