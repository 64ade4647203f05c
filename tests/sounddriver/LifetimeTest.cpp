// Processes that end, or unload the library, with an object of each kind
// still live on the system's driver.
#include "DriverTestSupport.h"
#include "ExitCases.h"

namespace drivertest {
namespace {

TEST(DriverLifetime, EndsCleanlyWithEveryKindOfObjectLive) {
    REQUIRE_SOUND_SERVER();
    lifetime::expectCleanEndsWithLiveObjects(kDriverName);
}

}  // namespace
}  // namespace drivertest
