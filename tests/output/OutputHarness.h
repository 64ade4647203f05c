// Helpers for the output tests: configuring tasks through the exports, the
// sound the virtual driver heard from a task's buffer, and ramp streams whose
// every stereo 16-bit frame carries its own position, so a tap shows whether
// each sample was heard once and in order.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "host/Library.h"
#include "host/TestHost.h"
#include "host/VirtualDriver.h"

namespace outtest {

using testhost::library;
using testhost::virtualDriver;

struct Task {
    int32_t result = -1;
    TaskRefnum refnum = -1;
    uint32_t tap = 0;  // the driver's index of the task's buffer
    double rate = 0;
    int32_t channels = 0;
    int32_t bits = 0;
};

Task configure(int32_t frames, double rate, int32_t channels, int32_t bits, int32_t mode, int32_t device = 0);

// Bytes the play cursor has passed so far, and their count.
std::vector<uint8_t> heard(const Task& task);
uint64_t heardBytes(const Task& task);
using testhost::running;

// Frames [first, first + frames) of the ramp as a 2 x frames int16 array.
testhost::ArrayPtr rampBlock(uint32_t first, uint32_t frames);

struct RampReport {
    std::string fault;  // empty when ids 0..count-1 were heard once each, in order
    uint64_t leadingSilence = 0;
    uint64_t trailingSilence = 0;
    std::map<uint32_t, uint64_t> silenceBefore;  // id -> silent frames heard just before it
};
RampReport checkRamp(const std::vector<uint8_t>& tap, uint32_t count);
// Fails the test unless the ramp is whole and silence precedes only ids in `starts`.
void expectRamp(const RampReport& report, const std::set<uint32_t>& starts);

// Drives the manual clock as a real one would run, but only while the host
// threads sleep and the task's worker waits: a stream then plays in real
// order on any machine, and no host or worker is ever late. A worker in a
// timed sleep of its own (retrying a lost buffer) could wake between a look
// and a step, so the clock waits for it. Stops when it goes out of scope, or
// earlier through stop(): the clock then stands still again.
class Pacer {
public:
    explicit Pacer(std::vector<pid_t> hosts, uint32_t stepFrames = 64);
    ~Pacer();
    void stop();
    Pacer(const Pacer&) = delete;
    Pacer& operator=(const Pacer&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Resets the virtual driver around every test and checks that both modules load.
class OutputTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace outtest
