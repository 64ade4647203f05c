// The capture task's worker: woken by the capture buffer at each quarter and
// when it stops, it moves the new quarters into the array a read is waiting on.
#include <new>

#include "core/ErrorCodes.h"
#include "core/Trace.h"
#include "input/InputConfigurationData.h"
#include "input/QuarterCounter.h"
#include "platform/Thread.h"
#include "platform/Wait.h"

namespace tw {

namespace {

// Runs on the sound system's thread: it only wakes the worker.
void signalEvent(void* event) { static_cast<platform::Event*>(event)->set(); }

}  // namespace

int32_t InputConfigurationData::setNotifications() {
    trace("Input setNotifications");
    if (mNotifyPositions) return err::kOk;
    mhThread = platform::Thread::start([this] { return NotificationProc(); });
    if (!mhThread) return err::kNoMemory;
    mThreadId = mhThread->id();
    if (platform::waitForSingleObject(mhThreadStarted, platform::kInfinite) != platform::kWaitObject0)
        return err::kTimeout;

    const uint32_t quarter = mBufferBytes / 4;
    mNotifyPositions.reset(new (std::nothrow) tws_position_notify[5]);
    if (!mNotifyPositions) return err::kNoMemory;
    for (uint32_t i = 0; i < 4; ++i) mNotifyPositions[i] = {quarter * (i + 1) - 1, signalEvent, &mhNotifyEvent};
    mNotifyPositions[4] = {TWS_BPN_OFFSETSTOP, signalEvent, &mhStopEvent};
    tws_result hr = mBuffer->vtbl->set_notification_positions(mBuffer, 5, mNotifyPositions.get());
    return TWS_FAILED(hr) ? err::kDevice : err::kOk;
}

uint32_t InputConfigurationData::NotificationProc() {
    platform::nameThisThread("tw-capture");
    QuarterCounter counter(mBufferBytes);
    platform::Message message{};
    platform::peekMessage(message, false);  // the queue exists from here on
    mhThreadStarted.release();

    platform::Waitable* const events[] = {&mhNotifyEvent, &mhStopEvent};
    for (bool done = false; !done;) {
        switch (platform::msgWaitForMultipleObjects(events, 2, platform::kInfinite)) {
            case platform::kWaitObject0:
                onQuarterNotification(counter);
                break;
            case platform::kWaitObject0 + 1:
                readCaptured(true);
                done = true;
                break;
            case platform::kWaitObject0 + 2:
                while (platform::peekMessage(message, true))
                    if (message.message == platform::kQuitMessage) done = true;
                break;
            default:
                break;
        }
    }
    return 0;
}

// Quarters are counted from the capture position, not by one expected window
// per wake: a late wake, or notifications folded into one, lose nothing.
void InputConfigurationData::onQuarterNotification(QuarterCounter& counter) {
    uint32_t capturePosition = 0;
    uint32_t readPosition = 0;
    tws_result hr = TWS_OK;
    {
        std::shared_lock lock(mDeviceLock);
        if (!mBuffer) return;
        hr = mBuffer->vtbl->get_current_position(mBuffer, &capturePosition, &readPosition);
    }
    // One position lost is made up at the next quarter (they are counted
    // from the capture position); two in a row fail the capture.
    mPositionFailures = TWS_FAILED(hr) ? mPositionFailures + 1 : 0;
    if (mPositionFailures > 1) failCapture(mapSystemError(hr));
    if (TWS_FAILED(hr)) return;
    const uint32_t expected = counter.nextBoundary();
    const QuarterCounter::Step step = counter.advance(capturePosition);
    if (step.quarters == 0) {
        trace("[FALSE] InputConfigurationData::NotificationProc Event occured with capturePos and nextNotifyPos:",
              capturePosition, expected);
        return;
    }

    platform::waitForSingleObject(mhBufferMutex, platform::kInfinite);
    mBytesFree -= step.bytes;
    trace("[TRUE]  InputConfigurationData::NotificationProc Event occured with readPos and capturePos:", readPosition,
          capturePosition);
    trace("        InputConfigurationData::NotificationProc NumberOfBytesLeftToPlay=",
          static_cast<uint32_t>(mBytesFree));
    // Overrun: the ring came round to data a waiting read has not got yet.
    // A one-shot ring stops when full and is never overwritten.
    if (mContinuous && mBytesFree <= 0 && !mVantorData.isComplete()) {
        stop();
        mError = err::kIncomplete;
    }
    readCaptured(false);
    trace("InputConfigurationData::NotificationProc Event Finished with nextNotifyPos and nextNotifyPosPlusOne :",
          counter.nextBoundary(), (counter.nextBoundary() + counter.quarterBytes()) % mBufferBytes);
    mhBufferMutex.release();
}

// The capture stops with `code`, which sticks; a waiting read gets its array
// back with what it holds, and the code.
void InputConfigurationData::failCapture(int32_t code) {
    platform::waitForSingleObject(mhBufferMutex, platform::kInfinite);
    int32_t current = mError.load();
    if (current <= 0 || current == err::kIncomplete) mError = code;
    {
        std::shared_lock lock(mDeviceLock);
        if (mBuffer) mBuffer->vtbl->stop(mBuffer);
    }
    if (mReadWaiting) {
        if (!mVantorData.isComplete()) mVantorData.finish();
        mhFinishedWithData.release();
    }
    mhBufferMutex.release();
}

}  // namespace tw
