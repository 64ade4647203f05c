// Finds the General MIDI SoundFont: default-GM.sf2 in the SoundFont
// directory first, then any *.sf2 there in name order.
#pragma once

#include <string>

namespace twm {

class SoundFontLocator {
public:
    // The system's standard place.
    static constexpr const char* kDefaultDirectory = "/usr/share/sounds/sf2";

    // Path of a readable SoundFont, or empty.
    static std::string find();
    // Null restores the standard place.
    static void setDirectory(const char* directory);
};

}  // namespace twm
