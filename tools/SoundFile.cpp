#include "SoundFile.h"

#include "Failure.h"
#include "Library.h"
#include "hostrt/HostRuntime.h"

namespace cli {

ReadFile::ReadFile(const std::string& path, const std::string& display) {
    const hostrt::Exports& lib = api();
    auto name = hostrt::makeString(path);
    check(lib.SoundReadFileOpen(name.get(), &refnum_), "cannot open " + display);
    const int32_t r = lib.SoundFileInfoRef(refnum_, 0, &rate, &channels, &bits, &duration, &frames);
    if (r > 0) {
        lib.SoundFileClose(refnum_);
        refnum_ = -1;
        check(r, "cannot read the format of " + display);
    }
}

ReadFile::~ReadFile() {
    if (refnum_ >= 0) api().SoundFileClose(refnum_);
}

}  // namespace cli
