// A host that leaves one object of the library live and then ends: either it
// exits at once, or it unloads the library first and then exits. Used by the
// lifetime tests as a child process.
//
//   lifetime_exit_host KIND exit|unload SCRATCH_DIR
//
// KIND: oneshot, continuous, input, midi, reader, writer. The writer's file
// is SCRATCH_DIR/open.wav with frames 0..kFrames-1 of a 16-bit ramp.
// Exit status 0 unless a step failed (its number, from 10; 12: the library
// stayed loaded after it was unloaded, or on Windows did not stay after a task).
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/Library.h"
#include "host/TestHost.h"
#include "platform/Module.h"

namespace {

constexpr int32_t kFrames = 4410;

int32_t writeRamp(const testhost::Exports& api, const std::string& path, bool close, TaskRefnum& refnum) {
    auto name = testhost::makeString(path);
    if (int32_t r = api.SoundWriteFileOpen(name.get(), &refnum, 44100.0, 1, 16)) return r;
    auto data = testhost::makeArray2D(TW_TYPE_I16, 1, kFrames);
    for (int32_t i = 0; i < kFrames; ++i) testhost::set2D<int16_t>(data.get(), 0, i, static_cast<int16_t>(i));
    int32_t written = 0;
    if (int32_t r = api.SoundWriteFileData(refnum, data.get(), &written, TW_TYPE_I16)) return r;
    return close ? api.SoundFileClose(refnum) : 0;
}

int32_t openKind(const testhost::Exports& api, const std::string& kind, const std::string& dir) {
    TaskRefnum refnum = -1;
    double rate = 44100.0;
    int32_t channels = 2, bits = 16;
    if (kind == "oneshot" || kind == "continuous") {
        const bool continuous = kind == "continuous";
        if (int32_t r = api.SOConfigure(0, 4410, &rate, &channels, &bits, continuous ? 1 : 0, &refnum)) return r;
        auto data = testhost::makeArray2D(TW_TYPE_I16, 2, 2000);
        return api.SOWrite(refnum, data.get(), -1.0, TW_TYPE_I16);
    }
    if (kind == "input") return api.SIConfigure(0, 4410, &rate, &channels, &bits, 1, &refnum);
    if (kind == "writer") return writeRamp(api, dir + "/open.wav", false, refnum);
    const std::string sound = dir + "/sound.wav";
    if (int32_t r = writeRamp(api, sound, true, refnum)) return r;
    auto name = testhost::makeString(sound);
    if (kind == "reader") return api.SoundReadFileOpen(name.get(), &refnum);
    if (kind == "midi") return api.PlaySoundFile(0, name.get(), 0, &refnum);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    auto& library = testhost::library();
    if (!library.loaded()) return 10;
    if (openKind(library.api(), argv[1], argv[3]) != 0) return 11;
    if (std::strcmp(argv[2], "unload") == 0) {
        library.unload();
        // Unloaded for good: nothing of it may be left running. On Windows a
        // library that ran a task keeps itself loaded (its threads could not
        // end under the loader lock); files alone let it go.
        const bool ranTask = std::strcmp(argv[1], "reader") != 0 && std::strcmp(argv[1], "writer") != 0;
        const bool stays = tw::platform::findLoadedModule(testhost::libraryPath().c_str()) != nullptr;
#ifdef _WIN32
        if (stays != ranTask) return 12;
#else
        (void)ranTask;
        if (stays) return 12;
#endif
    } else if (std::strcmp(argv[2], "exit") != 0) {
        return 2;
    }
    std::exit(0);
}
