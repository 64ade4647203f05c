// Play cursors, write cursor, one-shot end, looping, notifications and
// status on the manual clock, where every movement is exact.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SoundModule.h"

namespace soundtest {
namespace {

class PlaybackTest : public SoundTest {
protected:
    // Mono 16-bit at 1000 Hz: one frame is 2 bytes, 10 ms is 10 frames.
    void SetUp() override {
        SoundTest::SetUp();
        events.clear();
        ASSERT_EQ(makeBuffer(makeFormat(1, 1000, 16), 400, &b), TWS_OK);  // 200 frames
    }
    uint32_t write() {
        uint32_t w = 0;
        EXPECT_EQ(b->vtbl->get_current_position(b, nullptr, &w), TWS_OK);
        return w;
    }
    // Each offset's notification adds its name ("stop" for the stop offset) to `events`.
    static void note(void* name) { events.push_back(*static_cast<std::string*>(name)); }
    void watch(std::vector<uint32_t> offsets) {
        names.clear();
        for (uint32_t offset : offsets) names.push_back(offset == TWS_BPN_OFFSETSTOP ? "stop" : std::to_string(offset));
        std::vector<tws_position_notify> positions;
        for (size_t i = 0; i < offsets.size(); ++i) positions.push_back({offsets[i], note, &names[i]});
        ASSERT_EQ(b->vtbl->set_notification_positions(b, static_cast<uint32_t>(positions.size()), positions.data()),
                  TWS_OK);
    }

    tws_buffer* b = nullptr;
    static inline std::vector<std::string> events;
    std::vector<std::string> names;
};

TEST_F(PlaybackTest, CursorMovesExactlyAsAdvanced) {
    EXPECT_EQ(cursorOf(b), 0u);
    EXPECT_EQ(m.tws_virtual_advance(50), TWS_OK);
    EXPECT_EQ(cursorOf(b), 0u);  // not playing: nothing moves
    ASSERT_EQ(b->vtbl->play(b, 0), TWS_OK);
    EXPECT_EQ(statusOf(b), TWS_BSTATUS_PLAYING);
    ASSERT_EQ(m.tws_virtual_advance(37), TWS_OK);
    EXPECT_EQ(cursorOf(b), 74u);
    EXPECT_EQ(write(), 94u);  // 10 ms ahead
    ASSERT_EQ(m.tws_virtual_advance(100), TWS_OK);
    EXPECT_EQ(cursorOf(b), 274u);
    ASSERT_EQ(b->vtbl->stop(b), TWS_OK);
    EXPECT_EQ(statusOf(b), 0u);
    EXPECT_EQ(write(), 274u);  // stopped: both at the position
    ASSERT_EQ(m.tws_virtual_advance(10), TWS_OK);
    EXPECT_EQ(cursorOf(b), 274u);
    ASSERT_EQ(b->vtbl->play(b, 0), TWS_OK);  // resumes where it stopped
    ASSERT_EQ(m.tws_virtual_advance(1), TWS_OK);
    EXPECT_EQ(cursorOf(b), 276u);
}

TEST_F(PlaybackTest, OneShotStopsAtTheEnd) {
    watch({199, 399, TWS_BPN_OFFSETSTOP});
    ASSERT_EQ(b->vtbl->play(b, 0), TWS_OK);
    ASSERT_EQ(m.tws_virtual_advance(99), TWS_OK);  // cursor at 198: byte 199 not played yet
    EXPECT_TRUE(events.empty());
    ASSERT_EQ(m.tws_virtual_advance(51), TWS_OK);
    EXPECT_EQ(events, (std::vector<std::string>{"199"}));
    ASSERT_EQ(m.tws_virtual_advance(150), TWS_OK);
    EXPECT_EQ(events, (std::vector<std::string>{"199", "399", "stop"}));
    EXPECT_EQ(statusOf(b), 0u);
    EXPECT_EQ(cursorOf(b), 0u);
    ASSERT_EQ(m.tws_virtual_advance(150), TWS_OK);
    EXPECT_EQ(events.size(), 3u);
}

TEST_F(PlaybackTest, LoopingWrapsAndFiresAcrossTheWrap) {
    watch({50, 150, 398, TWS_BPN_OFFSETSTOP});
    ASSERT_EQ(b->vtbl->set_current_position(b, 300), TWS_OK);
    ASSERT_EQ(b->vtbl->play(b, TWS_BPLAY_LOOPING), TWS_OK);
    EXPECT_EQ(statusOf(b), TWS_BSTATUS_PLAYING | TWS_BSTATUS_LOOPING);
    ASSERT_EQ(m.tws_virtual_advance(70), TWS_OK);  // frame 150 -> 20, wrapped
    EXPECT_EQ(cursorOf(b), 40u);
    EXPECT_EQ(events, (std::vector<std::string>{"398"}));
    ASSERT_EQ(m.tws_virtual_advance(450), TWS_OK);  // more than two laps: frame 20 -> 70
    EXPECT_EQ(cursorOf(b), 140u);
    EXPECT_EQ(events, (std::vector<std::string>{"398", "50", "150", "398", "50", "150", "398", "50"}));
    EXPECT_EQ(statusOf(b) & TWS_BSTATUS_PLAYING, TWS_BSTATUS_PLAYING);
    ASSERT_EQ(b->vtbl->stop(b), TWS_OK);
    ASSERT_EQ(m.tws_virtual_flush(), TWS_OK);
    EXPECT_EQ(events.back(), "stop");
    ASSERT_EQ(b->vtbl->stop(b), TWS_OK);  // already stopped: no second stop notice
    ASSERT_EQ(m.tws_virtual_flush(), TWS_OK);
    EXPECT_EQ(events.size(), 9u);
}

TEST_F(PlaybackTest, NotificationRulesFollowTheBufferState) {
    tws_position_notify bad[] = {{400, note, nullptr}};
    EXPECT_EQ(b->vtbl->set_notification_positions(b, 1, bad), TWS_E_INVALIDARG);
    bad[0] = {10, nullptr, nullptr};
    EXPECT_EQ(b->vtbl->set_notification_positions(b, 1, bad), TWS_E_INVALIDARG);
    EXPECT_EQ(b->vtbl->set_notification_positions(b, 1, nullptr), TWS_E_INVALIDARG);
    watch({10});
    ASSERT_EQ(b->vtbl->play(b, 0), TWS_OK);
    EXPECT_EQ(b->vtbl->set_notification_positions(b, 0, nullptr), TWS_ERR_INVALIDCALL);
    b->vtbl->stop(b);
    EXPECT_EQ(b->vtbl->set_notification_positions(b, 0, nullptr), TWS_OK);  // clears
    b->vtbl->set_current_position(b, 0);
    b->vtbl->play(b, 0);
    m.tws_virtual_advance(20);
    EXPECT_TRUE(events.empty());

    tws_buffer* plain = nullptr;
    ASSERT_EQ(makeBuffer(makeFormat(1, 1000, 16), 400, &plain, nullptr, 0), TWS_OK);
    tws_position_notify one[] = {{10, note, nullptr}};
    EXPECT_EQ(plain->vtbl->set_notification_positions(plain, 1, one), TWS_ERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->vtbl->set_volume(plain, -100), TWS_ERR_CONTROLUNAVAIL);
}

TEST_F(PlaybackTest, PositionAndVolumeAreCheckedAndTheWriteCursorWraps) {
    EXPECT_EQ(b->vtbl->set_current_position(b, 400), TWS_E_INVALIDARG);
    EXPECT_EQ(b->vtbl->set_current_position(b, 101), TWS_OK);
    EXPECT_EQ(cursorOf(b), 100u) << "aligned down to a frame";
    ASSERT_EQ(b->vtbl->set_current_position(b, 396), TWS_OK);
    ASSERT_EQ(b->vtbl->play(b, TWS_BPLAY_LOOPING), TWS_OK);
    EXPECT_EQ(write(), 16u);
    void *at = nullptr, *start = nullptr;
    uint32_t n = 0;
    ASSERT_EQ(b->vtbl->lock(b, 0, 4, &start, &n, nullptr, nullptr, TWS_BLOCK_ENTIREBUFFER), TWS_OK);
    ASSERT_EQ(b->vtbl->lock(b, 0, 4, &at, &n, nullptr, nullptr, TWS_BLOCK_FROMWRITECURSOR), TWS_OK);
    EXPECT_EQ(at, static_cast<uint8_t*>(start) + 16);
    // Set and read back through the library: tests/output (ControlTest).
    EXPECT_EQ(b->vtbl->set_volume(b, -10001), TWS_E_INVALIDARG);
    EXPECT_EQ(b->vtbl->set_volume(b, 1), TWS_E_INVALIDARG);
    EXPECT_EQ(b->vtbl->set_volume(b, TWS_BVOLUME_MIN), TWS_OK);
}

// A callback may call back into its own buffer, and even release it.
struct Reentry {
    tws_buffer* buffer;
    int calls = 0;
    static void stopIt(void* c) {
        auto* r = static_cast<Reentry*>(c);
        ++r->calls;
        r->buffer->vtbl->stop(r->buffer);
    }
    static void releaseIt(void* c) {
        auto* r = static_cast<Reentry*>(c);
        ++r->calls;
        r->buffer->vtbl->release(r->buffer);
    }
};

TEST_F(PlaybackTest, CallbacksMayStopOrReleaseTheirBuffer) {
    Reentry stopper{b};
    tws_position_notify at[] = {{99, Reentry::stopIt, &stopper}, {TWS_BPN_OFFSETSTOP, Reentry::stopIt, &stopper}};
    ASSERT_EQ(b->vtbl->set_notification_positions(b, 2, at), TWS_OK);
    ASSERT_EQ(b->vtbl->play(b, TWS_BPLAY_LOOPING), TWS_OK);
    ASSERT_EQ(m.tws_virtual_advance(60), TWS_OK);
    ASSERT_EQ(m.tws_virtual_flush(), TWS_OK);
    EXPECT_EQ(stopper.calls, 2);  // the position, then the stop it caused
    EXPECT_EQ(statusOf(b), 0u);

    tws_buffer* other = nullptr;
    ASSERT_EQ(makeBuffer(makeFormat(1, 1000, 16), 400, &other), TWS_OK);
    forget(other);
    Reentry releaser{other};
    tws_position_notify twice[] = {{10, Reentry::releaseIt, &releaser}, {12, Reentry::releaseIt, &releaser}};
    ASSERT_EQ(other->vtbl->set_notification_positions(other, 2, twice), TWS_OK);
    ASSERT_EQ(other->vtbl->play(other, 0), TWS_OK);
    ASSERT_EQ(m.tws_virtual_advance(20), TWS_OK);
    EXPECT_EQ(releaser.calls, 1);  // released by the first: the second never comes
    tws_virtual_counts counts{};
    m.tws_virtual_live_counts(&counts);
    EXPECT_EQ(counts.buffers, 1u);
    EXPECT_EQ(m.tws_virtual_advance(1), TWS_OK);
}

}  // namespace
}  // namespace soundtest
