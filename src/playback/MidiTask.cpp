#include "playback/MidiTask.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/ErrorCodes.h"
#include "core/Trace.h"
#include "platform/File.h"
#include "platform/Thread.h"
#include "playback/DirectMusicContext.h"
#include "playback/LoadedSegment.h"

namespace tw {

namespace {

constexpr size_t kPathBuffer = 1024;
// Longest path the engine takes (a 260-character buffer with its terminator).
constexpr size_t kMaxPath = TWM_MAX_PATH;
constexpr uint32_t kPollMs = 20;
constexpr uint32_t kPausePollMs = 5;
// Added to a segment's playing time when bounding the wait in start.
constexpr uint32_t kStartLatencyMs = 1000;

}  // namespace

DM::DM(SoundDevice* device, const char* path) { configureStatus_ = configure(device, path); }

DM::~DM() { shutdown(); }

std::shared_ptr<LoadedSegment> DM::segment() {
    std::lock_guard<std::mutex> lock(segmentMutex_);
    return segment_;
}

int32_t DM::configure(SoundDevice*, const char* path) {
    trace("DM::configure");
    DirectMusicContext& context = DirectMusicContext::instance();
    context.collectGarbage();
    if (!path || !*path) return err::kPath;

    char file[kPathBuffer];
    std::strncpy(file, path, kPathBuffer - 1);
    file[kPathBuffer - 1] = '\0';
    if (std::strlen(file) > kMaxPath) return err::kPath;
    char directory[kPathBuffer];
    std::memcpy(directory, file, kPathBuffer);
    if (char* slash = platform::lastSeparator(directory)) *slash = '\0';
    if (context.setSearchDirectory(directory) < 0) return err::kPath;

    bool isMidi = std::strstr(file, ".mid") || std::strstr(file, ".rmi");
    std::shared_ptr<LoadedSegment> loaded;
    int32_t r = LoadedSegment::create(file, true, isMidi, loaded);
    if (loaded) {
        std::lock_guard<std::mutex> lock(segmentMutex_);
        segment_ = loaded;
    }
    if (r < 0 || !loaded) return err::kFile;
    if (loaded->setRepeats(0) < 0) return err::kDevice;
    setVolume(100);
    return err::kOk;
}

int32_t DM::getFormat(double* sampleRate, int32_t* channels, int32_t* bitsPerSample, uint16_t* typeCode) {
    if (sampleRate) *sampleRate = TWM_SYNTH_RATE;
    if (channels) *channels = TWM_SYNTH_CHANNELS;
    if (bitsPerSample) *bitsPerSample = TWM_SYNTH_BITS;
    if (typeCode) *typeCode = TW_TYPE_I16;
    return err::kOk;
}

int32_t DM::shutdown() {
    std::shared_ptr<LoadedSegment> loaded;
    {
        std::lock_guard<std::mutex> lock(segmentMutex_);
        loaded.swap(segment_);
    }
    if (loaded) {
        loaded->stop();
        loaded.reset();  // freed here unless an operation in progress still holds it
    }
    DirectMusicContext::instance().collectGarbage();
    volume_ = 0;
    return err::kOk;
}

int32_t DM::getStateDesc(char* text) {
    std::strcpy(text, isRunning() ? "IsPlaying= T" : "IsPlaying= F");
    return err::kOk;
}

int32_t DM::isRunning() {
    std::shared_ptr<LoadedSegment> loaded = segment();
    return loaded && loaded->isPlaying() ? 1 : 0;
}

int32_t DM::write(TwArrayHandle, double, uint16_t) { return err::kArgument; }

int32_t DM::start() {
    std::shared_ptr<LoadedSegment> loaded = segment();
    if (!loaded || loaded->play() < 0) return err::kDevice;
    // A segment that is over before the first poll would never be seen
    // playing: give up after its playing time and a margin.
    uint32_t limit = loaded->durationMs() + kStartLatencyMs;
    for (uint32_t elapsed = 0; !loaded->isPlaying() && elapsed < limit; elapsed += kPollMs)
        platform::sleepMs(kPollMs);
    return err::kOk;
}

int32_t DM::stop() {
    std::shared_ptr<LoadedSegment> loaded = segment();
    if (!loaded || loaded->stop() < 0) return err::kDevice;
    // The engine stops at once; stopping again covers a start racing in.
    while (loaded->isPlaying())
        if (loaded->stop() < 0) return err::kDevice;
    if (loaded->setStartPoint(0) < 0) return err::kDevice;
    return err::kOk;
}

int32_t DM::pause() {
    std::shared_ptr<LoadedSegment> loaded = segment();
    if (!loaded || !loaded->isPlaying()) return err::kOk;
    int64_t startPoint = 0;
    if (loaded->getStartPoint(&startPoint) < 0) return err::kDevice;
    if (loaded->stop() < 0) return err::kDevice;
    while (loaded->isPlaying()) platform::sleepMs(kPausePollMs);
    int64_t now = 0;
    if (DirectMusicContext::instance().getTime(&now) < 0) return err::kDevice;
    return err::kOk;
}

int32_t DM::wait(double timeoutSeconds) {
    uint32_t ms = secondsToMs(timeoutSeconds);
    if (timeoutSeconds < 0) {
        while (isRunning()) platform::sleepMs(kPollMs);
        return err::kOk;
    }
    if (timeoutSeconds == 0) return err::kOk;
    uint64_t elapsed = 0;
    while (isRunning() && elapsed < ms) {
        platform::sleepMs(static_cast<uint32_t>(std::min<uint64_t>(kPollMs, ms - elapsed)));
        elapsed += kPollMs;
    }
    return elapsed >= ms ? err::kTimeout : err::kOk;
}

int32_t DM::gainFor(int32_t volume) {
    int32_t v = std::clamp(volume, 0, 100);
    return static_cast<int32_t>((std::pow(10.0, (100 - v) / 100.0) - 1.0) / 9.0 * -10000.0);
}

int32_t DM::setVolume(int32_t volume) {
    if (DirectMusicContext::instance().setMasterVolume(gainFor(volume)) < 0) return err::kWarnVolume;
    volume_ = std::clamp(volume, 0, 100);
    return err::kOk;
}

int32_t DM::getVolume(int32_t* volume) {
    if (!volume) return err::kArgument;
    *volume = volume_;
    return err::kOk;
}

}  // namespace tw
