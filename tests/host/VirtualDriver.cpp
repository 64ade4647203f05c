#include "VirtualDriver.h"

#include "TestHost.h"
#include "platform/Module.h"

namespace testhost {

std::string soundModulePath() { return libraryDir() + "/" + TWS_MODULE_FILE; }

VirtualDriver& virtualDriver() {
    static VirtualDriver* driver = [] {
        auto* d = new VirtualDriver();
        d->handle = tw::platform::loadModule(soundModulePath().c_str());
        if (d->handle) {
#define TWS_CONTROL(name) \
    d->name = reinterpret_cast<decltype(d->name)>(tw::platform::findSymbol(d->handle, #name));
#include "tonewell_sound_controls.inc"
#undef TWS_CONTROL
        }
        return d;
    }();
    return *driver;
}

std::vector<uint8_t> readTap(uint32_t index) {
    tws_virtual_tap info{};
    if (virtualDriver().tws_virtual_tap_info(index, &info) != TWS_OK) return {};
    std::vector<uint8_t> bytes(info.kept);
    const int64_t n = virtualDriver().tws_virtual_tap_read(index, 0, bytes.data(), bytes.size());
    bytes.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return bytes;
}

}  // namespace testhost
