// Abstract open sound file: registered with the host's clean-up like a task,
// owned by the sound file registry.
#pragma once

#include <cstdint>

#include "core/Cleanable.h"

namespace tw {

class SoundFile : public Cleanable {
public:
    SoundFile();
    ~SoundFile() override;
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;

    // 0 for readers, 1 for writers.
    virtual int32_t getKind() = 0;
    virtual int32_t isReady() { return 0; }
    virtual int32_t seek(int32_t mode, int32_t sampleOffset);
    virtual int32_t checkPath(const char* path) = 0;

    int32_t status = 0;
    uint32_t bitsPerSample = 0;
    uint32_t channels = 0;
    double sampleRate = 0.0;
};

}  // namespace tw
