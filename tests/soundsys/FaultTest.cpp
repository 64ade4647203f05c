// Injected faults: buffer methods failing for the next k calls, lost buffers.
#include <gtest/gtest.h>

#include <functional>

#include "SoundModule.h"

namespace soundtest {
namespace {

class FaultTest : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        ASSERT_EQ(makeBuffer(makeFormat(2, 1000, 16), 4 * 100, &b), TWS_OK);
        ASSERT_EQ(makeCapture(makeFormat(2, 11025, 16), 4 * 100, &cb), TWS_OK);
    }
    tws_buffer* b = nullptr;
    tws_capture_buffer* cb = nullptr;
};

TEST_F(FaultTest, EachBufferMethodFailsForTheNextCalls) {
    void *p1 = nullptr, *p2 = nullptr;
    uint32_t n1 = 0, n2 = 0, u = 0;
    int32_t v = 0;
    tws_wave_format f{};
    tws_buffer* extra = nullptr;
    tws_position_notify none[1] = {};
    struct Case {
        uint32_t method;
        std::function<tws_result()> call;
    } cases[] = {
        {TWS_VIRTUAL_METHOD_CREATE, [&] { return makeBuffer(makeFormat(1, 1000, 8), 10, &extra); }},
        {TWS_VIRTUAL_METHOD_LOCK, [&] { return b->vtbl->lock(b, 0, 4, &p1, &n1, &p2, &n2, 0); }},
        {TWS_VIRTUAL_METHOD_UNLOCK, [&] { return b->vtbl->unlock(b, p1, 4, nullptr, 0); }},
        {TWS_VIRTUAL_METHOD_PLAY, [&] { return b->vtbl->play(b, 0); }},
        {TWS_VIRTUAL_METHOD_STOP, [&] { return b->vtbl->stop(b); }},
        {TWS_VIRTUAL_METHOD_SET_POSITION, [&] { return b->vtbl->set_current_position(b, 8); }},
        {TWS_VIRTUAL_METHOD_GET_POSITION, [&] { return b->vtbl->get_current_position(b, &u, &u); }},
        {TWS_VIRTUAL_METHOD_SET_VOLUME, [&] { return b->vtbl->set_volume(b, -10); }},
        {TWS_VIRTUAL_METHOD_GET_VOLUME, [&] { return b->vtbl->get_volume(b, &v); }},
        {TWS_VIRTUAL_METHOD_SET_NOTIFICATIONS, [&] { return b->vtbl->set_notification_positions(b, 0, none); }},
        {TWS_VIRTUAL_METHOD_GET_STATUS, [&] { return b->vtbl->get_status(b, &u); }},
        {TWS_VIRTUAL_METHOD_GET_FORMAT, [&] { return b->vtbl->get_format(b, &f, sizeof f, nullptr); }},
        {TWS_VIRTUAL_METHOD_RESTORE, [&] { return b->vtbl->restore(b); }},
        {TWS_VIRTUAL_METHOD_START, [&] { return cb->vtbl->start(cb, 0); }},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.method);
        b->vtbl->stop(b);
        cb->vtbl->stop(cb);
        ASSERT_EQ(m.tws_virtual_fault_method(c.method, TWS_VIRTUAL_OUTPUT | TWS_VIRTUAL_CAPTURE,
                                             TWS_ERR_OTHERAPPHASPRIO, 2),
                  TWS_OK);
        EXPECT_EQ(c.call(), TWS_ERR_OTHERAPPHASPRIO);
        EXPECT_EQ(c.call(), TWS_ERR_OTHERAPPHASPRIO);
        EXPECT_EQ(c.call(), TWS_OK);
    }
}

TEST_F(FaultTest, AFailedCallChangesNothingAndFaultsKeepToTheirDirection) {
    m.tws_virtual_fault_method(TWS_VIRTUAL_METHOD_PLAY, TWS_VIRTUAL_OUTPUT, TWS_E_FAIL, 1);
    EXPECT_EQ(b->vtbl->play(b, 0), TWS_E_FAIL);
    EXPECT_EQ(statusOf(b), 0u);
    m.tws_virtual_fault_method(TWS_VIRTUAL_METHOD_SET_POSITION, TWS_VIRTUAL_OUTPUT, TWS_E_FAIL, 1);
    EXPECT_EQ(b->vtbl->set_current_position(b, 40), TWS_E_FAIL);
    EXPECT_EQ(cursorOf(b), 0u);
    // Faults hit only their direction, until cleared.
    m.tws_virtual_fault_method(TWS_VIRTUAL_METHOD_STOP, TWS_VIRTUAL_CAPTURE, TWS_E_FAIL, 5);
    EXPECT_EQ(b->vtbl->stop(b), TWS_OK);
    EXPECT_EQ(cb->vtbl->stop(cb), TWS_E_FAIL);
    m.tws_virtual_clear_faults();
    EXPECT_EQ(cb->vtbl->stop(cb), TWS_OK);
    EXPECT_EQ(m.tws_virtual_fault_method(0, 1, TWS_E_FAIL, 1), TWS_E_INVALIDARG);
    EXPECT_EQ(m.tws_virtual_fault_method(TWS_VIRTUAL_METHOD_COUNT, 1, TWS_E_FAIL, 1), TWS_E_INVALIDARG);
}

TEST_F(FaultTest, LostBufferKeepsPlayingUntilRestored) {
    int quarters = 0;
    tws_position_notify at[] = {{99, [](void* c) { ++*static_cast<int*>(c); }, &quarters}};
    ASSERT_EQ(b->vtbl->set_notification_positions(b, 1, at), TWS_OK);
    ASSERT_EQ(b->vtbl->play(b, TWS_BPLAY_LOOPING), TWS_OK);
    ASSERT_EQ(m.tws_virtual_lose_buffer(b, 2), TWS_OK);
    EXPECT_EQ(statusOf(b), TWS_BSTATUS_PLAYING | TWS_BSTATUS_LOOPING | TWS_BSTATUS_BUFFERLOST);
    void *p1 = nullptr, *p2 = nullptr;
    uint32_t n1 = 0, n2 = 0;
    EXPECT_EQ(b->vtbl->lock(b, 0, 4, &p1, &n1, &p2, &n2, 0), TWS_ERR_BUFFERLOST);
    EXPECT_EQ(b->vtbl->play(b, TWS_BPLAY_LOOPING), TWS_ERR_BUFFERLOST);
    m.tws_virtual_advance(100);
    EXPECT_EQ(quarters, 1);  // its owner still hears from it
    EXPECT_EQ(b->vtbl->restore(b), TWS_ERR_BUFFERLOST);
    EXPECT_EQ(b->vtbl->restore(b), TWS_ERR_BUFFERLOST);
    EXPECT_EQ(b->vtbl->restore(b), TWS_OK);
    EXPECT_EQ(statusOf(b), TWS_BSTATUS_PLAYING | TWS_BSTATUS_LOOPING);
    EXPECT_EQ(b->vtbl->lock(b, 0, 4, &p1, &n1, &p2, &n2, 0), TWS_OK);
    EXPECT_EQ(b->vtbl->restore(b), TWS_OK);  // nothing to restore
    EXPECT_EQ(m.tws_virtual_lose_buffer(reinterpret_cast<tws_buffer*>(cb), 0), TWS_E_INVALIDARG);
}

}  // namespace
}  // namespace soundtest
