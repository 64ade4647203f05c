#include "DriverTestSupport.h"

#include "host/TestHost.h"
#include "host/VirtualDriver.h"
#include "platform/Module.h"

#include <cmath>
#include <cstdlib>
#include <numbers>

namespace drivertest {

namespace {

// Before anything loads the module, directly or through the library: this
// program tests the real devices, whatever the runner's environment says.
const bool kDriverChosen = testhost::setEnv("TONEWELL_SOUND_DRIVER", kDriverName);

template <typename T>
void lookup(void* handle, const char* name, T& out) {
    out = reinterpret_cast<T>(tw::platform::findSymbol(handle, name));
}

}  // namespace

const SoundModule& module() {
    static const SoundModule loaded = [] {
        (void)kDriverChosen;
        prepareServer();
        SoundModule m;
        void* handle = tw::platform::loadModule(testhost::soundModulePath().c_str());
        if (handle == nullptr) {
            ADD_FAILURE() << "sound module not loadable: " << testhost::soundModulePath();
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

std::string defaultDevicesProblem() {
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

}  // namespace drivertest
