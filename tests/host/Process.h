// Other programs run as child processes: the tool, helper hosts, nm, or a
// test program running one of its own tests afresh.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace testhost {

struct ProcessResult {
    int status = -1;  // exit code, 128 + the signal that ended it, or -1 when it did not run
    std::string out, err;
};

// Starts argv[0] (looked up on PATH when it has no slash) with standard input
// from /dev/null (NUL) and its output in files of the scratch directory named after
// `tag`, or standard output into `stdoutFd`. Entries "NAME=value" of `env`
// replace this process's own. The child, or -1.
pid_t spawnProcess(const std::vector<std::string>& argv, const std::string& tag,
                   const std::vector<std::string>& env = {}, int stdoutFd = -1);
// Waits for a child of spawnProcess and reads back what it wrote.
ProcessResult finishProcess(pid_t child, const std::string& tag);
ProcessResult runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});

// For the two implementations: where a child's output goes, and what it was.
std::string processOutputFile(const std::string& tag, const char* stream);
ProcessResult readProcessOutput(int status, const std::string& tag);

}  // namespace testhost
