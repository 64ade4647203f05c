// Files from anywhere: crafted MIDI, RIFF MIDI and WAV files whose sizes lie
// are refused or played for what they hold, never read past their end; and
// loading a flood of events holds memory in proportion to the file.
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "Harness.h"
#include "TestFiles.h"
#include "content/Content.h"

namespace playtest {
namespace {

// Bytes at the very end of a readable mapping with an inaccessible page
// behind them: reading one byte too far faults at once, in any build.
class Guarded {
public:
    explicit Guarded(const Bytes& bytes) : size_(bytes.size()) {
        const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
        span_ = (size_ + page - 1) / page * page + page;
        void* base = ::mmap(nullptr, span_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        base_ = base == MAP_FAILED ? nullptr : static_cast<uint8_t*>(base);
        if (!base_) return;
        ::mprotect(base_ + span_ - page, page, PROT_NONE);
        data_ = base_ + span_ - page - size_;
        std::memcpy(data_, bytes.data(), size_);
    }
    ~Guarded() {
        if (base_) ::munmap(base_, span_);
    }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    uint8_t* base_ = nullptr;
    uint8_t* data_ = nullptr;
    size_t span_ = 0;
    size_t size_;
};

Bytes patched32(Bytes b, size_t at, uint32_t value, bool bigEndian) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(value >> (bigEndian ? 24 - 8 * i : 8 * i));
    return b;
}

TEST_F(MidiPlaybackTest, FilesWhoseSizesLieAreRefusedOrPlayedForWhatTheyHold) {
    const Bytes song = notes(1, 10);
    Track longSysex;
    longSysex.event(0, {0xF0, 0x81, 0x00, 0x7E}).end();
    const Bytes tone = wav(8000, 1, 16, sine16(8000, 400, 440, 0.5));
    struct Case {
        const char* name;
        Bytes file;
        int32_t played;  // 0: plays what is there; 4810: refused
    };
    const Case cases[] = {
        {"RIFF MIDI form too small for its type", riffForm("RMID", 0, {}), 4810},
        {"RIFF MIDI size under four before a data chunk", riffForm("RMID", 3, chunk("data", 0xFFFFFFF0, song)), 4810},
        {"RIFF MIDI data chunk longer than the file", riffForm("RMID", 0xFFFFFFF0, chunk("data", 0xFFFFFF00, song)),
         0},
        {"RIFF MIDI chunk before the data longer than the file",
         riffForm("RMID", 0xFFFFFFF0, [&] {
             Bytes b = chunk("LIST", 0xFFFFFFF0, {});
             Bytes d = chunk("data", static_cast<uint32_t>(song.size()), song);
             b.insert(b.end(), d.begin(), d.end());
             return b;
         }()),
         4810},
        {"track longer than the file", patched32(song, 18, 0xFFFFFFF0, true), 0},
        {"header longer than the file", patched32(song, 4, 0xFFFFFFF0, true), 4810},
        {"system exclusive longer than its track", smf(0, 96, {longSysex}), 4810},
        {"WAV data chunk longer than the file", patched32(tone, 40, 0xFFFFFFF1, false), 0},
        {"WAV format chunk longer than the file", patched32(tone, 16, 0xFFFFFFF0, false), 4810},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Guarded bytes(c.file);
        ASSERT_NE(bytes.data(), nullptr);
        std::shared_ptr<const twm::Content> content;
        EXPECT_EQ(twm::parseContent(bytes.data(), bytes.size(), content) == TWM_OK, c.played == 0);

        TaskRefnum refnum = -2;
        std::string path = writeFile("hostile/" + std::to_string(n++) + (c.file[8] == 'W' ? ".wav" : ".mid"), c.file);
        EXPECT_EQ(playFile(path, &refnum), c.played);
        if (c.played == 0) {
            EXPECT_GE(refnum, 0);
            EXPECT_EQ(api().SOClear(refnum), 0);
        } else {
            EXPECT_EQ(refnum, -1);
        }
    }
}

TEST_F(MidiPlaybackTest, TheLongestSongsSayTheLongestDuration) {
    // One tick a quarter at the slowest tempo, 2^28 ticks at a time: millennia.
    Track t;
    t.tempo(0, 0xFFFFFF).repeat({0xFF, 0xFF, 0xFF, 0x7F, 0xC0, 0x00}, 60).end();
    const std::string path = writeFile("hostile/long.mid", smf(0, 1, {t}));
    twm_loader* loader = nullptr;
    ASSERT_EQ(music().loaderCreate(&loader), TWM_OK);
    twm_segment* segment = nullptr;
    ASSERT_EQ(loader->vtbl->load_segment(loader, path.c_str(), &segment), TWM_OK);
    int64_t length = 0;
    uint32_t ms = 0;
    EXPECT_EQ(segment->vtbl->get_length(segment, &length), TWM_OK);
    for (int64_t start : {int64_t{0}, length / 2}) {
        EXPECT_EQ(segment->vtbl->set_start_point(segment, start), TWM_OK);
        EXPECT_EQ(segment->vtbl->get_duration_ms(segment, &ms), TWM_OK);
        EXPECT_EQ(ms, UINT32_MAX) << "from " << start;
    }
    segment->vtbl->release(segment);
    loader->vtbl->release(loader);
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
constexpr bool kSanitized = __has_feature(address_sanitizer) || __has_feature(thread_sanitizer);
#else
constexpr bool kSanitized = false;
#endif

uint64_t addressSpaceBytes() {
    unsigned long pages = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%lu", &pages) != 1) pages = 0;
        std::fclose(f);
    }
    return uint64_t{pages} * static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
}

// Loads the file through the engine's own loader in a child process whose
// address space may grow by `budget` bytes at most; the load's result, or
// a text saying how the child ended.
std::string loadWithin(const std::string& path, uint64_t budget) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        twm_loader* loader = nullptr;
        if (music().loaderCreate(&loader) != TWM_OK) ::_exit(10);
        const uint64_t limit = addressSpaceBytes() + budget;
        const rlimit r{limit, limit};
        if (::setrlimit(RLIMIT_AS, &r) != 0) ::_exit(11);
        twm_segment* segment = nullptr;
        int32_t result = 0;
        // Whatever happens, the child goes no further than this load.
        try {
            result = loader->vtbl->load_segment(loader, path.c_str(), &segment);
        } catch (...) {
            ::_exit(4);
        }
        ::_exit(result == TWM_OK || result == TWM_E_NOSOUNDFONT ? 0
                : result == TWM_E_BADFILE                        ? 1
                : result == TWM_E_OUTOFMEMORY                    ? 2
                                                                 : 3);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return "no child";
    if (WIFSIGNALED(status)) return "killed by signal " + std::to_string(WTERMSIG(status));
    static const char* const results[] = {"loaded", "bad file", "out of memory", "other result", "exception"};
    const int code = WEXITSTATUS(status);
    return code < 5 ? results[code] : "child set-up failed " + std::to_string(code);
}

TEST_F(PlaybackTest, EventFloodsHoldMemoryInProportionToTheFile) {
    if (kSanitized) GTEST_SKIP() << "sanitizers reserve address space beyond any limit";
    struct Case {
        const char* name;
        Track track;
        const char* outcome;
    };
    Case cases[] = {
        {"system exclusive flood", Track().repeat({0x00, 0xF0, 0x00}, 2'000'000).end(), "loaded"},
        {"running status flood", Track().event(0, {0xC0, 5}).repeat({0x00, 0x05}, 3'000'000).end(), "loaded"},
        {"tempo flood", Track().repeat({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}, 1'000'000).end(), "loaded"},
        {"more events than a song may hold", Track().repeat({0x00, 0xF0, 0x00}, 4'200'000).end(), "bad file"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = smf(0, 96, {c.track});
        c.track = Track();
        const std::string path = writeFile("flood.mid", file);
        // What the song keeps costs at most 16 bytes per byte of file (an
        // event of two bytes becomes one of 32), beside the file's own copy.
        EXPECT_EQ(loadWithin(path, 20 * file.size()), c.outcome);
        std::remove(path.c_str());
    }
}

}  // namespace
}  // namespace playtest
