// The ALSA driver over a task's life: processes that end with objects live.
#include "AlsaTestSupport.h"
#include "ExitCases.h"

namespace alsatest {
namespace {

TEST(AlsaLifetime, EndsCleanlyWithEveryKindOfObjectLive) {
    REQUIRE_SOUND_SERVER();
    lifetime::expectCleanEndsWithLiveObjects("alsa");
}

}  // namespace
}  // namespace alsatest
