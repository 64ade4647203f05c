// The ALSA side of the driver tests: the module with the alsa driver, and a
// null sink of the test's own on the sound server.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "DriverTestSupport.h"

namespace drivertest {

namespace {

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

}  // namespace

// The null sink renders a block ahead, and the driver works in 10 ms periods.
const double kServerLead = 0.02;

const char* const kDriverName = "alsa";
void prepareServer() { usePrivateSink(); }
const char* const kDefaultDeviceName = "(default)";

// ALSA's name of the device, in its description; never the unpaced null device.
void expectDriverNaming(const Device& device) {
    EXPECT_NE(device.moduleName, "null") << "the unpaced null device must not be offered";
    EXPECT_NE(device.description.find("(" + device.moduleName + ")"), std::string::npos) << device.description;
}

std::string serverProblem() {
    for (bool capture : {false, true}) {
        bool listed = false;
        for (const auto& d : enumerate(capture)) listed = listed || d.moduleName == "default";
        if (!listed) return std::string("ALSA lists no default ") + (capture ? "capture" : "output") + " device";
    }
    return defaultDevicesProblem();
}

}  // namespace drivertest
