// Feeds arbitrary files to the WAV reader through the exports: open, query,
// then reads, seeks and reads on with every host sample type. The last input
// bytes choose the seeks and counts, so they are explored too.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tonewell/tonewell.h"

namespace {

std::string gPath;

// Handles made like the host makes them.
void** newHandle(size_t bytes) {
    auto** handle = static_cast<void**>(std::malloc(sizeof(void*)));
    *handle = std::calloc(1, bytes);
    return handle;
}

void freeHandle(void** handle) {
    std::free(*handle);
    std::free(handle);
}

TwStringHandle makeString(const std::string& text) {
    auto** handle = newHandle(4 + text.size() + 1);
    auto* s = static_cast<TwString*>(*handle);
    s->length = static_cast<int32_t>(text.size());
    std::memcpy(s->text, text.data(), text.size());
    return reinterpret_cast<TwStringHandle>(handle);
}

TwArrayHandle makeArray() {
    auto** handle = newHandle(8);
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
    const char* dir = std::getenv("TMPDIR");
    gPath = std::string(dir && *dir ? dir : "/tmp") + "/tonewell-fuzz-" + std::to_string(::getpid()) + ".wav";
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(gPath.c_str(), "wb");
    if (f == nullptr) return 0;
    if (size > 0) std::fwrite(data, 1, size, f);
    std::fclose(f);

    TwStringHandle path = makeString(gPath);
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
        freeHandle(reinterpret_cast<void**>(array));
        SoundFileClose(refnum);
    }
    freeHandle(reinterpret_cast<void**>(path));
    return 0;
}
