// The PCM devices ALSA names for a direction (its device hints), and the
// stable identifiers the module gives them.
#pragma once

#include <string>
#include <vector>

#include "driver/Driver.h"

namespace tws {

struct AlsaHint {
    std::string name;         // what snd_pcm_open takes
    std::string description;  // first line of the hint's text, then the name
};

// In ALSA's order, without the null device (it is not paced, so it can
// neither play in time nor capture anything).
std::vector<AlsaHint> pcmHints(Direction direction);

// Derived from the direction and the ALSA name only, so a device keeps its
// identifier across runs whatever else comes and goes.
tws_guid guidForName(Direction direction, const std::string& name);

}  // namespace tws
