// Turns files into segments. Relative names are looked up in the search
// directory first. What was read stays in a cache, keyed by the file and its
// identity (device, inode, size, modification time), until it is released
// or collected.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "content/Content.h"
#include "platform/FileSystem.h"
#include "tonewell_music.h"

namespace twm {

class Segment;

class Loader : public twm_loader {
public:
    // Largest file read.
    static constexpr uint64_t kMaxFileBytes = uint64_t{256} << 20;

    Loader();
    ~Loader();
    Loader(const Loader&) = delete;
    Loader& operator=(const Loader&) = delete;

    static Loader* from(twm_loader* l) { return static_cast<Loader*>(l); }

    int32_t setSearchDirectory(const char* directory);
    int32_t load(const char* path, Segment** out);
    int32_t releaseCached(const Segment* segment);
    int32_t collectGarbage();

private:
    struct Cached {
        platform::FileIdentity identity;
        std::shared_ptr<const Content> content;
    };

    std::string resolve(const std::string& path, const std::string& searchDirectory) const;
    void eraseCached(std::map<std::string, Cached>::iterator it);

    std::mutex mutex_;
    std::string searchDirectory_;
    bool haveSearchDirectory_ = false;
    std::map<std::string, Cached> cache_;
};

}  // namespace twm
