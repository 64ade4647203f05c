#include "core/Loader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

namespace {

bool isDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

int32_t readWhole(int fd, uint64_t size, std::vector<uint8_t>& bytes) {
    bytes.resize(size);
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd, bytes.data() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    return done == size ? TWM_OK : TWM_E_BADFILE;
}

}  // namespace

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
    if (!isDirectory(dir)) return TWM_E_BADPATH;
    std::lock_guard<std::mutex> lock(mutex_);
    searchDirectory_ = directory;
    haveSearchDirectory_ = true;
    return TWM_OK;
}

std::string Loader::resolve(const std::string& path, const std::string& searchDirectory) const {
    if (path[0] == '/' || !haveSearchDirectory_) return path;
    std::string inDirectory = searchDirectory + "/" + path;
    return exists(inDirectory) ? inDirectory : path;
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
    // Non-blocking, so that a named pipe cannot hold the caller; only regular files are read.
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? TWM_E_FILENOTFOUND : TWM_E_BADFILE;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > kMaxFileBytes) {
        ::close(fd);
        return TWM_E_BADFILE;
    }
    Identity identity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                      static_cast<uint64_t>(st.st_size),
                      int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec};

    std::shared_ptr<const Content> content;
    auto cached = cache_.find(file);
    if (cached != cache_.end() && cached->second.identity == identity) {
        content = cached->second.content;
    } else {
        int32_t r;
        try {
            std::vector<uint8_t> bytes;
            r = readWhole(fd, identity.size, bytes);
            if (r == TWM_OK) r = parseContent(std::move(bytes), content);
        } catch (const std::bad_alloc&) {
            r = TWM_E_OUTOFMEMORY;
        }
        if (r != TWM_OK) {
            ::close(fd);
            return r;
        }
        if (cached != cache_.end()) eraseCached(cached);
        cache_[file] = Cached{identity, content};
        liveCounts().cached++;
    }
    ::close(fd);
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
