// Processes that end with objects of the library still live: the exit host
// (ExitHost.cpp) run once for every kind of object and every way of ending.
#pragma once

#include <string>

namespace lifetime {

// Runs the host on `driver` ("virtual" or "alsa") and checks that each run
// ends cleanly and that the WAV file a writer left open is complete.
void expectCleanEndsWithLiveObjects(const std::string& driver);

}  // namespace lifetime
