// A host that exits, or unloads the library and then exits, with an object of
// each kind still live on the virtual driver (the ALSA driver: tests/sounddriver).
#include <gtest/gtest.h>

#include "ExitCases.h"

TEST(Exit, EndsCleanlyWithEveryKindOfObjectLive) { lifetime::expectCleanEndsWithLiveObjects("virtual"); }
