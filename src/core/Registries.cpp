#include "core/Registries.h"

#include "core/InputConfiguration.h"
#include "core/OutputConfiguration.h"
#include "core/SharedExclusiveLock.h"
#include "file/SoundFile.h"
#include "platform/Module.h"

// The C++ run-time's registration of exit work for one shared object.
extern "C" {
extern void* __dso_handle;
int __cxa_atexit(void (*function)(void*), void* argument, void* dso);
}

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
    // At process exit on Windows the other threads are gone, holding whatever
    // they held, and the sound system module has detached first: only the
    // open WAV files are finished; the system takes back everything else.
    if (platform::processShuttingDown()) {
        if (gSoundFiles) gSoundFiles->forEachAtExit([](SoundFile& file) { file.finishAtExit(); });
        gSoundFiles = nullptr;
        return;
    }
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
// static objects exist runs before they are destroyed. Registered for this
// library itself, it also runs first at dlclose and is dropped with the
// library. (Plain atexit does that too, except where a run-time, such as a
// sanitizer's, takes it over for the whole process: the handler would then
// be called at exit in an unmapped library.)
void detachBeforeModuleTeardown() { __cxa_atexit([](void*) { libraryDetach(); }, nullptr, &__dso_handle); }

}  // namespace tw
