#include "Caller.h"

#include <cstring>

namespace stress {

namespace {

const char* const kExportNames[] = {
#define TW_EXPORT_FN(name) #name,
#include "tonewell_exports.inc"
#undef TW_EXPORT_FN
};

const int32_t kChannels[] = {1, 2, 2};
const int32_t kBits[] = {16, 16, 8, 24, 32};

size_t codeIndex(int32_t code) {
    for (size_t i = 0; i < kCodeCount; ++i)
        if (tw::err::kAllCodes[i] == code) return i;
    return kCodeCount;
}

// Cheap filler: whatever bits, NaNs and infinities included for the float
// types. The library must take any host data.
void fillNoise(uint8_t* p, size_t bytes, uint64_t seed) {
    uint64_t x = seed | 1;
    for (size_t i = 0; i < bytes; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        p[i] = static_cast<uint8_t>(x);
    }
}

}  // namespace

const char* exportName(int e) { return e >= 0 && e < kExportCount ? kExportNames[e] : "?"; }

int exportByName(const std::string& name) {
    for (int e = 0; e < kExportCount; ++e)
        if (name == kExportNames[e]) return e;
    return -1;
}

void Tally::add(const Tally& other) {
    for (size_t e = 0; e < counts.size(); ++e)
        for (size_t c = 0; c < counts[e].size(); ++c) counts[e][c] += other.counts[e][c];
}

uint64_t Tally::calls(int e) const {
    uint64_t n = 0;
    for (uint64_t c : counts[static_cast<size_t>(e)]) n += c;
    return n;
}

// Weights per thousand, roughly as a busy host program mixes its calls.
const Caller::Weighted Caller::kActions[] = {
    {40, &Caller::configure<false>, kSOConfigure},
    {70, &Caller::soWrite, kSOWrite},
    {25, &Caller::byRefnum<kSOStart>, kSOStart},
    {25, &Caller::byRefnum<kSOStop>, kSOStop},
    {20, &Caller::byRefnum<kSOPause>, kSOPause},
    {35, &Caller::soWait, kSOWait},
    {20, &Caller::soVolume, kSOVolume},
    {20, &Caller::soInfo, kSOInfo},
    {20, &Caller::clearOne<&Shared::outputs>, kSOClear},
    {20, &Caller::playSoundFile, kPlaySoundFile},
    {35, &Caller::configure<true>, kSIConfigure},
    {80, &Caller::siRead, kSIRead},
    {25, &Caller::byRefnum<kSIStart>, kSIStart},
    {25, &Caller::byRefnum<kSIStop>, kSIStop},
    {20, &Caller::clearOne<&Shared::inputs>, kSIClear},
    {25, &Caller::getConfFormat, kGetConfFormat},
    {25, &Caller::getConfState, kGetConfState},
    {25, &Caller::getStateDesc, kGetStateDesc},
    {20, &Caller::soundNumDevices, kSoundNumDevices},
    {25, &Caller::soundDeviceInfo, kSoundDeviceInfo},
    {30, &Caller::readFileOpen, kSoundReadFileOpen},
    {50, &Caller::readFileData, kSoundReadFileData},
    {20, &Caller::byRefnum<kSoundReadFileSamplesRead>, kSoundReadFileSamplesRead},
    {20, &Caller::fileInfoRef, kSoundFileInfoRef},
    {30, &Caller::writeFileOpen, kSoundWriteFileOpen},
    {50, &Caller::writeFileData, kSoundWriteFileData},
    {20, &Caller::byRefnum<kSoundWriteFileSamplesWritten>, kSoundWriteFileSamplesWritten},
    {25, &Caller::clearOne<&Shared::files>, kSoundFileClose},
    {2, &Caller::setRuntimeModule, kSetVantorRTModule},
    {3, &Caller::failHostResize, kExportCount},
    {5, &Caller::staleClear, kExportCount},
};

Caller::Caller(Shared& shared, CallSlot& slot, uint64_t seed, const ExportSet& exports, bool unlimitedEmptyReads)
    : shared_(shared), api_(shared.api), slot_(slot), rng_(seed), exports_(exports),
      unlimitedEmptyReads_(unlimitedEmptyReads) {}

void Caller::run(const std::atomic<bool>& stop) {
    auto weight = [this](const Weighted& w) {
        const bool chosen = w.exported < kExportCount ? exports_.test(static_cast<size_t>(w.exported)) : exports_.all();
        return chosen ? w.weight : 0;
    };
    int total = 0;
    for (const Weighted& w : kActions) total += weight(w);
    while (total > 0 && !stop.load(std::memory_order_relaxed)) {
        int n = static_cast<int>(rng_() % static_cast<uint64_t>(total));
        for (const Weighted& w : kActions) {
            if (n < weight(w)) {
                (this->*w.action)();
                break;
            }
            n -= weight(w);
        }
    }
}

template <typename F>
int32_t Caller::call(Export e, int32_t refnum, F&& f, int32_t unknownResult) {
    slot_.begin(exportName(e), refnum);
    const int32_t result = f();
    slot_.end();
    ++tally_.counts[e][codeIndex(result)];
    if (!tw::err::isDocumented(result))
        shared_.problems.add("%s(refnum %d) returned %d, a code the library does not document", exportName(e),
                             refnum, result);
    else if ((refnum == -1 || refnum == kNeverIssued) && result != unknownResult)
        shared_.problems.add("%s(refnum %d), which names nothing, returned %d instead of %d", exportName(e), refnum,
                             result, unknownResult);
    return result;
}

void Caller::made(RefnumPool& pool, Export e, int32_t result, int32_t refnum) {
    if (result > 0) {
        if (refnum != -1)
            shared_.problems.add("%s failed with %d but handed out refnum %d", exportName(e), result, refnum);
        return;
    }
    if (refnum < 0) {
        shared_.problems.add("%s returned %d but handed out no refnum", exportName(e), result);
        return;
    }
    if (!pool.issue(refnum)) shared_.problems.add("%s handed out %s refnum %d twice", exportName(e), pool.name(), refnum);
    clear(pool, pool.put(rng_, refnum));
}

int32_t Caller::clearNow(const RefnumPool& pool, int32_t refnum) const {
    return &pool == &shared_.outputs  ? api_.SOClear(refnum)
           : &pool == &shared_.inputs ? api_.SIClear(refnum)
                                      : api_.SoundFileClose(refnum);
}

void Caller::clear(RefnumPool& pool, int32_t refnum) {
    const Export e = &pool == &shared_.outputs ? kSOClear : &pool == &shared_.inputs ? kSIClear : kSoundFileClose;
    if (refnum >= 0) call(e, refnum, [&] { return clearNow(pool, refnum); });
}

void Caller::clearEverything() {
    for (RefnumPool* pool : {&shared_.outputs, &shared_.inputs, &shared_.files}) {
        for (size_t s = 0; s < RefnumPool::kSlots; ++s) clear(*pool, pool->takeSlot(s));
        // Whatever the run made is gone now: each refnum names nothing.
        for (int32_t refnum : pool->issued()) {
            if (const int32_t result = clearNow(*pool, refnum); result != TW_E_BAD_REFNUM)
                shared_.problems.add("%s refnum %d still cleared with %d after the run had cleared everything",
                                     pool->name(), refnum, result);
        }
    }
}

void Caller::checkArray(Export e, TwArrayHandle data, uint16_t typeCode) {
    const int32_t r = testhost::rows(data), c = testhost::cols(data);
    const size_t need = 8 + static_cast<size_t>(r < 0 ? 0 : r) * static_cast<size_t>(c < 0 ? 0 : c) *
                                static_cast<size_t>(testhost::elementSize(typeCode));
    if (r < 0 || c < 0 || need > testhost::blockSize(data))
        shared_.problems.add("%s left a %d x %d array of type %u in a block of %zu bytes", exportName(e), r, c,
                             typeCode, testhost::blockSize(data));
}

uint16_t Caller::sampleType() {
    static const uint16_t kSampleTypes[] = {TW_TYPE_I16, TW_TYPE_I16, TW_TYPE_I32, TW_TYPE_U8, TW_TYPE_F32, TW_TYPE_F64};
    static const uint16_t kOtherTypes[] = {TW_TYPE_I64, 0, 11};
    return chance(90) ? any(kSampleTypes) : any(kOtherTypes);
}

double Caller::timeout() {
    static const double kTimeouts[] = {-1.0, 0.0, 0.02, 0.2, 1.0};
    return any(kTimeouts);
}

testhost::ArrayPtr Caller::samples(uint16_t typeCode, int32_t rows, int32_t cols) {
    auto array = testhost::makeArray2D(typeCode, rows, cols);
    const size_t bytes = static_cast<size_t>(rows) * static_cast<size_t>(cols) *
                         static_cast<size_t>(testhost::elementSize(typeCode));
    if (chance(70))
        fillNoise(reinterpret_cast<uint8_t*>(*array.get()) + 8, bytes, rng_());
    return array;
}

// The exports that take a refnum alone (and a count the library writes).
template <Export E>
void Caller::byRefnum() {
    constexpr bool input = E == kSIStart || E == kSIStop;
    constexpr bool file = E == kSoundReadFileSamplesRead || E == kSoundWriteFileSamplesWritten;
    const int32_t refnum = (input ? shared_.inputs : file ? shared_.files : shared_.outputs).pick(rng_);
    int32_t count = -7;
    call(E, refnum, [&] {
        if constexpr (E == kSOStart) return api_.SOStart(refnum);
        else if constexpr (E == kSOStop) return api_.SOStop(refnum);
        else if constexpr (E == kSOPause) return api_.SOPause(refnum);
        else if constexpr (E == kSIStart) return api_.SIStart(refnum);
        else if constexpr (E == kSIStop) return api_.SIStop(refnum);
        else if constexpr (E == kSoundReadFileSamplesRead) return api_.SoundReadFileSamplesRead(refnum, &count);
        else return api_.SoundWriteFileSamplesWritten(refnum, &count);
    });
}

// Now and then one argument the library has to refuse (or take).
void Caller::spoil(TaskArgs& a, const OddArgs& odd) {
    switch (rng_() % 40) {
        case 0: a.device = chance(50) ? 2 : -1; break;
        case 1: a.buffer = chance(50) ? odd.buffer : 0; break;
        case 2: a.rate = chance(50) ? 0 : odd.rate; break;
        case 3: a.channels = chance(50) ? 0 : odd.channels; break;
        case 4: a.bits = chance(50) ? 0 : 12; break;
        case 5: a.mode = 2; break;
        case 6:
            // Counts that do not fit the format record, on a ring small
            // enough to survive a library that takes them.
            a.buffer = 4;
            (chance(50) ? a.channels : a.bits) = 65537;
            break;
        default: break;
    }
}

// ---- Output tasks ---------------------------------------------------------

// A task of either kind, from values its devices take.
template <bool input>
void Caller::configure() {
    static const std::vector<int32_t> kDevices[] = {{0, 0, 0, 1}, {0, 0, 1}};
    static const std::vector<int32_t> kBuffers[] = {{256, 1024, 4096, 16384}, {512, 2048, 8192}};
    static const std::vector<double> kRates[] = {{8000, 22050, 44100, 48000, 96000}, {8000, 22050, 44100, 48000}};
    static const int32_t kModes[] = {TW_MODE_CONTINUOUS, TW_MODE_CONTINUOUS, TW_MODE_ONE_SHOT};
    TaskArgs a{any(kDevices[input]), any(kBuffers[input]), any(kChannels), any(kBits),
               input ? (chance(70) ? 1 : 0) : any(kModes), any(kRates[input])};
    // A capture at an odd rate or width would be taken and run.
    spoil(a, input ? OddArgs{4, 0, 0} : OddArgs{3, 1e7, 3});
    const Export e = input ? kSIConfigure : kSOConfigure;
    const auto configureTask = input ? api_.SIConfigure : api_.SOConfigure;
    int32_t refnum = -1;
    const int32_t r = call(e, kNoRefnum, [&] {
        return configureTask(a.device, a.buffer, &a.rate, &a.channels, &a.bits, a.mode, &refnum);
    });
    made(input ? shared_.inputs : shared_.outputs, e, r, refnum);
}

void Caller::soWrite() {
    const int32_t refnum = shared_.outputs.pick(rng_);
    static const int32_t kCols[] = {0, 1, 64, 512, 2048, 4096};
    const uint16_t type = sampleType();
    const int32_t rows = chance(90) ? 1 + static_cast<int32_t>(rng_() % 2) : static_cast<int32_t>(rng_() % 4);
    auto data = samples(type, rows, any(kCols));
    const double t = timeout();
    call(kSOWrite, refnum, [&] { return api_.SOWrite(refnum, data.get(), t, type); });
}

void Caller::soWait() {
    const int32_t refnum = shared_.outputs.pick(rng_);
    // An unlimited wait only now and then: other threads may keep the task
    // fed for a while.
    const double t = chance(10) ? -1.0 : timeout() < 0 ? 0.5 : 0.1;
    call(kSOWait, refnum, [&] { return api_.SOWait(refnum, t); });
}

void Caller::soVolume() {
    const int32_t refnum = shared_.outputs.pick(rng_);
    static const int32_t kVolumes[] = {0, 50, 100, 100, -10, 1000};
    if (chance(10)) {
        auto empty = testhost::makeInt32Array({});
        const int32_t r = call(kSOVolume, refnum, [&] { return api_.SOVolume(refnum, empty.get()); }, TW_E_ARGUMENT);
        if (r != TW_E_ARGUMENT) shared_.problems.add("SOVolume(refnum %d) of no volumes returned %d", refnum, r);
        return;
    }
    auto volumes = testhost::makeInt32Array({any(kVolumes), 7});
    call(kSOVolume, refnum, [&] { return api_.SOVolume(refnum, volumes.get()); });
}

void Caller::soInfo() {
    const int32_t refnum = shared_.outputs.pick(rng_);
    auto volumes = testhost::makeInt32Array({});
    uint8_t flag = 7;
    const int32_t r = call(kSOInfo, refnum, [&] { return api_.SOInfo(refnum, volumes.get(), &flag); });
    const auto* block = reinterpret_cast<const int32_t*>(*volumes.get());
    if (r == 0 && (flag != 0 || block[0] < 0 || 4 + 4 * static_cast<size_t>(block[0]) > testhost::blockSize(volumes.get())))
        shared_.problems.add("SOInfo(refnum %d) left flag %u and a volume array of %d in %zu bytes", refnum, flag,
                             block[0], testhost::blockSize(volumes.get()));
}

void Caller::playSoundFile() {
    static const int32_t kDevices[] = {0, 0, 0, 1, 5};
    const int32_t device = any(kDevices);
    int32_t refnum = -1;
    const unsigned which = static_cast<unsigned>(rng_() % 20);
    if (which == 0) {
        // No path at all.
        const int32_t r = call(kPlaySoundFile, kNoRefnum, [&] { return api_.PlaySoundFile(device, nullptr, 0, &refnum); });
        if (r != TW_E_PATH || refnum != -1)
            shared_.problems.add("PlaySoundFile without a path returned %d and refnum %d", r, refnum);
        return;
    }
    const std::string& path = which < 10 ? shared_.paths.midi
                              : which < 17 ? shared_.paths.wav
                              : which < 19 ? shared_.paths.missing
                                           : shared_.paths.directory;
    auto text = testhost::makeString(path);
    const int32_t r = call(kPlaySoundFile, kNoRefnum, [&] {
        return api_.PlaySoundFile(device, text.get(), chance(10) ? 5 : 0, &refnum);
    });
    made(shared_.outputs, kPlaySoundFile, r, refnum);
}

// ---- Input tasks ----------------------------------------------------------

void Caller::siRead() {
    const int32_t refnum = shared_.inputs.pick(rng_);
    static const int32_t kCounts[] = {0, 1, 100, 1024, 4096, -1};
    const int32_t count = any(kCounts);
    const uint16_t type = sampleType();
    auto data = samples(type, static_cast<int32_t>(rng_() % 3), static_cast<int32_t>(rng_() % 300));
    int32_t total = -7;
    double t = timeout();
    if (count == 0 && t < 0 && !unlimitedEmptyReads_) t = 0.2;
    // A negative count is refused before the refnum matters.
    const int32_t r = call(kSIRead, refnum, [&] { return api_.SIRead(refnum, data.get(), count, &total, t, type); },
                           count < 0 ? TW_E_DEVICE : TW_E_BAD_REFNUM);
    if (count < 0 && r != TW_E_DEVICE) shared_.problems.add("SIRead of %d samples returned %d", count, r);
    if (count >= 0 && total < 0) shared_.problems.add("SIRead(refnum %d) reported %d samples read", refnum, total);
    checkArray(kSIRead, data.get(), type);
}

// ---- Task state and devices ---------------------------------------------

int32_t Caller::anyTask(uint8_t& input) {
    input = chance(40) ? 1 : 0;
    return (input ? shared_.inputs : shared_.outputs).pick(rng_);
}

void Caller::getConfFormat() {
    uint8_t input = 0;
    const int32_t refnum = anyTask(input);
    double rate = 0;
    int32_t channels = 0, bits = 0;
    uint16_t type = 0;
    call(kGetConfFormat, refnum, [&] { return api_.GetConfFormat(refnum, &input, &rate, &channels, &bits, &type); });
}

void Caller::getConfState() {
    uint8_t input = 0;
    const int32_t refnum = anyTask(input);
    uint8_t running = 7, continuous = 7;
    call(kGetConfState, refnum, [&] { return api_.GetConfState(refnum, &input, &running, &continuous); });
    if (running > 1 || continuous > 1)
        shared_.problems.add("GetConfState(refnum %d) wrote flags %u and %u", refnum, running, continuous);
}

void Caller::getStateDesc() {
    uint8_t input = 0;
    const int32_t refnum = anyTask(input);
    auto text = testhost::makeString("");
    const int32_t r = call(kGetStateDesc, refnum, [&] { return api_.GetStateDesc(refnum, &input, text.get()); });
    const int32_t length = (*text.get())->length;
    if (r == 0 && (length <= 0 || length > 255 || 4 + static_cast<size_t>(length) > testhost::blockSize(text.get())))
        shared_.problems.add("GetStateDesc(refnum %d) wrote a text of %d bytes in %zu", refnum, length,
                             testhost::blockSize(text.get()));
}

void Caller::soundNumDevices() {
    uint8_t input = chance(50) ? 1 : 0;
    int32_t count = -1;
    const int32_t r = call(kSoundNumDevices, kNoRefnum, [&] { return api_.SoundNumDevices(&input, &count); });
    if (r != 0 || count < 0) shared_.problems.add("SoundNumDevices returned %d and wrote %d", r, count);
}

void Caller::soundDeviceInfo() {
    uint8_t input = chance(50) ? 1 : 0;
    const int32_t index = static_cast<int32_t>(rng_() % 5) - 1;
    auto channels = testhost::makeInt32Array({});
    auto bits = testhost::makeInt32Array({});
    auto name = testhost::makeString("");
    double minRate = 0, maxRate = 0;
    call(kSoundDeviceInfo, kNoRefnum, [&] {
        return api_.SoundDeviceInfo(index, &input, channels.get(), bits.get(), &minRate, &maxRate, name.get());
    });
}

// ---- Sound files ------------------------------------------------------------

void Caller::readFileOpen() {
    const Paths& p = shared_.paths;
    const unsigned which = static_cast<unsigned>(rng_() % 20);
    const std::string& path = which < 10   ? p.wav
                              : which < 15 ? p.written[rng_() % p.written.size()]
                              : which < 16 ? p.midi
                              : which < 17 ? p.missing
                              : which < 18 ? p.directory
                                           : std::string();
    auto text = testhost::makeString(path);
    int32_t refnum = -1;
    const int32_t r = call(kSoundReadFileOpen, kNoRefnum, [&] { return api_.SoundReadFileOpen(text.get(), &refnum); });
    made(shared_.files, kSoundReadFileOpen, r, refnum);
}

void Caller::readFileData() {
    const int32_t refnum = shared_.files.pick(rng_);
    static const int32_t kModes[] = {0, 1, 2, 2, 2, 3};
    static const int32_t kOffsets[] = {0, 0, 100, -100, 1 << 30};
    static const int32_t kCounts[] = {-1, 0, 1, 256, 4096};
    const int32_t mode = any(kModes), offset = any(kOffsets), count = any(kCounts);
    const uint16_t type = sampleType();
    auto data = testhost::makeArray2D(type, 0, 0);
    int32_t read = -7;
    uint8_t atEnd = 7;
    call(kSoundReadFileData, refnum, [&] {
        return api_.SoundReadFileData(refnum, mode, offset, count, type, 0, data.get(), &read, &atEnd);
    });
    checkArray(kSoundReadFileData, data.get(), type);
    if (read < 0 || (atEnd != 7 && atEnd > 1))
        shared_.problems.add("SoundReadFileData(refnum %d) wrote %d frames read and end flag %u", refnum, read, atEnd);
}

void Caller::fileInfoRef() {
    const int32_t refnum = shared_.files.pick(rng_);
    double rate = 0, duration = 0;
    int32_t channels = 0, bits = 0, total = 0;
    call(kSoundFileInfoRef, refnum, [&] {
        return api_.SoundFileInfoRef(refnum, 0, &rate, &channels, &bits, &duration, &total);
    });
}

void Caller::writeFileOpen() {
    static const double kRates[] = {8000, 44100, 44100};
    const std::vector<std::string>& paths = shared_.paths.written;
    std::string path = paths[rng_() % paths.size()];
    double rate = any(kRates);
    int32_t channels = any(kChannels), bits = any(kBits);
    switch (rng_() % 30) {
        case 0: path = shared_.paths.directory; break;
        case 1: rate = chance(50) ? 0 : -1; break;
        case 2: channels = chance(50) ? 0 : 70000; break;
        case 3: bits = chance(50) ? 0 : 12; break;
        default: break;
    }
    auto text = testhost::makeString(path);
    int32_t refnum = -1;
    const int32_t r = call(kSoundWriteFileOpen, kNoRefnum, [&] {
        return api_.SoundWriteFileOpen(text.get(), &refnum, rate, channels, bits);
    });
    made(shared_.files, kSoundWriteFileOpen, r, refnum);
}

void Caller::writeFileData() {
    const int32_t refnum = shared_.files.pick(rng_);
    static const int32_t kCols[] = {0, 64, 1024};
    const uint16_t type = sampleType();
    auto data = samples(type, 1 + static_cast<int32_t>(rng_() % 2), any(kCols));
    int32_t written = -7;
    call(kSoundWriteFileData, refnum, [&] { return api_.SoundWriteFileData(refnum, data.get(), &written, type); });
}

// ---- The host's own moves -------------------------------------------------

void Caller::setRuntimeModule() {
    void* module = chance(50) ? shared_.mainProgram : nullptr;
    slot_.begin("SetVantorRTModule", kNoRefnum);
    api_.SetVantorRTModule(module);
    slot_.end();
    ++tally_.counts[kSetVantorRTModule][codeIndex(0)];
}

// The host refuses one resize somewhere, whoever asks next.
void Caller::failHostResize() { testhost::failNextResizes(1, TW_E_NO_MEMORY); }

// A host program that clears a refnum another part of it still uses.
void Caller::staleClear() {
    RefnumPool* pools[] = {&shared_.outputs, &shared_.inputs, &shared_.files};
    RefnumPool& pool = *pools[rng_() % 3];
    const int32_t refnum = pool.pick(rng_);
    if (refnum >= 0 && refnum != kNeverIssued) clear(pool, refnum);
}

}  // namespace stress
