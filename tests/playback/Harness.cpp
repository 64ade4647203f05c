#include "Harness.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#include "host/TestHost.h"
#include "platform/Module.h"

namespace playtest {

MusicControl& music() {
    static MusicControl control = [] {
        MusicControl c;
        const std::string path = testhost::libraryDir() + "/" + TWM_MODULE_FILE;
        void* h = tw::platform::loadModule(path.c_str());
        if (!h) return c;
#define TWM_CONTROL(name) c.name = reinterpret_cast<decltype(c.name)>(tw::platform::findSymbol(h, #name));
#include "tonewell_music_controls.inc"
#undef TWM_CONTROL
        c.loaderCreate = reinterpret_cast<decltype(c.loaderCreate)>(tw::platform::findSymbol(h, TWM_ENTRY_LOADER_CREATE));
        return c;
    }();
    return control;
}

bool haveSoundFont() {
#ifdef _WIN32
    return false;  // the Windows engine has no synthesizer
#endif
    struct stat st;
    return ::stat("/usr/share/sounds/sf2/default-GM.sf2", &st) == 0;
}

twm_control_counts liveCounts() {
    twm_control_counts c{};
    music().twm_control_live_counts(&c);
    return c;
}

twm_segment_info lastSegment() {
    twm_segment_info info{};
    music().twm_control_last_segment(&info);
    return info;
}

int32_t masterVolume() {
    int32_t v = 1;
    music().twm_control_master_volume(&v);
    return v;
}

std::vector<int16_t> tapSamples(uint32_t index) {
    const std::vector<uint8_t> bytes = testhost::readTap(index);
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

Span loudSpan(const std::vector<int16_t>& samples, int channels, int threshold) {
    Span s;
    for (size_t i = 0; i < samples.size(); ++i) {
        if (std::abs(samples[i]) <= threshold) continue;
        int64_t frame = static_cast<int64_t>(i) / channels;
        if (s.first < 0) s.first = frame;
        s.last = frame;
    }
    return s;
}

int peak(const std::vector<int16_t>& samples) {
    int p = 0;
    for (int16_t v : samples) p = std::max(p, std::abs(static_cast<int>(v)));
    return p;
}

int32_t playFile(const std::string& path, TaskRefnum* refnum, int32_t device, uint32_t delayMs) {
    auto text = testhost::makeString(path);
    return testhost::library()->PlaySoundFile(device, text.get(), delayMs, refnum);
}

std::string stateDesc(TaskRefnum refnum) {
    uint8_t input = 0;
    auto text = testhost::makeString("");
    int32_t r = testhost::library()->GetStateDesc(refnum, &input, text.get());
    return r == 0 ? testhost::readString(text.get()) : "error " + std::to_string(r);
}

int32_t setVolume(TaskRefnum refnum, int32_t volume) {
    auto values = testhost::makeInt32Array({volume});
    return testhost::library()->SOVolume(refnum, values.get());
}

std::vector<int32_t> volumes(TaskRefnum refnum) {
    auto values = testhost::makeInt32Array({});
    uint8_t flag = 9;
    const int32_t r = testhost::library()->SOInfo(refnum, values.get(), &flag);
    std::vector<int32_t> v = testhost::readInt32Array(values.get());
    v.insert(v.end(), {r, flag});
    return v;
}

void PlaybackTest::SetUp() {
    ASSERT_TRUE(driver().loaded());
    ASSERT_TRUE(testhost::library().loaded()) << testhost::library().error();
    ASSERT_TRUE(music().loaded()) << "libtonewell-music.so not found";
}

void PlaybackTest::TearDown() {
    driver().tws_virtual_set_speed(1.0);
    if (music().loaded()) {
        music().twm_control_clear_faults();
        music().twm_control_set_soundfont_dir(nullptr);
    }
}

void MidiPlaybackTest::SetUp() {
    PlaybackTest::SetUp();
    if (!haveSoundFont()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    // The engine follows the play cursor: at twice real time what it plays
    // is the same, and a two-second song still plays a second.
    driver().tws_virtual_set_speed(2.0);
}

}  // namespace playtest
