// Output taps: what each virtual output buffer has played, after its volume.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/Format.h"
#include "tonewell_sound_virtual.h"

namespace tws {

class Tap {
public:
    Tap(uint32_t index, const Format& format, uint64_t limit);

    uint32_t index() const { return index_; }
    const Format& format() const { return format_; }
    // Appends played bytes scaled by the volume; beyond the limit only counts them.
    void append(const uint8_t* data, uint32_t bytes, int32_t volume);
    void info(tws_virtual_tap& out);
    int64_t read(uint64_t offset, void* dest, uint64_t capacity);
    // Moves the oldest whole frames out, making room under the limit.
    int64_t drain(void* dest, uint64_t capacity);
    bool writeWav(const std::string& path);
    // Marks the buffer released; returns the bytes kept.
    uint64_t finish();

private:
    const uint32_t index_;
    const Format format_;
    const uint64_t limit_;
    std::mutex mutex_;
    std::vector<uint8_t> data_;
    uint64_t total_ = 0;
    bool live_ = true;
};

class TapStore {
public:
    static constexpr uint64_t kDefaultLimit = 4u << 20;
    static constexpr uint64_t kReleasedBudget = 64u << 20;

    std::shared_ptr<Tap> open(const Format& format);
    // The buffer is released: write its file and keep it within the budget.
    void close(const std::shared_ptr<Tap>& tap);
    std::shared_ptr<Tap> find(uint32_t index);
    uint32_t count();

    void setDirectory(const std::string& directory);
    void setLimit(uint64_t bytes);
    void clearReleased();
    // Restarts the numbering when no tap is live.
    void restartNumbering();

private:
    struct Entry {
        std::shared_ptr<Tap> tap;
        bool released = false;
        uint64_t kept = 0;
    };

    std::mutex mutex_;
    std::map<uint32_t, Entry> taps_;
    uint32_t next_ = 0;
    uint64_t limit_ = kDefaultLimit;
    std::string directory_;
};

}  // namespace tws
