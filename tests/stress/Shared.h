// What every calling thread of the stress host shares: the library's
// exports, the refnums in play for each registry, the files to open, and
// the list of problems found.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "host/Library.h"

namespace stress {

using Rng = std::mt19937_64;

// Never handed out: every call naming it must say so (4801), as for -1.
inline constexpr int32_t kNeverIssued = 0x7FFFFF00;
// Marks a call that names no object (configures, opens, device queries).
inline constexpr int32_t kNoRefnum = INT32_MIN;

// The refnums of one registry that the threads share. A thread that makes
// an object puts it in a slot and clears the object it displaces.
class RefnumPool {
public:
    static constexpr size_t kSlots = 8;
    explicit RefnumPool(const char* name);

    const char* name() const { return name_; }
    // A slot's refnum (-1 when empty), now and then one never handed out.
    int32_t pick(Rng& rng) const;
    // Puts `refnum` in a random slot; returns the one it displaced or -1.
    int32_t put(Rng& rng, int32_t refnum);
    // Empties a random slot; returns its refnum or -1.
    int32_t take(Rng& rng);
    int32_t takeSlot(size_t slot) { return slots_[slot].exchange(-1); }
    // Records a refnum handed out; false when it was handed out before.
    bool issue(int32_t refnum);
    std::vector<int32_t> issued();

private:
    const char* name_;
    std::array<std::atomic<int32_t>, kSlots> slots_{};
    std::mutex mutex_;
    std::vector<bool> issued_;
};

class Problems {
public:
    void add(const char* format, ...) __attribute__((format(printf, 2, 3)));
    int count() const { return count_.load(); }

private:
    static constexpr int kPrinted = 40;
    std::atomic<int> count_{0};
    std::mutex mutex_;
};

struct Paths {
    std::string wav;       // a small valid WAV
    std::string midi;      // a small Standard MIDI File
    std::string missing;   // no such file
    std::string directory; // a directory
    std::vector<std::string> written;  // what the writers write (and readers read)
};

struct Shared {
    Shared(const testhost::Exports& exports, Paths files);

    const testhost::Exports& api;
    const Paths paths;
    void* mainProgram;  // the host module the library may be told about
    RefnumPool outputs{"output"};
    RefnumPool inputs{"input"};
    RefnumPool files{"file"};
    Problems problems;
};

}  // namespace stress
