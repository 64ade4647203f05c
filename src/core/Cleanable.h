// Root of every object that registers with the host's clean-up: tasks and
// sound files. The host's procedure calls `cleanup` when it tears down the
// program that made the object; the object itself stays registered.
//
// The host may call a registered procedure from any thread until the mode-0
// call for it returns, so a registration covers only the object's whole life:
// it is made once the object is complete (when its registry takes it) and
// withdrawn before any of its teardown starts (before its registry deletes
// it). A procedure still running then is waited for; one arriving later does
// nothing.
#pragma once

#include <cstdint>

#include "tonewell/tonewell.h"

namespace tw {

class Cleanable {
public:
    virtual int32_t cleanup() = 0;
    // Withdraws a registration still standing (an object deleted outside a
    // registry); the derived parts are gone by then, so registries withdraw first.
    virtual ~Cleanable();
};

// The procedure handed to the host for every task and sound file.
int32_t taskCleanupProc(void* object);

namespace cleanup {

// Registers a complete object with taskCleanupProc (mode 2); the host's result.
int32_t enrol(Cleanable* object);
// Adds a registration of `proc` in `mode` that lasts until withdraw; made once
// per object and procedure (a refused one is tried again). The host's result.
int32_t enrolAlso(Cleanable* object, TwCleanupProc proc, int32_t mode);
// Ends every registration of the object: from here on its procedures do
// nothing, a clean-up in progress has finished, and the host is told (mode 0).
void withdraw(Cleanable* object);
// The body of every procedure: the object's `cleanup`, or 1 when the object
// is not registered (unknown, or being withdrawn).
int32_t run(void* object);

}  // namespace cleanup

}  // namespace tw
