// Threads and their message queues over the system's threads and queues.
#include "platform/Thread.h"

#include <windows.h>

#include <new>

namespace tw::platform {

static_assert(kStillActive == STILL_ACTIVE && kQuitMessage == WM_QUIT);

namespace {

DWORD WINAPI threadMain(void* context) {
    auto* body = static_cast<std::function<uint32_t()>*>(context);
    uint32_t code = kThreadAbandoned;
    try {
        code = (*body)();
    } catch (...) {
        // An escaping exception would end the whole process.
    }
    // Whatever the body captured is gone before anyone sees the thread end.
    delete body;
    return code;
}

}  // namespace

std::unique_ptr<Thread> Thread::start(std::function<uint32_t()> body) {
    if (!body) return nullptr;
    auto* context = new (std::nothrow) std::function<uint32_t()>(std::move(body));
    if (context == nullptr) return nullptr;
    // Suspended until the object exists, so the body never meets a thread
    // whose start has not returned yet.
    DWORD id = 0;
    HANDLE handle = CreateThread(nullptr, 0, threadMain, context, CREATE_SUSPENDED, &id);
    if (handle == nullptr) {
        delete context;
        return nullptr;
    }
    std::unique_ptr<Thread> thread(new (std::nothrow) Thread(handle, id));
    if (!thread) {
        // Never started: the body cannot run, so it goes with its thread.
        TerminateThread(handle, kThreadAbandoned);
        CloseHandle(handle);
        delete context;
        return nullptr;
    }
    ResumeThread(handle);
    return thread;
}

Thread::Thread(void* handle, ThreadId id) : Waitable(handle), id_(id) {}

Thread::~Thread() {
    join();
}

void Thread::join() {
    if (currentThreadId() == id_) return;
    WaitForSingleObject(nativeHandle(), INFINITE);
}

uint32_t Thread::exitCode() const {
    DWORD code = kStillActive;
    GetExitCodeThread(nativeHandle(), &code);
    return code;
}

void sleepMs(uint32_t ms) {
    Sleep(ms);
}

void nameThisThread(const char* name) {
    // Windows 10 1607 and later; earlier systems keep threads unnamed.
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const auto set = reinterpret_cast<SetDescription>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
    if (set == nullptr) return;
    wchar_t wide[64] = {};
    for (size_t i = 0; i + 1 < sizeof wide / sizeof wide[0] && name[i] != '\0'; ++i)
        wide[i] = static_cast<unsigned char>(name[i]);
    set(GetCurrentThread(), wide);
}

ThreadId currentThreadId() {
    return GetCurrentThreadId();
}

bool postThreadMessage(ThreadId thread, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    // Wine takes thread 0 as the caller; Windows refuses it.
    return thread != 0 && PostThreadMessageW(thread, message, wParam, lParam) != 0;
}

bool peekMessage(Message& out, bool remove) {
    MSG msg;
    // HWND -1: thread messages only, as posted by postThreadMessage.
    if (!PeekMessageW(&msg, reinterpret_cast<HWND>(-1), 0, 0, remove ? PM_REMOVE : PM_NOREMOVE)) return false;
    out = Message{msg.message, msg.wParam, msg.lParam};
    return true;
}

}  // namespace tw::platform
