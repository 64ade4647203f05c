// The midi command, also reached by `play` for MIDI files.
#pragma once

#include <string>

#include "Command.h"

namespace cli {

// ".mid", ".midi" or ".rmi" at the end of the name, in any case.
bool isMidiFile(const std::string& path);
// Plays a file with PlaySoundFile: FILE [--device N] [--volume V].
int runMidi(const Args& args);

}  // namespace cli
