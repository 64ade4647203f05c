// Output task: the quarter notifications and the worker thread that keeps a
// continuous ring fed.
#include "core/ErrorCodes.h"
#include "core/Trace.h"
#include "output/OutputConfigurationData.h"
#include "platform/MessageQueue.h"
#include "platform/Thread.h"
#include "platform/Wait.h"

namespace tw {

namespace {

constexpr uint32_t kRestoreRetryMs = 20;
constexpr uint32_t kRestoreAttempts = 50;

// Runs on the sound system's thread: only signal the worker.
void notifyCallback(void* event) { static_cast<platform::Event*>(event)->set(); }

}  // namespace

int32_t OutputConfigurationData::setNotifications() {
    trace("Output setNotifications");
    if (mNotificationsSet) return err::kOk;
    for (uint32_t i = 0; i < mNotifyPositions.size(); ++i)
        mNotifyPositions[i] = {mRing.notifyOffset(i), notifyCallback, &mhNotifyEvent};
    if (mBuffer->vtbl->set_notification_positions(mBuffer, static_cast<uint32_t>(mNotifyPositions.size()),
                                                  mNotifyPositions.data()) < 0)
        return err::kDevice;
    mNotificationsSet = true;
    return err::kOk;
}

uint32_t OutputConfigurationData::NotificationProc() {
    trace("OutputConfigurationData::NotificationProc");
    platform::nameThisThread("tw-output");
    // Own a message queue before anybody may post the quit message.
    platform::Message message{};
    platform::peekMessage(message, false);
    mhThreadStarted.release();

    platform::Waitable* const objects[2] = {&mhNotifyEvent, &mhMoreDataEvent};
    bool quit = false;
    while (!quit) {
        const uint32_t woken = platform::msgWaitForMultipleObjects(objects, 2, platform::kInfinite);
        mWakeups.fetch_add(1, std::memory_order_relaxed);
        switch (woken) {
            case platform::kWaitObject0:
                onNotification();
                break;
            case platform::kWaitObject0 + 1:
                onMoreData();
                break;
            case platform::kWaitObject0 + 2:
                while (platform::peekMessage(message, true))
                    if (message.message == platform::kQuitMessage) quit = true;
                break;
            default:
                break;
        }
        if (mShutDown.load()) quit = true;
    }
    return 0;
}

void OutputConfigurationData::onNotification() {
    const bool gone = restoreLost();
    if (platform::waitForSingleObject(mhBufferMutex, platform::kInfinite) != platform::kWaitObject0) return;
    std::shared_lock lock(mDeviceLock);
    if (gone) failStream(mapSystemError(TWS_ERR_BUFFERLOST));
    uint32_t playPos = 0, writePos = 0;
    const tws_result where =
        mBuffer && !gone ? mBuffer->vtbl->get_current_position(mBuffer, &playPos, &writePos) : TWS_OK;
    // One position lost is made up at the next quarter (they are counted from
    // the cursor); by the one after, the cursor would reach unrefilled data.
    mPositionFailures = where < 0 ? mPositionFailures + 1 : 0;
    if (mPositionFailures > 1) failStream(mapSystemError(where));
    if (mBuffer && where >= 0 && !gone) {
        const uint32_t passed = quartersPassed(playPos);
        if (passed == 0) {
            trace("[FALSE] OutputConfigurationData::NotificationProc Event occured with playPos and nextNotifyPos:",
                  playPos, mRing.notifyOffset(mQuarterIndex));
        } else {
            for (uint32_t i = 0; i < passed; ++i) {
                mNumBytesInBufferToPlay -= static_cast<int32_t>(mRing.quarterSize(mQuarterIndex));
                mQuarterIndex = (mQuarterIndex + 1) % 4;
            }
            trace("[TRUE]  OutputConfigurationData::NotificationProc Event occured with playPos and writePos:",
                  playPos, writePos);
            trace("        OutputConfigurationData::NotificationProc NumberOfBytesLeftToPlay=",
                  static_cast<uint32_t>(mNumBytesInBufferToPlay));
            const int32_t status = writeChunk();
            if (status > 0 && status != err::kIncomplete) failStream(status);
            if (mNumBytesInBufferToPlay <= 0 && mVantorData.isComplete()) endOfPlayback();
            trace("OutputConfigurationData::NotificationProc Event Finished with nextNotifyPos and "
                  "nextNotifyPosPlusOne :",
                  mRing.notifyOffset(mQuarterIndex), mRing.notifyOffset((mQuarterIndex + 1) % 4));
        }
    }
    lock.unlock();
    mhBufferMutex.release();
}

// Counted from where the play cursor is, not from how many events arrived: an
// auto-reset event merges notifications that come before the worker wakes,
// and a late wake-up finds the cursor beyond the quarter it expected.
uint32_t OutputConfigurationData::quartersPassed(uint32_t playPos) {
    return (mRing.quarterOf(playPos) + 4 - mQuarterIndex) % 4;
}

void OutputConfigurationData::onMoreData() {
    // A buffer lost while idle comes back before the block goes in.
    const bool gone = restoreLost();
    if (platform::waitForSingleObject(mhBufferMutex, platform::kInfinite) != platform::kWaitObject0) return;
    {
        std::shared_lock lock(mDeviceLock);
        if (gone) failStream(mapSystemError(TWS_ERR_BUFFERLOST));
        if (mBuffer && !mVantorData.isComplete() && mError.load() <= 0) {
            trace("[TRUE]  OutputConfigurationData::NotificationProc write() gave us more data");
            if (!playing()) {
                const int32_t status = writeChunk();
                if (status > 0 && status != err::kIncomplete) failStream(status);
                // A full ring left paused still has to play for the block to get in.
                if (status == err::kIncomplete && !playing()) play();
            }
        }
    }
    mhBufferMutex.release();
}

// Not under the buffer mutex, which stop and pause must always get while the
// worker waits for the device.
bool OutputConfigurationData::restoreLost() {
    std::shared_lock lock(mDeviceLock);
    return mBuffer && restoreBuffer() != err::kOk && lost() && !mShutDown.load();
}

// A device that stays away (its sound server gone) fails the stream after a
// second instead of holding the worker, and a write waiting on it, for good.
int32_t OutputConfigurationData::restoreBuffer() {
    uint32_t status = 0;
    if (!mBuffer || mBuffer->vtbl->get_status(mBuffer, &status) < 0) return err::kArgument;
    if (!(status & TWS_BSTATUS_BUFFERLOST)) return err::kOk;
    tws_result r;
    for (uint32_t attempt = 1; (r = mBuffer->vtbl->restore(mBuffer)) == TWS_ERR_BUFFERLOST &&
                               attempt < kRestoreAttempts && !mShutDown.load();
         ++attempt)
        platform::sleepMs(kRestoreRetryMs);
    return mapSystemError(r);
}

void OutputConfigurationData::endOfPlayback() {
    trace("DirectSound buffer is consumed.  Stopping.");
    stopHeld();
    int32_t current = mError.load();
    while (current <= 0 && !mError.compare_exchange_weak(current, err::kWarnPlaybackEnded)) {
    }
}

}  // namespace tw
