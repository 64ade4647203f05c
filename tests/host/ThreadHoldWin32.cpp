// Thread states on Windows as Wine runs it, and holding a thread by
// suspending it. Wine reports no thread states of its own (every thread shows
// state 0), but each thread is a Linux thread that carries its description as
// its name, so the states come from Linux's /proc, read as the POSIX side
// reads them. Ids are Windows thread ids.
#include "ThreadHold.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

// Windows 10 1607 and later; the system's headers here do not declare them.
extern "C" HRESULT WINAPI GetThreadDescription(HANDLE thread, PWSTR* description);
extern "C" HRESULT WINAPI SetThreadDescription(HANDLE thread, PCWSTR description);

namespace testhost {
namespace {

std::string description(DWORD tid) {
    std::string name;
    HANDLE thread = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, tid);
    if (thread == nullptr) return name;
    PWSTR wide = nullptr;
    if (SUCCEEDED(GetThreadDescription(thread, &wide)) && wide != nullptr) {
        for (PWSTR c = wide; *c != 0; ++c) name += static_cast<char>(*c);  // the tests' names are ASCII
        LocalFree(wide);
    }
    CloseHandle(thread);
    return name;
}

void describeThisThread(const std::string& name) {
    SetThreadDescription(GetCurrentThread(), std::wstring(name.begin(), name.end()).c_str());
}

bool ended(DWORD tid) {
    HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, tid);
    if (thread == nullptr) return true;
    const bool signalled = WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return signalled;
}

std::string firstLine(const std::string& path) {
    std::string line;
    std::getline(std::ifstream(path), line);
    return line;
}

std::vector<std::string> entries(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code error;
    // Processes come and go while /proc is listed: an error ends the list.
    for (std::filesystem::directory_iterator it(dir, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    return names;
}

// This process as Linux sees it. Linux keeps 15 characters of a name.
class LinuxView {
public:
    // Null where the system is not Wine.
    static LinuxView* get() {
        static LinuxView* const view = open();
        return view;
    }

    bool sleeps(DWORD tid, bool timedSleeps) {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::string task = linuxTask(tid);
        if (task.empty()) return ended(tid);
        std::istringstream syscall(firstLine(task + "\\syscall"));
        long call = -1;
        if (!(syscall >> call)) return false;  // running
        // A thread woken but not yet run still shows its wait's system call;
        // its state says it is runnable.
        const std::string stat = firstLine(task + "\\stat");
        const size_t name = stat.rfind(')');
        if (name == std::string::npos || name + 2 >= stat.size() || stat[name + 2] != 'S') return false;
        switch (call) {
        case 0: {  // read: a wait on objects, or a call into the Wine server
            std::string fd;
            syscall >> fd;
            return isWaitPipe(fd);
        }
        case 202:  // futex: locks and condition variables
            return true;
        case 23: case 35: case 230: case 270:  // select, nanosleep, clock_nanosleep, pselect6: Sleep
            return timedSleeps;
        default:
            return false;
        }
    }

private:
    static LinuxView* open() {
        using DosName = WCHAR*(CDECL*)(const char*);
        const auto dosName = reinterpret_cast<DosName>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
        if (dosName == nullptr) return nullptr;
        WCHAR* wide = dosName("/proc");
        if (wide == nullptr) return nullptr;
        auto* view = new LinuxView;
        for (WCHAR* c = wide; *c != 0; ++c) view->proc_ += static_cast<char>(*c);
        HeapFree(GetProcessHeap(), 0, wide);
        view->findProcess();
        // Wine's server opens the files, so it needs the rights a debugger has.
        if (firstLine(view->proc_ + "\\" + view->pid_ + "\\syscall").empty()) {
            std::fprintf(stderr, "thread states: cannot read /proc/%s/syscall as Wine's server\n", view->pid_.c_str());
            std::abort();
        }
        return view;
    }

    // Names this thread with a mark no other thread has and looks for it among
    // the processes that run this program; "self" would be Wine's server.
    void findProcess() {
        char path[MAX_PATH];
        const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string program(path, length);
        program = program.substr(program.find_last_of("\\/") + 1).substr(0, 15);
        const std::string before = description(GetCurrentThreadId());
        char mark[16];
        std::snprintf(mark, sizeof mark, "tw%lx-%llx", GetCurrentProcessId(), GetTickCount64() & 0xffffff);
        describeThisThread(mark);
        for (const std::string& pid : entries(proc_)) {
            if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
            const std::string comm = firstLine(proc_ + "\\" + pid + "\\comm");
            if (comm != program && comm != mark) continue;
            for (const std::string& tid : entries(proc_ + "\\" + pid + "\\task"))
                if (firstLine(proc_ + "\\" + pid + "\\task\\" + tid + "\\comm") == mark) pid_ = pid;
        }
        describeThisThread(before);
        if (pid_.empty()) {
            std::fprintf(stderr, "thread states: this process is not in /proc\n");
            std::abort();
        }
    }

    // The /proc folder of a thread found by its name; empty when it has none.
    std::string linuxTask(DWORD tid) {
        const std::string name = description(tid).substr(0, 15);
        if (name.empty()) return {};
        const std::string tasks = proc_ + "\\" + pid_ + "\\task\\";
        auto known = tasks_.find(tid);
        if (known != tasks_.end() && firstLine(tasks + known->second + "\\comm") == name) return tasks + known->second;
        for (const std::string& task : entries(tasks)) {
            if (firstLine(tasks + task + "\\comm") != name) continue;
            tasks_[tid] = task;
            return tasks + task;
        }
        return {};
    }

    // A thread waits on objects in a read from its own pipe, whose other end
    // it also holds; the Wine server's answers come through a pipe whose other
    // end only the server holds.
    bool isWaitPipe(const std::string& hexFd) {
        const std::string fd = std::to_string(std::strtoul(hexFd.c_str(), nullptr, 16));
        auto known = waitPipes_.find(fd);
        if (known != waitPipes_.end()) return known->second;
        const std::string fdinfo = proc_ + "\\" + pid_ + "\\fdinfo\\";
        const std::string inode = this->inode(fdinfo + fd);
        int ends = 0;
        if (!inode.empty())
            for (const std::string& other : entries(fdinfo)) ends += this->inode(fdinfo + other) == inode;
        // Kernels before 5.14 do not say the inode: any read counts.
        return waitPipes_[fd] = inode.empty() || ends >= 2;
    }

    std::string inode(const std::string& fdinfo) {
        std::ifstream in(fdinfo);
        for (std::string line; std::getline(in, line);)
            if (line.rfind("ino:", 0) == 0) return line.substr(line.find_first_not_of(" \t", 4));
        return {};
    }

    std::mutex mutex_;
    std::string proc_;
    std::string pid_;
    std::map<DWORD, std::string> tasks_;
    std::map<std::string, bool> waitPipes_;
};

LinuxView& linuxView() {
    LinuxView* view = LinuxView::get();
    if (view == nullptr) {
        std::fprintf(stderr, "thread states are read under Wine only\n");
        std::abort();
    }
    return *view;
}

HANDLE gHeld = nullptr;

}  // namespace

pid_t currentThreadId() {
    const DWORD tid = GetCurrentThreadId();
    // The process is found by its program's name, which is the first
    // thread's until it is named here.
    LinuxView::get();
    // A name of its own, by which Linux's /proc finds it.
    if (description(tid).empty()) describeThisThread("tw-t" + std::to_string(tid));
    return static_cast<pid_t>(tid);
}

pid_t threadNamed(const std::string& name) {
    pid_t found = -1;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more && found < 0; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId() && description(entry.th32ThreadID) == name)
            found = static_cast<pid_t>(entry.th32ThreadID);
    CloseHandle(snapshot);
    return found;
}

bool threadSleeps(pid_t tid, bool timedSleeps) {
    return linuxView().sleeps(static_cast<DWORD>(tid), timedSleeps);
}

void holdThread(pid_t tid) {
    gHeld = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT, FALSE, static_cast<DWORD>(tid));
    SuspendThread(gHeld);
    // Suspending is asynchronous; reading the context waits until it is done.
    CONTEXT context{};
    context.ContextFlags = CONTEXT_CONTROL;
    GetThreadContext(gHeld, &context);
}

void letGoThread() {
    ResumeThread(gHeld);
    CloseHandle(gHeld);
    gHeld = nullptr;
}

}  // namespace testhost
