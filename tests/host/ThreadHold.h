// Ordering threads in tests by their state, not by the clock: whether a
// thread sleeps in the kernel, and holding a thread still wherever it is (a
// thread held in a wait keeps what the wait was granted meanwhile). Ids are
// the system's thread ids.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace testhost {

pid_t currentThreadId();
// The first thread of this process with the given name, or -1.
pid_t threadNamed(const std::string& name);
// Is the thread asleep in a wait on another thread (a futex; under Wine also
// a wait on objects) or (where timedSleeps) a timed sleep, or has it ended? A thread in a timed sleep wakes by itself, at a moment
// nobody else decides.
bool threadSleeps(pid_t tid, bool timedSleeps = true);
// Returns once the thread sleeps so (polling every millisecond).
void awaitSleeping(pid_t tid);
// Do all of them sleep at once, so none is left to wake the others? Looks
// twice, a millisecond apart (and pauses after a failed look too, so a caller
// that loops on it does not spin). Threads in `waiting` count only while they
// wait on another thread, not in a timed sleep.
bool allSleeping(const std::vector<pid_t>& tids, const std::vector<pid_t>& waiting = {});
// Returns once the thread is held. One thread at a time.
void holdThread(pid_t tid);
void letGoThread();

// Runs a call on a thread of its own; constructed once the thread's id is
// known (for the checks above). Joins when it goes out of scope.
class CallThread {
public:
    explicit CallThread(std::function<void()> call);
    ~CallThread() { join(); }
    CallThread(const CallThread&) = delete;
    CallThread& operator=(const CallThread&) = delete;
    pid_t id() const { return id_; }
    void join() {
        if (thread_.joinable()) thread_.join();
    }

private:
    std::thread thread_;
    pid_t id_ = -1;
};

}  // namespace testhost
