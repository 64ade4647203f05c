// An open sound file: registered with the host's clean-up like a task and
// owned by the sound file registry. Readers and writers derive from it.
#pragma once

#include <cstdint>
#include <mutex>

#include "core/Cleanable.h"
#include "file/WavStream.h"

namespace tw {

// Paths are copied into buffers of this size (at most 1023 characters).
inline constexpr size_t kPathBufferSize = 1024;

class SoundFile : public Cleanable {
public:
    enum Kind : int32_t { kReader = 0, kWriter = 1 };

    SoundFile() = default;
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;

    virtual int32_t getKind() = 0;
    virtual int32_t isReady() { return 0; }
    // mode and offset in sample frames; only readers can seek.
    virtual int32_t seek(int32_t mode, int32_t sampleOffset);
    // Whether the path can be opened this way: 0 or an error code.
    virtual int32_t checkPath(const char* path) = 0;
    // The process exits with no other thread left: a file written to ends up
    // whole, unless a thread died in the middle of a write to it.
    void finishAtExit() {
        if (!mStreamMutex.try_lock()) return;
        mStream.close();
        mStreamMutex.unlock();
    }

    // Error code left by construction; 0 when the file is usable.
    int32_t status() const { return mStatus; }
    uint32_t bitsPerSample() const { return mBitsPerSample; }
    uint32_t channels() const { return mChannels; }
    double sampleRate() const { return mSampleRate; }
    // Bytes of one sample frame, (bits x channels) / 8.
    uint32_t frameBytes() const { return static_cast<uint32_t>(uint64_t{mBitsPerSample} * mChannels / 8); }

protected:
    int32_t mStatus = 0;
    uint32_t mBitsPerSample = 0;
    uint32_t mChannels = 0;
    double mSampleRate = 0.0;
    WavStream mStream;
    // The host's clean-up closes the stream from its own thread, beside a
    // data call that holds the file in its registry: the two take turns.
    std::mutex mStreamMutex;
};

}  // namespace tw
