// Output task: getting a host block into the ring (write, writeChunk) and
// the silence that follows it.
#include <algorithm>
#include <cstring>

#include "convert/SampleConverter.h"
#include "core/ErrorCodes.h"
#include "core/Trace.h"
#include "output/OutputConfigurationData.h"
#include "platform/Wait.h"

namespace tw {

int32_t OutputConfigurationData::write(TwArrayHandle data, double timeoutSeconds, uint16_t typeCode) {
    trace("write");
    if (int32_t e = mError.load(); e > 0) return e;
    if (!hasData(data)) return err::kOk;
    {
        std::shared_lock lock(mDeviceLock);
        if (!mBuffer) return err::kFormat;
    }
    // A type without a converter would count frames it never wrote.
    if (!isSampleType(typeCode)) return err::kGeneric;
    if (!fitsHostBlock(data, typeCode)) return err::kArgument;
    if (platform::waitForSingleObject(mhWriteGate, secondsToMs(timeoutSeconds)) != platform::kWaitObject0)
        return err::kTimeout;

    int32_t status = err::kOk;
    int32_t chunkStatus = err::kOk;
    bool awaitBlock = false;
    if (platform::waitForSingleObject(mhBufferMutex, platform::kInfinite) != platform::kWaitObject0) {
        status = err::kNoMemory;
        trace("***Could not get mutex");
    } else {
        std::shared_lock lock(mDeviceLock);
        if (mShutDown || !mBuffer) {
            status = err::kFormat;
        } else {
            mVantorData.attach(data, typeCode);
            mBlockStatus = err::kOk;
            if (!mContinuous) {
                chunkStatus = writeChunk();
                if (!mVantorData.isComplete()) status = err::kIncomplete;
                mVantorData.detach();
            } else {
                mFirstWrite = false;
                // What the previous block still owed lies where this one goes.
                mSilenceToWrite = mSilenceWritten = mSilenceBeforeRelease = 0;
                mWriteWaiting = true;
                mWriteOutcome = err::kOk;
                if (!playing()) {
                    mhMoreDataEvent.set();
                } else {
                    // What fits goes in now: a block that comes before the cursor
                    // reaches the end of the previous one follows it without a
                    // gap. The worker writes the rest at the next quarters.
                    // A lost buffer is left to the worker, which restores it.
                    const int32_t s = writeChunk();
                    if (s > 0 && s != err::kIncomplete && !lost()) failStream(s);
                }
                awaitBlock = true;
            }
        }
        lock.unlock();
        mhBufferMutex.release();
    }
    if (awaitBlock) {
        trace("OutputConfigurationData::write() waiting for mhFinishedWithData (mVantorData needs to be "
              "consumed)<<<<<<<<<<<<<<<<<<<<<<<");
        if (platform::waitForSingleObject(mhFinishedWithData, platform::kInfinite) == platform::kWaitObject0) {
            trace("OutputConfigurationData::write() has detected that mVantorData is consumed and we are safe to "
                  "return to Vantor.");
            status = mWriteOutcome.load();
            chunkStatus = mBlockStatus.load();
        } else {
            status = err::kTimeout;
        }
    }
    mhWriteGate.release();

    if (status == err::kOk && chunkStatus != err::kOk) status = chunkStatus;
    // The end of the data is reported once, by the first write that finds it
    // when it returns (also when its own block ran out on its way out); a
    // write with another result leaves it to the next one.
    int32_t ended = err::kWarnPlaybackEnded;
    if (status == err::kOk && mError.compare_exchange_strong(ended, err::kOk)) return err::kWarnPlaybackEnded;
    return status;
}

int32_t OutputConfigurationData::writeChunk() {
    trace("OutputConfigurationData::writeChunk()");
    if (!mBuffer) return err::kBadRefnum;
    const bool hasBlock = !mVantorData.isComplete();
    if (!hasBlock && mSilenceToWrite == 0) {
        trace("OutputConfigurationData::writeChunk(): has nothing to write");
        return err::kOk;
    }
    trace("OutputConfigurationData::writeChunk(): Truly writing writeChunk");
    uint32_t gap = 0;
    uint32_t avail = 0;
    if (hasBlock) {
        gap = lateGap();
        avail = mBufferBytes - static_cast<uint32_t>(std::max<int64_t>(0, int64_t{mNumBytesInBufferToPlay} + gap));
        trace("OutputConfigurationData::writeChunk() bytesAvailInDSBuffer is ", avail);
        if (avail == 0) return err::kIncomplete;
    }

    // The whole ring from offset 0; every range below wraps by itself.
    void* p1 = nullptr;
    void* p2 = nullptr;
    uint32_t s1 = 0, s2 = 0;
    if (mBuffer->vtbl->lock(mBuffer, 0, mBufferBytes, &p1, &s1, &p2, &s2, TWS_BLOCK_ENTIREBUFFER) < 0)
        return err::kNoMemory;
    if (!p1 || s1 != mBufferBytes) {
        mBuffer->vtbl->unlock(mBuffer, p1, s1, p2, s2);
        return err::kNoMemory;
    }
    auto* ring = static_cast<uint8_t*>(p1);
    int32_t status = err::kOk;
    if (hasBlock) {
        placeData(ring, gap);
        status = copyData(ring, static_cast<uint32_t>(std::min<uint64_t>(mVantorData.bytesRemaining(), avail)));
        if (mVantorData.isComplete()) {
            mVantorData.detach();
            oweSilence();
        }
    }
    if (mVantorData.isComplete() && mSilenceToWrite > 0) writeOwedSilence(ring);
    mBuffer->vtbl->unlock(mBuffer, p1, s1, p2, s2);

    // A buffer that will not play would never take the rest of the block.
    if (!playing() && mError.load() <= 0) {
        if (int32_t played = play(); played != err::kOk && status <= 0) status = played;
    }
    if (!mVantorData.isComplete()) {
        trace("OutputConfigurationData::writeChunk(): Not finished.  mVantorData.bytesRemaining()",
              static_cast<uint32_t>(mVantorData.bytesRemaining()));
    } else if (mWriteWaiting && mSilenceWritten >= mSilenceBeforeRelease) {
        trace("OutputConfigurationData::writeChunk(): mVantorData Buffer consumed so releasing mhFinishedWithData. "
              ">>>>>>>>>>>>>>>>>");
        releaseWriter(err::kOk);
    }
    return status;
}

// Data must not land behind the play cursor: once it has passed mWritePos
// (the previous block ended inside the quarter being played, or the worker
// was late), the block starts at the write cursor instead.
uint32_t OutputConfigurationData::lateGap() {
    uint32_t playPos = 0, writePos = 0;
    if (mBuffer->vtbl->get_current_position(mBuffer, &playPos, &writePos) < 0) return 0;
    const uint32_t safe = playing() ? writePos : playPos;
    const int64_t ahead = mRing.distance(mRing.boundary(mQuarterIndex), safe);
    return mNumBytesInBufferToPlay >= ahead ? 0 : static_cast<uint32_t>(ahead - mNumBytesInBufferToPlay);
}

// The gap plays silence and counts as written, so the bytes to play stay true
// and the end of the data is still found.
void OutputConfigurationData::placeData(uint8_t* ring, uint32_t gap) {
    if (gap == 0) return;
    const uint32_t quarterStart = mRing.boundary(mQuarterIndex);
    const int64_t ahead = int64_t{mNumBytesInBufferToPlay} + gap;
    if (mNumBytesInBufferToPlay >= 0)
        fill(ring, mWritePos, gap);
    else
        fill(ring, quarterStart, static_cast<uint32_t>(ahead));
    mWritePos = mRing.advance(quarterStart, static_cast<uint64_t>(ahead));
    mNumBytesInBufferToPlay = static_cast<int32_t>(ahead);
}

int32_t OutputConfigurationData::copyData(uint8_t* ring, uint32_t bytes) {
    const uint32_t frameBytes = mVantorData.frameBytes();
    const uint32_t len1 = std::min(bytes, mBufferBytes - mWritePos);
    const uint32_t len2 = bytes - len1;
    uint32_t frames = 0;
    int32_t status = mVantorData.copyToDevice(ring + mWritePos, len1, frames);
    mNumBytesInBufferToPlay += static_cast<int32_t>(frames * frameBytes);
    trace("OutputConfigurationData::writeChunk(): Wrote to range (1): BytesWritten and mNumBytesInBufferToPlay", len1,
          static_cast<uint32_t>(mNumBytesInBufferToPlay));
    mWritePos = mRing.advance(mWritePos, frames * frameBytes);
    if (len2 > 0 && mWritePos == 0) {
        frames = 0;
        int32_t status2 = mVantorData.copyToDevice(ring, len2, frames);
        mNumBytesInBufferToPlay += static_cast<int32_t>(frames * frameBytes);
        trace("OutputConfigurationData::writeChunk(): Wrote to range (2): BytesWritten and mNumBytesInBufferToPlay",
              len2, static_cast<uint32_t>(mNumBytesInBufferToPlay));
        if (status == err::kOk) status = status2;
        mWritePos = mRing.advance(mWritePos, frames * frameBytes);
    }
    if (status != err::kOk && mBlockStatus.load() == err::kOk) mBlockStatus = status;
    return status;
}

void OutputConfigurationData::oweSilence() {
    mSilenceWritten = 0;
    if (!mContinuous) {
        // The rest of a one-shot ring is unused until stop: silence it, so
        // nothing played before can follow this block.
        mSilenceBeforeRelease = 0;
        mSilenceToWrite = mBufferBytes - static_cast<uint32_t>(std::max(mNumBytesInBufferToPlay, 0));
        return;
    }
    // Silence up to the next quarter boundary, where the end of the data is
    // seen, then one quarter more: the cursor plays it until the worker has
    // stopped the buffer, and it must not be old data.
    const uint32_t q = mRing.quarterOf(mWritePos);
    const uint32_t toBoundary = mWritePos == mRing.boundary(q) ? 0 : mRing.boundary(q + 1) - mWritePos;
    mSilenceBeforeRelease = toBoundary;
    mSilenceToWrite = toBoundary + mRing.quarterSize(toBoundary == 0 ? q : (q + 1) % 4);
}

// Only into ring space that holds no data still to play.
void OutputConfigurationData::writeOwedSilence(uint8_t* ring) {
    const int64_t used = std::max<int64_t>(mNumBytesInBufferToPlay, 0) + mSilenceWritten;
    if (used >= mBufferBytes) return;
    const uint32_t count = static_cast<uint32_t>(std::min<int64_t>(mSilenceToWrite, mBufferBytes - used));
    fill(ring, mRing.advance(mWritePos, mSilenceWritten), count);
    trace("OutputConfigurationData::writeChunk(): Wrote this many bytes of silence:", count);
    mSilenceToWrite -= count;
    mSilenceWritten += count;
}

void OutputConfigurationData::fill(uint8_t* ring, uint32_t offset, uint32_t count) {
    const uint8_t silence = mVantorData.bytesPerSample() == 1 ? 0x80 : 0x00;
    const uint32_t first = std::min(count, mBufferBytes - offset);
    std::memset(ring + offset, silence, first);
    std::memset(ring, silence, count - first);
}

void OutputConfigurationData::releaseWriter(int32_t outcome) {
    mWriteWaiting = false;
    mWriteOutcome = outcome;
    mhFinishedWithData.release();
}

void OutputConfigurationData::abortWriter() {
    if (!mWriteWaiting) return;
    const bool consumed = mVantorData.isComplete();
    mVantorData.detach();
    releaseWriter(consumed ? err::kOk : err::kIncomplete);
}

void OutputConfigurationData::failStream(int32_t status) {
    if (mError.load() <= 0) mError = status;
    // Nothing refills the ring any more: it must not play its last lap again.
    if (mBuffer) halt();
    if (mWriteWaiting) {
        mVantorData.detach();
        releaseWriter(status);
    }
}

}  // namespace tw
