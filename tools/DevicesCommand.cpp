// tonewell devices: the output and capture devices with their capabilities.
#include <cstdio>
#include <string>

#include "Command.h"
#include "HostRuntime.h"
#include "Library.h"

namespace {

std::string joined(const std::vector<int32_t>& values) {
    std::string s;
    for (size_t i = 0; i < values.size(); ++i) {
        if (i) s += ',';
        s += std::to_string(values[i]);
    }
    return s.empty() ? "-" : s;
}

void listDevices(bool input) {
    const cli::Api& api = cli::api();
    uint8_t flag = input ? 1 : 0;
    int32_t count = 0;
    api.SoundNumDevices(&flag, &count);
    std::printf("%s devices: %d\n", input ? "Capture" : "Output", count);
    if (count == 0) {
        std::printf("  (none: no sound system or no %s device found)\n", input ? "capture" : "output");
        return;
    }
    std::printf("  %-5s %-40s %-10s %-8s %s\n", "index", "name", "channels", "bits", "rates (Hz)");
    for (int32_t i = 0; i < count; ++i) {
        cli::IntArray channels, bits;
        cli::HostString name;
        double minRate = 0, maxRate = 0;
        int32_t r = api.SoundDeviceInfo(i, &flag, channels.handle(), bits.handle(), &minRate, &maxRate,
                                        name.handle());
        if (r != 0) {
            std::printf("  %-5d %-40s (capabilities unavailable: error %d)\n", i, name.str().c_str(), r);
            continue;
        }
        std::printf("  %-5d %-40s %-10s %-8s %.0f - %.0f\n", i, name.str().c_str(),
                    joined(channels.values()).c_str(), joined(bits.values()).c_str(), minRate, maxRate);
    }
}

int runDevices(const cli::Args&) {
    listDevices(false);
    std::printf("\n");
    listDevices(true);
    return 0;
}

const cli::CommandRegistration kRegistration({"devices", "devices", "list output and capture devices", runDevices});

}  // namespace
