// The process-wide music engine context: the engine module, its loader and
// its performance. Created on the first MIDI task, never destroyed. Each
// forwarder answers "not initialised" when its object could not be made, so
// a missing engine shows as failing calls later on.
#pragma once

#include <atomic>
#include <cstdint>

#include "tonewell_music.h"

namespace tw {

// Milliseconds to sleep right after the context has been created.
extern std::atomic<uint32_t> startupDelayMs;

class DirectMusicContext {
public:
    // The context, created on the first call (exactly once, even when first
    // calls race).
    static DirectMusicContext& instance();

    twm_loader* loader() const { return loader_; }
    twm_performance* performance() const { return performance_; }

    int32_t collectGarbage();
    int32_t setSearchDirectory(const char* directory);
    int32_t loadObjectFromFile(const char* path, twm_segment** out);
    int32_t releaseObject(twm_segment* segment);
    int32_t setMasterVolume(int32_t gain);
    int32_t getTime(int64_t* musicTime);

private:
    DirectMusicContext();

    twm_loader* loader_ = nullptr;
    twm_performance* performance_ = nullptr;
};

}  // namespace tw
