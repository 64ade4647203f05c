// The DirectSound side of the driver tests: the module with the directsound
// driver. Under Wine the system's devices are the sound server's, whose
// default sink's monitor is the default capture device.
#include "DriverTestSupport.h"

namespace drivertest {

// The system's play cursor is what it has handed to the server, which holds
// a block of its own before the sink renders it.
const double kServerLead = 0.06;

const char* const kDriverName = "directsound";
// The server's default sink is the tests' own.
void prepareServer() {}
// The test server's sink, and its monitor.
const char* const kDefaultDeviceName = "Null Output";

// The system names every device's driver module.
void expectDriverNaming(const Device& device) { EXPECT_FALSE(device.moduleName.empty()); }

std::string serverProblem() {
    for (bool capture : {false, true}) {
        if (enumerate(capture).size() < 2)
            return std::string("DirectSound lists no ") + (capture ? "capture" : "output") + " device";
    }
    return defaultDevicesProblem();
}

}  // namespace drivertest
