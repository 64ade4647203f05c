// The real-time clock: cursor speed, notification timing, thread lifetime,
// and release while a callback runs. (Many buffers used from many threads at
// once: the stress host, under ThreadSanitizer.)
// Tolerances are generous: these run under sanitizers on a shared machine.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "SoundModule.h"

namespace soundtest {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

class RealTimeTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        m.tws_virtual_set_manual_clock(0);
    }
    uint32_t threads() {
        tws_virtual_counts counts{};
        m.tws_virtual_live_counts(&counts);
        return counts.threads;
    }
};

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

TEST_F(RealTimeTest, CursorFollowsTheSampleRateTimesTheSpeed) {
    const double speed = 4.0;
    ASSERT_EQ(m.tws_virtual_set_speed(speed), TWS_OK);
    EXPECT_EQ(m.tws_virtual_get_speed(), speed);
    tws_capture_buffer* b = nullptr;
    // A ring long enough never to wrap during the test: 10 s of audio.
    ASSERT_EQ(makeCapture(makeFormat(1, 11025, 8), 110250, &b), TWS_OK);
    auto start = Clock::now();
    ASSERT_EQ(b->vtbl->start(b, 0), TWS_OK);
    std::this_thread::sleep_for(milliseconds(300));
    const uint32_t captured = cursorOf(b);
    const double elapsed = secondsSince(start);
    EXPECT_LE(captured, elapsed * 11025 * speed + 1);
    EXPECT_GE(captured, (elapsed - 0.1) * 11025 * speed);
    EXPECT_EQ(m.tws_virtual_set_speed(0.0), TWS_E_INVALIDARG);
    EXPECT_EQ(m.tws_virtual_advance(1), TWS_ERR_INVALIDCALL) << "manual steps on the real clock";
    EXPECT_EQ(m.tws_virtual_flush(), TWS_OK);
}

// Waits for the notifications rather than the clock: a loaded machine only
// delays them. They come one per quarter, in ring order, and none before its
// quarter has played.
TEST_F(RealTimeTest, QuarterNotificationsComeInStep) {
    tws_buffer* b = nullptr;
    // 200 ms ring, quarters of 50 ms.
    ASSERT_EQ(makeBuffer(makeFormat(2, 8000, 16), 4 * 1600, &b), TWS_OK);
    struct Log {
        std::mutex mutex;
        std::condition_variable cv;
        std::vector<std::pair<int, Clock::time_point>> notes;
    } log;
    auto note = [](void* c) {
        auto* q = static_cast<std::pair<Log*, int>*>(c);
        std::lock_guard lock(q->first->mutex);
        q->first->notes.emplace_back(q->second, Clock::now());
        q->first->cv.notify_all();
    };
    std::pair<Log*, int> quarters[4];
    tws_position_notify at[4];
    for (int i = 0; i < 4; ++i) {
        quarters[i] = {&log, i};
        at[i] = {1600u * (i + 1) - 1, note, &quarters[i]};
    }
    ASSERT_EQ(b->vtbl->set_notification_positions(b, 4, at), TWS_OK);
    const auto start = Clock::now();
    ASSERT_EQ(b->vtbl->play(b, TWS_BPLAY_LOOPING), TWS_OK);
    constexpr size_t kWanted = 10;
    {
        std::unique_lock lock(log.mutex);
        log.cv.wait_for(lock, std::chrono::seconds(30), [&] { return log.notes.size() >= kWanted; });
    }
    drop(b);  // returns after any running callback
    const auto& notes = log.notes;
    ASSERT_GE(notes.size(), kWanted) << "the notifications stopped coming";
    for (size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(notes[i].first, static_cast<int>(i % 4)) << "out of step at " << i;
        EXPECT_GE(std::chrono::duration<double>(notes[i].second - start).count(), 0.05 * static_cast<double>(i + 1) - 0.001)
            << "notification " << i << " came before its quarter had played";
    }
}

TEST_F(RealTimeTest, ClockThreadLivesOnlyWhileBuffersDo) {
    EXPECT_EQ(threads(), 0u);
    tws_buffer *a = nullptr, *b = nullptr;
    ASSERT_EQ(makeBuffer(makeFormat(1, 1000, 16), 100, &a), TWS_OK);
    EXPECT_EQ(threads(), 1u);
    ASSERT_EQ(makeBuffer(makeFormat(1, 1000, 16), 100, &b), TWS_OK);
    EXPECT_EQ(threads(), 1u);  // one clock for all buffers
    drop(a);
    EXPECT_EQ(threads(), 1u);
    drop(b);
    EXPECT_EQ(threads(), 0u);  // joined with the last buffer
}

TEST_F(RealTimeTest, ReleaseWaitsForARunningCallback) {
    tws_buffer* b = nullptr;
    ASSERT_EQ(makeBuffer(makeFormat(1, 8000, 16), 2 * 80, &b), TWS_OK);  // 10 ms ring
    forget(b);
    // Callbacks entered, running now, and come after the release.
    struct Probe {
        std::atomic<int> entered{0}, running{0}, after{0};
        std::atomic<bool> released{false};
    } probe;
    auto slow = [](void* c) {
        auto* p = static_cast<Probe*>(c);
        if (p->released.load()) p->after.fetch_add(1);
        p->running.store(1);
        p->entered.fetch_add(1);
        std::this_thread::sleep_for(milliseconds(50));
        p->running.store(0);
    };
    tws_position_notify at[] = {{0, slow, &probe}};
    ASSERT_EQ(b->vtbl->set_notification_positions(b, 1, at), TWS_OK);
    ASSERT_EQ(b->vtbl->play(b, TWS_BPLAY_LOOPING), TWS_OK);
    for (auto start = Clock::now(); probe.entered.load() == 0 && secondsSince(start) < 5;)
        std::this_thread::sleep_for(milliseconds(1));
    ASSERT_GT(probe.entered.load(), 0);
    b->vtbl->release(b);
    probe.released.store(true);
    EXPECT_EQ(probe.running.load(), 0);  // release returned after the callback
    std::this_thread::sleep_for(milliseconds(30));
    EXPECT_EQ(probe.after.load(), 0);  // and nothing came afterwards
}

}  // namespace
}  // namespace soundtest
