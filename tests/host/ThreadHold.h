// Holding a thread still wherever it is, to order what other threads do
// around it: a signal makes it wait in its handler until it is let go. A
// thread held in a wait keeps what the wait was granted meanwhile.
#pragma once

#include <sys/types.h>

#include <string>

namespace testhost {

pid_t currentThreadId();
// The first thread of this process with the given name, or -1.
pid_t threadNamed(const std::string& name);
// Returns once the thread is held. One thread at a time.
void holdThread(pid_t tid);
void letGoThread();

}  // namespace testhost
