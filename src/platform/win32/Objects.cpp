// Events, semaphores and the waits over the system's own kernel objects.
#include <windows.h>

#include <algorithm>

#include "platform/Event.h"
#include "platform/Semaphore.h"
#include "platform/Wait.h"

namespace tw::platform {

static_assert(kInfinite == INFINITE && kWaitTimeout == WAIT_TIMEOUT && kWaitFailed == WAIT_FAILED &&
              kWaitObject0 == WAIT_OBJECT_0);

Waitable::Waitable(void* handle) : handle_(handle) {}

Waitable::~Waitable() {
    if (handle_ != nullptr) CloseHandle(handle_);
}

Event::Event(bool manualReset, bool initiallySignalled)
    : Waitable(CreateEventW(nullptr, manualReset, initiallySignalled, nullptr)) {}

void Event::set() {
    SetEvent(nativeHandle());
}

void Event::reset() {
    ResetEvent(nativeHandle());
}

bool Event::isSet() const {
    // A wait would consume the signal of an auto-reset event; put it back.
    if (WaitForSingleObject(nativeHandle(), 0) != WAIT_OBJECT_0) return false;
    SetEvent(nativeHandle());
    return true;
}

Semaphore::Semaphore(int32_t initialCount, int32_t maximumCount)
    : Waitable(CreateSemaphoreW(nullptr,
                                std::clamp<int32_t>(initialCount, 0, std::max<int32_t>(maximumCount, 1)),
                                std::max<int32_t>(maximumCount, 1), nullptr)) {}

bool Semaphore::release(int32_t count, int32_t* previousCount) {
    LONG previous = 0;
    if (count <= 0 || !ReleaseSemaphore(nativeHandle(), count, &previous)) return false;
    if (previousCount != nullptr) *previousCount = previous;
    return true;
}

namespace {

// Gathers the handles; false for a null entry or more than the system takes.
bool collectHandles(Waitable* const* objects, size_t count, size_t limit, HANDLE* handles) {
    if (count > limit || (count > 0 && objects == nullptr)) return false;
    for (size_t i = 0; i < count; ++i) {
        if (objects[i] == nullptr) return false;
        handles[i] = objects[i]->nativeHandle();
    }
    return true;
}

}  // namespace

uint32_t waitForSingleObject(Waitable& object, uint32_t timeoutMs) {
    return WaitForSingleObject(object.nativeHandle(), timeoutMs);
}

uint32_t waitForMultipleObjects(Waitable* const* objects, size_t count, uint32_t timeoutMs) {
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    if (count == 0 || !collectHandles(objects, count, MAXIMUM_WAIT_OBJECTS, handles)) return kWaitFailed;
    return WaitForMultipleObjects(static_cast<DWORD>(count), handles, FALSE, timeoutMs);
}

uint32_t msgWaitForMultipleObjects(Waitable* const* objects, size_t count, uint32_t timeoutMs) {
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    if (!collectHandles(objects, count, MAXIMUM_WAIT_OBJECTS - 1, handles)) return kWaitFailed;
    // MWMO_INPUTAVAILABLE: a message that a peek has already seen also counts.
    return MsgWaitForMultipleObjectsEx(static_cast<DWORD>(count), handles, timeoutMs, QS_ALLPOSTMESSAGE,
                                       MWMO_INPUTAVAILABLE);
}

}  // namespace tw::platform
