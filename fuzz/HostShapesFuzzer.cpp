// Host arrays of every shape and type code a host can hand over, and shapes
// no host can have, through the four exports that convert samples: SOWrite
// (one-shot), SIRead, SoundWriteFileData and SoundReadFileData, on tasks and
// files of 1 to 9 channels and 8 to 32 bits on the virtual driver.
//
// The library must never reach outside a block: every block is allocated at
// exactly its size, so the sanitizer sees the first byte beyond it. A host
// that hands an array over for playing or writing holds at least what its
// dimensions declare; so does this one, except for dimensions no host block
// can hold (negative, or more than its int32 size), which get small blocks.
// Arrays the library fills may declare anything: it must size them first.
// Arrays handed over for playing or writing must come back unchanged.
#include <dlfcn.h>
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "tonewell/tonewell.h"
#include "tonewell_sound_virtual.h"

namespace {

constexpr int32_t kChannels[] = {1, 2, 3, 6, 9};
constexpr int32_t kBits[] = {8, 16, 24, 32};
constexpr size_t kFormats = std::size(kChannels) * std::size(kBits);
constexpr uint16_t kTypes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0xFFFF};
constexpr size_t kMaxHonestBytes = 16 * 1024;
constexpr TaskRefnum kUnmade = -2;

decltype(&tws_virtual_advance) gAdvance = nullptr;
std::string gDir;
TaskRefnum gOutputs[kFormats], gInputs[kFormats], gReaders[kFormats], gWriters[kFormats];

int32_t elementSize(uint16_t type) {
    static const int32_t sizes[] = {2, 1, 2, 4, 8, 1, 2, 4, 8, 4, 8};
    return type <= 10 ? sizes[type] : 2;
}

using fuzz::freeHandle;
using fuzz::makeString;
using fuzz::newHandle;

std::string formatPath(const char* kind, size_t f) {
    return gDir + "/" + kind + std::to_string(kChannels[f / std::size(kBits)]) + "x" +
           std::to_string(kBits[f % std::size(kBits)]) + ".wav";
}

TaskRefnum output(size_t f) {
    if (gOutputs[f] == kUnmade) {
        double rate = 8000;
        int32_t channels = kChannels[f / std::size(kBits)], bits = kBits[f % std::size(kBits)];
        TaskRefnum r = -1;
        SOConfigure(0, 512, &rate, &channels, &bits, TW_MODE_ONE_SHOT, &r);
        gOutputs[f] = r;
    }
    return gOutputs[f];
}

TaskRefnum input(size_t f) {
    if (gInputs[f] == kUnmade) {
        double rate = 8000;
        int32_t channels = kChannels[f / std::size(kBits)], bits = kBits[f % std::size(kBits)];
        TaskRefnum r = -1;
        SIConfigure(0, 2048, &rate, &channels, &bits, 0, &r);
        gInputs[f] = r;
    }
    return gInputs[f];
}

TaskRefnum openWriter(size_t f, const char* kind) {
    TwStringHandle path = makeString(formatPath(kind, f));
    TaskRefnum r = -1;
    SoundWriteFileOpen(path, &r, 8000.0, kChannels[f / std::size(kBits)], kBits[f % std::size(kBits)]);
    freeHandle(reinterpret_cast<void**>(path));
    return r;
}

// A writer that starts a new file now and then, so the disk does not fill.
TaskRefnum writer(size_t f) {
    int32_t written = 0;
    if (gWriters[f] != kUnmade && SoundWriteFileSamplesWritten(gWriters[f], &written) == 0 && written > 100000) {
        SoundFileClose(gWriters[f]);
        gWriters[f] = kUnmade;
    }
    if (gWriters[f] == kUnmade) gWriters[f] = openWriter(f, "w");
    return gWriters[f];
}

// A file of 700 frames of this format, written once and kept open.
TaskRefnum reader(size_t f) {
    if (gReaders[f] == kUnmade) {
        const TaskRefnum w = openWriter(f, "r");
        const int32_t channels = kChannels[f / std::size(kBits)], frames = 700;
        auto** data = newHandle(8 + size_t{8} * channels * frames);
        int32_t dims[2] = {channels, frames};
        std::memcpy(*data, dims, 8);
        auto* samples = reinterpret_cast<double*>(static_cast<uint8_t*>(*data) + 8);
        for (int32_t i = 0; i < channels * frames; ++i) samples[i] = (i % 200 - 100) / 101.0;
        int32_t n = 0;
        SoundWriteFileData(w, reinterpret_cast<TwArrayHandle>(data), &n, TW_TYPE_F64);
        SoundFileClose(w);
        freeHandle(data);
        TwStringHandle path = makeString(formatPath("r", f));
        TaskRefnum r = -1;
        SoundReadFileOpen(path, &r);
        freeHandle(reinterpret_cast<void**>(path));
        gReaders[f] = r;
    }
    return gReaders[f];
}

// Counts and sizes: mostly small, sometimes anything.
int32_t anyInt(FuzzedDataProvider& in, int32_t small) {
    switch (in.ConsumeIntegralInRange(0, 7)) {
        case 0: return in.ConsumeIntegral<int32_t>();
        case 1: return -in.ConsumeIntegralInRange(1, 3);
        case 2: return INT32_MAX - in.ConsumeIntegralInRange(0, 3);
        default: return in.ConsumeIntegralInRange(0, small);
    }
}

struct Array {
    void** handle = nullptr;
    size_t bytes = 0;
    std::vector<uint8_t> before;  // the block as handed over
};

// A 2-D array of the given type. `filledByLibrary`: the library sizes it
// before it writes, so its block may hold less than it declares.
Array makeArray(FuzzedDataProvider& in, uint16_t type, bool filledByLibrary) {
    Array a;
    const int kind = in.ConsumeIntegralInRange(0, 15);
    if (kind == 0) return a;  // null handle
    if (kind == 1) {
        a.handle = newHandle(0);  // null block
        return a;
    }
    const int32_t rows = anyInt(in, 12);
    int32_t cols = anyInt(in, 1200);
    const int64_t elements = rows < 0 || cols < 0 ? -1 : int64_t{rows} * cols;
    const bool possible = elements >= 0 && elements <= (INT32_MAX - 8) / elementSize(type);
    if (possible && !filledByLibrary && elements * elementSize(type) > int64_t{kMaxHonestBytes}) {
        // Kept small: an honest host would have to allocate all of it.
        cols = rows > 0 ? static_cast<int32_t>(kMaxHonestBytes / elementSize(type) / rows) : cols;
    }
    const size_t declared = possible ? 8 + size_t(int64_t{rows} * cols * elementSize(type)) : 0;
    size_t bytes = 8 + in.ConsumeIntegralInRange<size_t>(0, 64);
    if (filledByLibrary)
        bytes = std::min(bytes, declared > 0 ? declared : bytes);
    else if (possible)
        bytes = declared + in.ConsumeIntegralInRange<size_t>(0, 16);
    a.handle = newHandle(bytes);
    a.bytes = bytes;
    auto* block = static_cast<uint8_t*>(*a.handle);
    // The elements repeat a piece of the input (a run of zeros without one).
    std::vector<uint8_t> fill = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(1, 64));
    if (fill.empty()) fill.push_back(0);
    if (bytes > 8) {
        uint8_t* elements = block + 8;
        const size_t n = bytes - 8;
        size_t done = std::min(n, fill.size());
        std::memcpy(elements, fill.data(), done);
        for (; done < n; done *= 2) std::memcpy(elements + done, elements, std::min(done, n - done));
    }
    const int32_t dims[2] = {rows, cols};
    std::memcpy(block, dims, 8);
    if (!filledByLibrary) a.before.assign(block, block + bytes);
    return a;
}

void checkUnchanged(const Array& a) {
    if (a.before.empty()) return;
    if (std::memcmp(*a.handle, a.before.data(), a.before.size()) != 0) {
        std::fprintf(stderr, "a host array handed over for playing or writing was changed\n");
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("TONEWELL_SOUND_DRIVER", "virtual", 1);
    gDir = fuzz::scratchPath("shapes");
    if (::mkdir(gDir.c_str(), 0700) != 0 && errno != EEXIST) std::abort();
    for (size_t f = 0; f < kFormats; ++f) gOutputs[f] = gInputs[f] = gReaders[f] = gWriters[f] = kUnmade;

    // The virtual driver's manual clock: nothing plays or captures but what
    // the input asks for, so every run does the same.
    uint8_t inputFlag = 0;
    int32_t count = 0;
    SoundNumDevices(&inputFlag, &count);
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0) std::abort();
    exe[n] = '\0';
    std::string module(exe);
    module = module.substr(0, module.rfind('/') + 1) + TWS_MODULE_FILE;
    void* sound = ::dlopen(module.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (sound == nullptr) std::abort();
    auto manual = reinterpret_cast<decltype(&tws_virtual_set_manual_clock)>(::dlsym(sound, "tws_virtual_set_manual_clock"));
    gAdvance = reinterpret_cast<decltype(&tws_virtual_advance)>(::dlsym(sound, "tws_virtual_advance"));
    if (manual == nullptr || gAdvance == nullptr || manual(1) != 0) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    for (int step = 0; step < 12 && in.remaining_bytes() > 0; ++step) {
        const int op = in.ConsumeIntegralInRange(0, 4);
        const size_t f = in.ConsumeIntegralInRange<size_t>(0, kFormats - 1);
        const uint16_t type = in.PickValueInArray(kTypes);
        const bool filledByLibrary = op == 2 || op == 4;
        Array a = makeArray(in, type, filledByLibrary);
        auto handle = reinterpret_cast<TwArrayHandle>(a.handle);
        int32_t frames = 0;
        uint8_t eof = 0;
        switch (op) {
            case 0:
                SOWrite(output(f), handle, 0.0, type);
                break;
            case 1:
                if (in.ConsumeBool()) {
                    SOStop(output(f));
                } else {
                    SOStart(output(f));
                }
                SOWrite(output(f), handle, 0.0, type);
                break;
            case 2: {
                gAdvance(in.ConsumeIntegralInRange<uint64_t>(0, 3000));
                SIRead(input(f), handle, anyInt(in, 3000), &frames, 0.0, type);
                break;
            }
            case 3:
                SoundWriteFileData(writer(f), handle, &frames, type);
                break;
            case 4: {
                const int32_t mode = in.ConsumeIntegralInRange(-1, 3);
                const int32_t offset = anyInt(in, 800);
                SoundReadFileData(reader(f), mode, offset, anyInt(in, 800), type, 0, handle, &frames, &eof);
                break;
            }
        }
        if (!filledByLibrary) checkUnchanged(a);
        freeHandle(a.handle);
    }
    return 0;
}
