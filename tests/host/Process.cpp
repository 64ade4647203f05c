#include "Process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>

#include "TestHost.h"

extern char** environ;

namespace testhost {

pid_t spawnProcess(const std::vector<std::string>& argv, const std::string& tag,
                   const std::vector<std::string>& env, int stdoutFd) {
    std::vector<std::string> vars = env;
    for (char** e = environ; *e; ++e) {
        const std::string var = *e;
        const auto sameName = [&](const std::string& own) {
            const size_t name = own.find('=') + 1;
            return var.compare(0, name, own, 0, name) == 0;
        };
        if (std::none_of(env.begin(), env.end(), sameName)) vars.push_back(var);
    }
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (std::string& v : vars) envp.push_back(v.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (stdoutFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    else
        posix_spawn_file_actions_addopen(&actions, 1, processOutputFile(tag, ".out").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, processOutputFile(tag, ".err").c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t child = -1;
    const int r = posix_spawnp(&child, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return r == 0 ? child : -1;
}

ProcessResult finishProcess(pid_t child, const std::string& tag) {
    int status = 0;
    int code = -1;
    if (child > 0 && ::waitpid(child, &status, 0) == child)
        code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return readProcessOutput(code, tag);
}

}  // namespace testhost
