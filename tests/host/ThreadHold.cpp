// The parts of thread ordering that only build on the per-system looks.
#include "ThreadHold.h"

#include <atomic>
#include <chrono>

namespace testhost {
namespace {

void pauseMs() {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

void awaitSleeping(pid_t tid) {
    while (!threadSleeps(tid)) pauseMs();
}

bool allSleeping(const std::vector<pid_t>& tids, const std::vector<pid_t>& waiting) {
    // Twice: one of them may have woken another between two looks.
    for (int look = 0; look < 2; ++look) {
        bool all = true;
        for (pid_t tid : tids) all = all && threadSleeps(tid);
        for (pid_t tid : waiting) all = all && threadSleeps(tid, false);
        pauseMs();
        if (!all) return false;
    }
    return true;
}

CallThread::CallThread(std::function<void()> call) {
    std::atomic<pid_t> id{-1};
    thread_ = std::thread([&id, call = std::move(call)] {
        id = currentThreadId();
        call();
    });
    while (id.load() < 0) std::this_thread::yield();
    id_ = id.load();
}

}  // namespace testhost
