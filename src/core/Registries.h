// The process-wide registries and the device manager lock, created when the
// library is attached and destroyed, in a fixed order, when it is detached.
#pragma once

#include "core/RefnumRegistry.h"

namespace tw {

class OutputConfiguration;
class InputConfiguration;
class SoundFile;
class SharedExclusiveLock;

using OutputTaskRegistry = RefnumRegistry<OutputConfiguration>;
using InputTaskRegistry = RefnumRegistry<InputConfiguration>;
using SoundFileRegistry = RefnumRegistry<SoundFile>;

OutputTaskRegistry& outputTaskRegistry();
InputTaskRegistry& inputTaskRegistry();
SoundFileRegistry& soundFileRegistry();

// Creates the lock and the registries (attach). Idempotent.
void libraryAttach();
// Destroys output tasks, input tasks, files (each in ascending refnum order),
// then the device manager lock (detach). Idempotent.
void libraryDetach();
// Called right after a module the tasks use has been loaded: makes the detach
// run at exit (or unload) before that module's own exit-time destruction,
// which the C++ run-time would otherwise do first.
void detachBeforeModuleTeardown();

}  // namespace tw
