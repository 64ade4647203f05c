// The devices as the library lists them, and choosing one from the command
// line: by index, or by name (whole, or a part that only one device has).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

struct Device {
    bool input = false;
    int32_t index = -1;
    std::string name;
    std::vector<int32_t> channels;  // the channel counts it takes
    std::vector<int32_t> bits;      // the sample sizes it takes
    double minRate = 0, maxRate = 0;
    int32_t status = 0;             // nonzero: capabilities unavailable
};

std::vector<Device> listDevices(bool input);
// Throws UsageError naming the devices there are.
Device chooseDevice(const std::string& choice, bool input);
// Throws UsageError when the device does not list the value.
void checkRate(const Device& device, double rate);
void checkChannels(const Device& device, int channels);
void checkBits(const Device& device, int bits);

// "output device 1 (Virtual Output 2)"
std::string describe(const Device& device);
// The driver the sound system module uses when none is named.
#ifdef _WIN32
inline constexpr const char* kSystemDriver = "directsound";
#else
inline constexpr const char* kSystemDriver = "alsa";
#endif
// The driver the sound system module will use, and why a driver found no
// device (empty when it did, or there is nothing to say).
std::string activeDriver();
std::string whyNoDevices(bool input);

}  // namespace cli
