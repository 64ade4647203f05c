// Tests that run part of themselves in a forked child: one that drops its
// privileges, or one whose files may not grow past a size limit.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>

namespace testchild {

// Runs `body` in a forked child after `setup`; the child's exit status (the
// body's return value), or -1 when it did not exit normally.
inline int inChild(const std::function<void()>& setup, const std::function<int()>& body) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        setup();
        ::_exit(body());
    }
    int status = 0;
    pid_t done;
    while ((done = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    return done == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A child's setup: files stop growing at `bytes`, and a write past the limit
// fails with EFBIG instead of ending the child. Exits with 100 when it cannot.
inline std::function<void()> limitFileSize(rlim_t bytes) {
    return [bytes] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{bytes, bytes};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(100);
    };
}

}  // namespace testchild
