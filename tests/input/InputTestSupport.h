// Shared pieces of the input tests: a fixture that drives capture tasks
// through the exports on the virtual driver, and checks of captured arrays
// against the driver's counter signal (frame n, channel c carries the 16-bit
// value n + 1000 c; 8-bit devices keep its low byte, wider ones put it in the
// top 16 bits).
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "host/Library.h"
#include "host/TestHost.h"
#include "host/ThreadHold.h"
#include "host/VirtualDriver.h"

namespace inputtest {

// The value a host array of `typeCode` holds for frame `frame`, channel
// `channel` captured from a device of `bits` bits.
double expectedSample(uint16_t typeCode, int bits, uint64_t frame, int channel);

// The array is channels x n and holds frames first .. first + n - 1.
::testing::AssertionResult holdsFrames(TwArrayHandle array, uint16_t typeCode, int bits, int channels,
                                       uint64_t first);
// Frame number (mod 65536) in column 0 of a 16-bit capture read as int16.
uint64_t firstFrameOf(TwArrayHandle array);

struct Read {
    int32_t result = -1;
    int32_t total = -1;
    int32_t rows = -1;
    int32_t cols = -1;
    testhost::ArrayPtr array;
};

struct Format {
    double rate = 44100.0;
    int32_t channels = 2;
    int32_t bits = 16;
};

class InputTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const testhost::Exports& api() { return testhost::library().api(); }
    testhost::VirtualDriver& vd() { return testhost::virtualDriver(); }

    // SIConfigure; the task is cleared after the test. `format` gets what the
    // task reports back.
    int32_t configure(TaskRefnum& refnum, int32_t frames, Format& format, int32_t mode = 1, int32_t device = 0);
    // A task that must configure: its refnum.
    TaskRefnum open(int32_t frames, Format format = {}, int32_t mode = 1);

    Read read(TaskRefnum refnum, int32_t samples, double timeoutSeconds = 10.0, uint16_t typeCode = TW_TYPE_I16);
    // Starts a read on a thread of its own and returns once it has attached
    // its array and waits for data; join the thread, then look at `out`.
    std::unique_ptr<testhost::CallThread> waitingRead(TaskRefnum refnum, int32_t samples, Read& out,
                                                      double timeoutSeconds = 10.0);
    void advance(uint64_t frames);

    bool running(TaskRefnum refnum) { return testhost::running(refnum, 1); }

private:
    std::vector<TaskRefnum> tasks_;
};

}  // namespace inputtest
