// Feeds arbitrary files to the WAV reader through the exports: open, query,
// then reads, seeks and reads on with every host sample type. The last input
// bytes choose the seeks and counts, so they are explored too.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "tonewell/tonewell.h"

namespace {

std::string gPath;

TwArrayHandle makeArray() {
    void** handle = fuzz::newHandle(8);
    std::memset(*handle, 0, 8);
    return reinterpret_cast<TwArrayHandle>(handle);
}

struct Choices {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    int32_t next() {
        if (size == 0) return 0;
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | data[size - 1 - (at++ % size)];
        return static_cast<int32_t>(v);
    }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    ::setenv("TONEWELL_SOUND_DRIVER", "virtual", 0);
    gPath = fuzz::scratchPath("wav") + ".wav";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!fuzz::writeFile(gPath, data, size)) return 0;
    TwStringHandle path = fuzz::makeString(gPath);
    TaskRefnum refnum = -1;
    if (SoundReadFileOpen(path, &refnum) == 0) {
        double rate = 0, duration = 0;
        int32_t channels = 0, bits = 0, total = 0, frames = 0;
        SoundFileInfoRef(refnum, 0, &rate, &channels, &bits, &duration, &total);
        Choices choose{data, size};
        static const uint16_t kTypes[] = {TW_TYPE_I16, TW_TYPE_F32, TW_TYPE_U8, TW_TYPE_F64, TW_TYPE_I32, TW_TYPE_U16};
        TwArrayHandle array = makeArray();
        uint8_t eof = 0;
        for (int step = 0; step < 8; ++step) {
            const int32_t mode = step == 0 ? 2 : (choose.next() & 0x7FFFFFFF) % 4;
            const int32_t offset = step == 0 ? 0 : choose.next() % 100000;
            const int32_t count = step % 3 == 0 ? -1 : choose.next() % 70000;
            SoundReadFileData(refnum, mode, offset, count, kTypes[step % 6], 0, array, &frames, &eof);
            SoundReadFileSamplesRead(refnum, &frames);
        }
        fuzz::freeHandle(reinterpret_cast<void**>(array));
        SoundFileClose(refnum);
    }
    fuzz::freeHandle(reinterpret_cast<void**>(path));
    return 0;
}
