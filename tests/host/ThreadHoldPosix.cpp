// Thread states from /proc, and holding a thread with a signal.
#include "ThreadHold.h"

#include <dirent.h>
#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <fstream>

namespace testhost {
namespace {

std::atomic<bool> gHeld{false};
std::atomic<bool> gLetGo{false};

void holdHandler(int) {
    gHeld = true;
    const timespec pause{0, 1000000};
    while (!gLetGo.load()) nanosleep(&pause, nullptr);
}

}  // namespace

pid_t currentThreadId() {
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

pid_t threadNamed(const std::string& name) {
    pid_t found = -1;
    DIR* dir = ::opendir("/proc/self/task");
    if (dir == nullptr) return found;
    while (dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        std::string comm;
        std::getline(std::ifstream(std::string("/proc/self/task/") + entry->d_name + "/comm"), comm);
        if (comm == name) {
            found = static_cast<pid_t>(std::stol(entry->d_name));
            break;
        }
    }
    ::closedir(dir);
    return found;
}

bool threadSleeps(pid_t tid, bool timedSleeps) {
    const std::string task = "/proc/self/task/" + std::to_string(tid);
    std::ifstream syscall(task + "/syscall");
    long call = -1;
    if (!(syscall >> call)) return !syscall.is_open();  // a thread that has ended counts as asleep
    // A thread woken but not yet run still shows its wait's system call; its
    // state says it is runnable.
    std::string stat;
    std::getline(std::ifstream(task + "/stat"), stat);
    const size_t name = stat.rfind(')');
    if (name == std::string::npos || name + 2 >= stat.size() || stat[name + 2] != 'S') return false;
    return call == SYS_futex || (timedSleeps && (call == SYS_nanosleep || call == SYS_clock_nanosleep));
}

void holdThread(pid_t tid) {
    gHeld = false;
    gLetGo = false;
    struct sigaction action {};
    action.sa_handler = holdHandler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGUSR1, &action, nullptr);
    ::syscall(SYS_tgkill, ::getpid(), tid, SIGUSR1);
    const timespec pause{0, 1000000};
    while (!gHeld.load()) nanosleep(&pause, nullptr);
}

void letGoThread() {
    gLetGo = true;
}

}  // namespace testhost
