// Standard input as a file the library can open: the library reads sound
// files by path, and seeks in them. A regular file behind standard input is
// used in place; a pipe is copied to a temporary file first.
#pragma once

#include <string>

namespace cli {

class InputFile {
public:
    // "-" means standard input; any other name is used as it is. Sound files
    // read from a pipe keep `suffix` (".mid" marks a MIDI file).
    explicit InputFile(const std::string& name);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const std::string& path() const { return path_; }
    // What to call it in messages.
    const std::string& display() const { return display_; }
    // Gives the file a name ending in `suffix` (a link beside a copy) when it
    // has none; the music engine tells MIDI files by their names.
    void ensureSuffix(const std::string& suffix);

private:
    std::string path_;
    std::string display_;
    std::string tempDir_;
};

struct PlayOptions;
// Plays a MIDI file through the music engine (the midi command's work).
int playMidi(InputFile& input, const PlayOptions& options);

// The first bytes of a file ("" when it cannot be read).
std::string leadingBytes(const std::string& path, size_t count);
// A Standard MIDI File or a RIFF MIDI file, by its content.
bool looksLikeMidi(const std::string& path);

}  // namespace cli
