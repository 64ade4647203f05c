#include "core/Loader.h"

#include <cstring>
#include <new>
#include <vector>

#include "api/Tables.h"
#include "core/Faults.h"
#include "core/LiveCounts.h"
#include "core/Segment.h"
#include "synth/Synth.h"
#include "tonewell_music_control.h"

namespace twm {

Loader::Loader() {
    static const twm_loader_vtbl* table = loaderTable();
    vtbl = table;
    liveCounts().loaders++;
}

Loader::~Loader() {
    liveCounts().cached -= static_cast<uint32_t>(cache_.size());
    liveCounts().loaders--;
}

int32_t Loader::setSearchDirectory(const char* directory) {
    if (int32_t f = injectedFault(TWM_FAULT_SEARCH_DIRECTORY)) return f;
    if (!directory || std::strlen(directory) > TWM_MAX_PATH) return TWM_E_BADPATH;
    std::string dir = *directory ? directory : "/";
    if (!platform::isDirectory(dir)) return TWM_E_BADPATH;
    std::lock_guard<std::mutex> lock(mutex_);
    searchDirectory_ = directory;
    haveSearchDirectory_ = true;
    return TWM_OK;
}

std::string Loader::resolve(const std::string& path, const std::string& searchDirectory) const {
    if (platform::isRooted(path) || !haveSearchDirectory_) return path;
    std::string inDirectory = searchDirectory + "/" + path;
    return platform::exists(inDirectory) ? inDirectory : path;
}

int32_t Loader::load(const char* path, Segment** out) {
    if (!out) return TWM_E_INVALIDARG;
    *out = nullptr;
    if (int32_t f = injectedFault(TWM_FAULT_LOAD)) return f;
    if (!path || !*path) return TWM_E_FILENOTFOUND;
    if (std::strlen(path) > TWM_MAX_PATH) return TWM_E_INVALIDARG;

    std::lock_guard<std::mutex> lock(mutex_);
    std::string searchDirectory = haveSearchDirectory_ ? searchDirectory_ : std::string();
    std::string file = resolve(path, searchDirectory);
    platform::InputFile in;
    if (int32_t r = in.open(file, kMaxFileBytes); r != TWM_OK) return r;
    const platform::FileIdentity& identity = in.identity();

    std::shared_ptr<const Content> content;
    auto cached = cache_.find(file);
    if (cached != cache_.end() && cached->second.identity == identity) {
        content = cached->second.content;
    } else {
        int32_t r;
        try {
            std::vector<uint8_t> bytes;
            r = in.readAll(bytes);
            if (r == TWM_OK) r = parseContent(std::move(bytes), content);
        } catch (const std::bad_alloc&) {
            r = TWM_E_OUTOFMEMORY;
        }
        if (r != TWM_OK) return r;
        if (cached != cache_.end()) eraseCached(cached);
        cache_[file] = Cached{identity, content};
        liveCounts().cached++;
    }
    if (content->kind == TWM_KIND_MIDI && !Synth::available()) return TWM_E_NOSOUNDFONT;
    *out = new Segment(content, file, searchDirectory);
    return TWM_OK;
}

void Loader::eraseCached(std::map<std::string, Cached>::iterator it) {
    cache_.erase(it);
    liveCounts().cached--;
}

int32_t Loader::releaseCached(const Segment* segment) {
    if (!segment) return TWM_E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = cache_.begin(); it != cache_.end(); ++it) {
        if (it->second.content == segment->content()) {
            eraseCached(it);
            return TWM_OK;
        }
    }
    return TWM_FALSE;
}

int32_t Loader::collectGarbage() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = cache_.begin(); it != cache_.end();) {
        auto next = std::next(it);
        if (it->second.content.use_count() == 1) eraseCached(it);
        it = next;
    }
    return TWM_OK;
}

}  // namespace twm
