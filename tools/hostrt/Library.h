// Loads the library the way a host does (dlopen, LoadLibrary on Windows) and
// resolves its exports by name, from the one export list the library's
// version script is made of.
#pragma once

#include <string>
#include <vector>

#include "tonewell/tonewell.h"

namespace hostrt {

struct Exports {
#define TW_EXPORT_FN(name) decltype(&::name) name = nullptr;
#include "tonewell_exports.inc"
#undef TW_EXPORT_FN
};

class Library {
public:
    // Loads the first of the paths that loads; error() says why none did.
    explicit Library(const std::vector<std::string>& candidates);
    explicit Library(const std::string& path) : Library(std::vector<std::string>{path}) {}
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }
    // The path that was loaded.
    const std::string& path() const { return path_; }
    void* handle() const { return handle_; }
    const Exports& api() const { return api_; }
    const Exports* operator->() const { return &api_; }
    // Unloads now (runs the library's unload work).
    void unload();

private:
    void* handle_ = nullptr;
    std::string error_;
    std::string path_;
    Exports api_;
};

}  // namespace hostrt
