// tonewell devices: the output and capture devices with what they take.
#include <algorithm>
#include <cstdio>
#include <string>

#include "Console.h"
#include "Devices.h"
#include "Options.h"

namespace cli {

namespace {

std::string ranges(const std::vector<int32_t>& values) {
    if (values.empty()) return "-";
    // Runs of consecutive values as "1-8".
    std::string s;
    for (size_t i = 0; i < values.size();) {
        size_t j = i;
        while (j + 1 < values.size() && values[j + 1] == values[j] + 1) ++j;
        if (!s.empty()) s += ",";
        s += std::to_string(values[i]);
        if (j > i + 1) s += "-" + std::to_string(values[j]);
        else if (j == i + 1) s += "," + std::to_string(values[j]);
        i = j + 1;
    }
    return s;
}

std::string rates(const Device& d) {
    char text[64];
    if (d.minRate == d.maxRate) std::snprintf(text, sizeof text, "%.0f", d.minRate);
    else std::snprintf(text, sizeof text, "%.0f-%.0f", d.minRate, d.maxRate);
    return text;
}

void table(const std::vector<Device>& devices, bool input) {
    std::printf("%s devices (%s driver):\n", input ? "Capture" : "Output", activeDriver().c_str());
    if (devices.empty()) {
        std::printf("  none\n");
        return;
    }
    size_t nameWidth = 4;
    for (const Device& d : devices) nameWidth = std::max(nameWidth, d.name.size());
    std::printf("  %5s  %-*s  %-8s  %-8s  %s\n", "Index", static_cast<int>(nameWidth), "Name", "Channels", "Bits",
                "Rates (Hz)");
    for (const Device& d : devices) {
        if (d.status != 0) {
            std::printf("  %5d  %-*s  (its capabilities cannot be read: error %d)\n", d.index,
                        static_cast<int>(nameWidth), d.name.c_str(), d.status);
            continue;
        }
        std::printf("  %5d  %-*s  %-8s  %-8s  %s\n", d.index, static_cast<int>(nameWidth), d.name.c_str(),
                    ranges(d.channels).c_str(), ranges(d.bits).c_str(), rates(d).c_str());
    }
}

void brief(const std::vector<Device>& devices, bool input) {
    for (const Device& d : devices)
        std::printf("%s %d: %s (channels %s, bits %s, %s Hz)\n", input ? "capture" : "output", d.index,
                    d.name.c_str(), ranges(d.channels).c_str(), ranges(d.bits).c_str(), rates(d).c_str());
}

}  // namespace

int runDevices(const DevicesOptions& options) {
    const std::vector<Device> outputs = listDevices(false);
    const std::vector<Device> captures = listDevices(true);
    if (options.count) {
        std::printf("%zu %zu\n", outputs.size(), captures.size());
    } else if (options.brief) {
        brief(outputs, false);
        brief(captures, true);
    } else {
        table(outputs, false);
        std::printf("\n");
        table(captures, true);
    }
    const std::string why = outputs.empty() ? whyNoDevices(false) : captures.empty() ? whyNoDevices(true) : "";
    if (!why.empty()) note("%s", why.c_str());
    return 0;
}

}  // namespace cli
