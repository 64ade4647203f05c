// Ordering threads in tests by their state, not by the clock: whether a
// thread sleeps in the kernel, and holding a thread still wherever it is (a
// signal makes it wait in its handler until it is let go; a thread held in a
// wait keeps what the wait was granted meanwhile).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testhost {

pid_t currentThreadId();
// The first thread of this process with the given name, or -1.
pid_t threadNamed(const std::string& name);
// Is the thread asleep in a futex wait or (where timedSleeps) a timed sleep,
// or has it ended? A thread in a timed sleep wakes by itself, at a moment
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

}  // namespace testhost
