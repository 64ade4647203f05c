// Host-side data the commands hand to the library: 2-D sample arrays, 1-D
// int32 arrays and strings, all in host memory blocks behind handles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tonewell/tonewell.h"

namespace cli {

size_t elementSize(uint16_t typeCode);

class HostArray {
public:
    HostArray(uint16_t type, int32_t rows, int32_t cols);
    ~HostArray();
    HostArray(const HostArray&) = delete;
    HostArray& operator=(const HostArray&) = delete;
    TwArrayHandle handle() const { return handle_; }
    uint16_t type() const { return type_; }
    int32_t rows() const;
    int32_t cols() const;
    uint8_t* elements() const;

private:
    TwArrayHandle handle_;
    uint16_t type_;
};

class HostString {
public:
    explicit HostString(const std::string& text = {});
    ~HostString();
    HostString(const HostString&) = delete;
    HostString& operator=(const HostString&) = delete;
    TwStringHandle handle() const { return handle_; }
    std::string str() const;

private:
    TwStringHandle handle_;
};

class IntArray {
public:
    IntArray();
    ~IntArray();
    IntArray(const IntArray&) = delete;
    IntArray& operator=(const IntArray&) = delete;
    TwArrayHandle handle() const { return handle_; }
    std::vector<int32_t> values() const;

private:
    TwArrayHandle handle_;
};

// Tears down what the program made, as a host does when a program ends.
void runCleanups();

}  // namespace cli
