// Loads the built libtonewell.so the way a host does (dlopen) and resolves
// the exports. Each test program loads it once; refnums therefore count on
// across the tests of one program.
#pragma once

#include <string>

#include "tonewell/tonewell.h"

namespace testhost {

struct Exports {
#define TW_EXPORT_FN(name) decltype(&::name) name = nullptr;
#include "ExportList.inc"
#undef TW_EXPORT_FN
};

class Library {
public:
    // Loads `path` (default: libtonewell.so in TONEWELL_LIB_DIR).
    explicit Library(const std::string& path = {});
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }
    void* handle() const { return handle_; }
    const Exports& api() const { return api_; }
    const Exports* operator->() const { return &api_; }
    // Unloads now (runs the library's unload work).
    void unload();

private:
    void* handle_ = nullptr;
    std::string error_;
    Exports api_;
};

// The library shared by all tests of a program, loaded on first use.
Library& library();

}  // namespace testhost
