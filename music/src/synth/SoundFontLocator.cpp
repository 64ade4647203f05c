#include "synth/SoundFontLocator.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <vector>

namespace twm {

namespace {

std::mutex& directoryMutex() {
    static std::mutex* m = new std::mutex();
    return *m;
}

std::string& directory() {
    static std::string* d = new std::string(SoundFontLocator::kDefaultDirectory);
    return *d;
}

bool readableFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), R_OK) == 0;
}

bool endsWithSf2(const std::string& name) {
    if (name.size() < 4) return false;
    std::string tail = name.substr(name.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == ".sf2";
}

}  // namespace

std::string SoundFontLocator::find() {
    std::string dir;
    {
        std::lock_guard<std::mutex> lock(directoryMutex());
        dir = directory();
    }
    if (readableFile(dir + "/default-GM.sf2")) return dir + "/default-GM.sf2";
    std::vector<std::string> names;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d))
            if (endsWithSf2(e->d_name)) names.push_back(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names)
        if (readableFile(dir + "/" + n)) return dir + "/" + n;
    return {};
}

void SoundFontLocator::setDirectory(const char* dir) {
    std::lock_guard<std::mutex> lock(directoryMutex());
    directory() = dir ? dir : kDefaultDirectory;
}

}  // namespace twm
