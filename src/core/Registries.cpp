#include "core/Registries.h"

#include <cstdlib>

#include "core/InputConfiguration.h"
#include "core/OutputConfiguration.h"
#include "core/SharedExclusiveLock.h"
#include "file/SoundFile.h"

namespace tw {
namespace {

// Plain pointers, not static objects: at process exit the C++ run-time
// destroys static objects before the library's detach work runs, and task
// shutdown must still find everything it uses.
SharedExclusiveLock* gDeviceManagerLock = nullptr;
OutputTaskRegistry* gOutputTasks = nullptr;
InputTaskRegistry* gInputTasks = nullptr;
SoundFileRegistry* gSoundFiles = nullptr;

}  // namespace

OutputTaskRegistry& outputTaskRegistry() {
    if (!gOutputTasks) libraryAttach();
    return *gOutputTasks;
}
InputTaskRegistry& inputTaskRegistry() {
    if (!gInputTasks) libraryAttach();
    return *gInputTasks;
}
SoundFileRegistry& soundFileRegistry() {
    if (!gSoundFiles) libraryAttach();
    return *gSoundFiles;
}
SharedExclusiveLock* deviceManagerLock() {
    if (!gDeviceManagerLock) libraryAttach();
    return gDeviceManagerLock;
}

void libraryAttach() {
    if (gDeviceManagerLock) return;
    gDeviceManagerLock = new SharedExclusiveLock();
    gOutputTasks = new OutputTaskRegistry();
    gInputTasks = new InputTaskRegistry();
    gSoundFiles = new SoundFileRegistry();
}

void libraryDetach() {
    delete gOutputTasks;
    gOutputTasks = nullptr;
    delete gInputTasks;
    gInputTasks = nullptr;
    delete gSoundFiles;
    gSoundFiles = nullptr;
    delete gDeviceManagerLock;
    gDeviceManagerLock = nullptr;
}

// Exit handlers run in the reverse order of their registration, and all of
// them before the library's own unload work: one registered after a module's
// static objects exist runs before they are destroyed. At dlclose of the
// library it runs first too.
void detachBeforeModuleTeardown() { std::atexit([] { libraryDetach(); }); }

}  // namespace tw
