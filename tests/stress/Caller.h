// One calling thread of the stress host: it calls the exports at random on
// the shared refnums and checks each result.
#pragma once

#include <array>
#include <atomic>
#include <bitset>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "Shared.h"
#include "Watchdog.h"
#include "core/ErrorCodes.h"
#include "host/TestHost.h"

namespace stress {

enum Export {
#define TW_EXPORT_FN(name) k##name,
#include "tonewell_exports.inc"
#undef TW_EXPORT_FN
    kExportCount
};
const char* exportName(int e);
// The export of that name, or -1.
int exportByName(const std::string& name);
// Exports a run calls; with all of them the host's own moves as well (a
// refused resize, a clear of a refnum still in use).
using ExportSet = std::bitset<kExportCount>;

inline constexpr size_t kCodeCount = std::size(tw::err::kAllCodes);

// Results per export; the last column counts codes the library does not
// document. Fixed size, so counting allocates nothing.
struct Tally {
    std::array<std::array<uint64_t, kCodeCount + 1>, kExportCount> counts{};
    void add(const Tally& other);
    uint64_t calls(int e) const;
};

class Caller {
public:
    Caller(Shared& shared, CallSlot& slot, uint64_t seed, const ExportSet& exports, bool unlimitedEmptyReads);

    void run(const std::atomic<bool>& stop);
    const Tally& tally() const { return tally_; }

    // Clears every refnum the pools hold, then checks that nothing the run
    // made is still registered.
    void clearEverything();

private:
    using Action = void (Caller::*)();
    struct Weighted {
        int weight;
        Action action;
        int exported;  // the export it calls; kExportCount for the host's own moves
    };
    static const Weighted kActions[];

    // Runs one export; checks that the result is documented and, for a refnum
    // that names nothing, that it is `unknownResult`.
    template <typename F>
    int32_t call(Export e, int32_t refnum, F&& f, int32_t unknownResult = TW_E_BAD_REFNUM);
    // A configure or open left `result` and `refnum`: keep the object.
    void made(RefnumPool& pool, Export e, int32_t result, int32_t refnum);
    void clear(RefnumPool& pool, int32_t refnum);
    int32_t clearNow(const RefnumPool& pool, int32_t refnum) const;
    // The array's stated size fits its block.
    void checkArray(Export e, TwArrayHandle data, uint16_t typeCode);

    bool chance(unsigned percent) { return rng_() % 100 < percent; }
    template <typename T, size_t N>
    T any(const T (&values)[N]) {
        return values[rng_() % N];
    }
    template <typename T>
    T any(const std::vector<T>& values) {
        return values[rng_() % values.size()];
    }
    uint16_t sampleType();
    double timeout();
    testhost::ArrayPtr samples(uint16_t typeCode, int32_t rows, int32_t cols);

    struct TaskArgs {
        int32_t device, buffer, channels, bits, mode;
        double rate;
    };
    // The refusable values of one kind of task: a too-small ring, a rate and a
    // channel count it may refuse (0: only the 0 every kind refuses).
    struct OddArgs {
        int32_t buffer;
        double rate;
        int32_t channels;
    };
    void spoil(TaskArgs& a, const OddArgs& odd);

    template <bool input>
    void configure();
    template <Export E>
    void byRefnum();
    template <RefnumPool Shared::*pool>
    void clearOne() {
        clear(shared_.*pool, (shared_.*pool).take(rng_));
    }
    // A refnum of either kind of task; `input` says which.
    int32_t anyTask(uint8_t& input);
    void soWrite();
    void soWait();
    void soVolume();
    void soInfo();
    void playSoundFile();
    void siRead();
    void getConfFormat();
    void getConfState();
    void getStateDesc();
    void soundNumDevices();
    void soundDeviceInfo();
    void readFileOpen();
    void readFileData();
    void fileInfoRef();
    void writeFileOpen();
    void writeFileData();
    void setRuntimeModule();
    void failHostResize();
    void staleClear();

    Shared& shared_;
    const testhost::Exports& api_;
    CallSlot& slot_;
    Rng rng_;
    Tally tally_;
    const ExportSet exports_;
    // A read of 0 samples without time-out ends only when its capture stops
    // or is cleaned up: without the host's clean-up nothing may end it.
    const bool unlimitedEmptyReads_;
};

}  // namespace stress
