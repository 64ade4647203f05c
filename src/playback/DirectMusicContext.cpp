#include "playback/DirectMusicContext.h"

#include <string>

#include "core/ErrorCodes.h"
#include "core/Registries.h"
#include "platform/Module.h"
#include "platform/Thread.h"
#include "platform/Immortal.h"

namespace tw {

std::atomic<uint32_t> startupDelayMs{0};

DirectMusicContext& DirectMusicContext::instance() {
    // Never destroyed: the engine may be playing while the process exits.
    static DirectMusicContext* context = [] {
        auto* c = platform::immortal(new DirectMusicContext());
        uint32_t delay = startupDelayMs.load();
        if (delay > 0) platform::sleepMs(delay);
        return c;
    }();
    return *context;
}

DirectMusicContext::DirectMusicContext() {
    // The engine module ships with the library; it stays loaded for good.
    const std::string path = platform::companionModulePath(
        reinterpret_cast<const void*>(&DirectMusicContext::instance), TONEWELL_MODULE_SUBDIR, TWM_MODULE_FILE);
    platform::ModuleHandle module = platform::loadModule(path.c_str());
    if (module) detachBeforeModuleTeardown();
    auto createLoader =
        reinterpret_cast<twm_loader_create_fn>(platform::findSymbol(module, TWM_ENTRY_LOADER_CREATE));
    auto createPerformance =
        reinterpret_cast<twm_performance_create_fn>(platform::findSymbol(module, TWM_ENTRY_PERFORMANCE_CREATE));
    // Nobody examines these outcomes: later calls fail on the missing objects.
    if (!createLoader || createLoader(&loader_) != TWM_OK) {
        loader_ = nullptr;
        return;
    }
    if (!createPerformance || createPerformance(&performance_) != TWM_OK) {
        performance_ = nullptr;
        return;
    }
    performance_->vtbl->init_audio(performance_);
}

int32_t DirectMusicContext::collectGarbage() {
    return loader_ ? loader_->vtbl->collect_garbage(loader_) : hr::kNotInitialized;
}

int32_t DirectMusicContext::setSearchDirectory(const char* directory) {
    return loader_ ? loader_->vtbl->set_search_directory(loader_, directory) : hr::kNotInitialized;
}

int32_t DirectMusicContext::loadObjectFromFile(const char* path, twm_segment** out) {
    return loader_ ? loader_->vtbl->load_segment(loader_, path, out) : hr::kNotInitialized;
}

int32_t DirectMusicContext::releaseObject(twm_segment* segment) {
    return loader_ ? loader_->vtbl->release_cached(loader_, segment) : hr::kNotInitialized;
}

int32_t DirectMusicContext::setMasterVolume(int32_t gain) {
    return performance_ ? performance_->vtbl->set_master_volume(performance_, gain) : hr::kNotInitialized;
}

int32_t DirectMusicContext::getTime(int64_t* musicTime) {
    return performance_ ? performance_->vtbl->get_time(performance_, musicTime) : hr::kNotInitialized;
}

}  // namespace tw
