// Root of every object that registers with the host's clean-up: tasks and
// sound files. The host's procedure calls `cleanup` when it tears down the
// program that made the object; the object itself stays registered.
#pragma once

#include <cstdint>

namespace tw {

class Cleanable {
public:
    virtual int32_t cleanup() = 0;
    virtual ~Cleanable() = default;
};

// The procedure handed to the host for every task and sound file.
int32_t taskCleanupProc(void* object);

}  // namespace tw
