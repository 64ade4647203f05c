#include "AlsaTestSupport.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>

namespace alsatest {

namespace {

// Before anything loads the module (directly or through the library): this
// program tests the real devices.
const bool kAlsaSelected = [] {
    ::setenv("TONEWELL_SOUND_DRIVER", "alsa", 1);
    return true;
}();

std::string runQuiet(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, p)) out += line;
        ::pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

std::string sinkModule;

void unloadSink() {
    if (!sinkModule.empty()) runQuiet("pactl unload-module " + sinkModule);
}

// ctest runs the tests of this program side by side, each in its own
// process: each gets a null sink of its own on the server (the default
// device of its streams, and its monitor the default capture), so no test
// hears another.
void usePrivateSink() {
    if (std::getenv("PULSE_SERVER") == nullptr) return;
    const std::string name = "tw_test_" + std::to_string(::getpid());
    sinkModule = runQuiet("pactl load-module module-null-sink sink_name=" + name +
                          " norewinds=1 rate=44100 channels=2");
    if (sinkModule.empty() || sinkModule.find_first_not_of("0123456789") != std::string::npos) {
        sinkModule.clear();
        return;
    }
    ::setenv("PULSE_SINK", name.c_str(), 1);
    ::setenv("PULSE_SOURCE", (name + ".monitor").c_str(), 1);
    std::atexit(unloadSink);
}

template <typename T>
void lookup(void* handle, const char* name, T& out) {
    out = reinterpret_cast<T>(::dlsym(handle, name));
}

}  // namespace

const SoundModule& module() {
    static const SoundModule loaded = [] {
        (void)kAlsaSelected;
        usePrivateSink();
        const char* dir = std::getenv("TONEWELL_LIB_DIR");
        std::string path = std::string(dir ? dir : "build/lib") + "/" + TWS_MODULE_FILE;
        SoundModule m;
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            ADD_FAILURE() << "sound module not loadable: " << ::dlerror();
            std::abort();
        }
        lookup(handle, TWS_ENTRY_SOUND_CREATE, m.soundCreate);
        lookup(handle, TWS_ENTRY_CAPTURE_CREATE, m.captureCreate);
        lookup(handle, TWS_ENTRY_SOUND_ENUMERATE, m.soundEnumerate);
        lookup(handle, TWS_ENTRY_CAPTURE_ENUMERATE, m.captureEnumerate);
        return m;
    }();
    return loaded;
}

std::vector<Device> enumerate(bool capture, tws_result* result) {
    std::vector<Device> list;
    auto callback = [](const tws_guid* guid, const char* description, const char* name,
                       void* context) -> int32_t {
        static_cast<std::vector<Device>*>(context)->push_back(
            {guid != nullptr, guid ? *guid : tws_guid{}, description, name});
        return 1;
    };
    const auto& m = module();
    tws_result r = capture ? m.captureEnumerate(callback, &list) : m.soundEnumerate(callback, &list);
    if (result) *result = r;
    return list;
}

std::string serverProblem() {
    for (bool capture : {false, true}) {
        bool listed = false;
        for (const auto& d : enumerate(capture)) listed = listed || d.alsaName == "default";
        if (!listed) return std::string("ALSA lists no default ") + (capture ? "capture" : "output") + " device";
    }
    tws_sound* sound = nullptr;
    if (module().soundCreate(nullptr, &sound) != TWS_OK) return "the default output does not open";
    sound->vtbl->release(sound);
    tws_capture* capture = nullptr;
    if (module().captureCreate(nullptr, &capture) != TWS_OK) return "the default capture does not open";
    capture->vtbl->release(capture);
    return {};
}

bool serverRequired() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v != nullptr && *v != '\0' && std::string(v) != "false";
    };
    return set("CI") || set("TONEWELL_REQUIRE_SOUND_SERVER");
}

std::vector<int16_t> sine(double frequency, uint32_t rate, uint32_t frames, uint16_t channels,
                          double amplitude) {
    std::vector<int16_t> out(static_cast<size_t>(frames) * channels);
    for (uint32_t i = 0; i < frames; ++i) {
        const double v = amplitude * std::sin(2 * std::numbers::pi * frequency * i / rate);
        for (uint16_t c = 0; c < channels; ++c)
            out[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(std::lround(v));
    }
    return out;
}

std::vector<double> channel(const std::vector<int16_t>& samples, uint16_t channels, uint16_t which) {
    std::vector<double> out;
    out.reserve(samples.size() / channels);
    for (size_t i = which; i < samples.size(); i += channels) out.push_back(samples[i]);
    return out;
}

double rms(const std::vector<double>& x) {
    if (x.empty()) return 0.0;
    double sum = 0;
    for (double v : x) sum += v * v;
    return std::sqrt(sum / static_cast<double>(x.size()));
}

double toneShare(const std::vector<double>& x, double frequency, uint32_t rate) {
    if (x.empty()) return 0.0;
    const double w = 2 * std::numbers::pi * frequency / rate;
    const double coeff = 2 * std::cos(w);
    double s1 = 0, s2 = 0, energy = 0;
    for (double v : x) {
        const double s0 = v + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
        energy += v * v;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    // A pure tone of N samples gives power = energy * N / 2.
    return energy > 0 ? power / (energy * static_cast<double>(x.size()) / 2) : 0.0;
}

}  // namespace alsatest
