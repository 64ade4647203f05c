#include "Process.h"

#include <atomic>
#include <fstream>
#include <sstream>

#include "TestHost.h"

namespace testhost {

std::string processOutputFile(const std::string& tag, const char* stream) {
    return scratchDir() + "/" + tag + stream;
}

ProcessResult readProcessOutput(int status, const std::string& tag) {
    ProcessResult r;
    r.status = status;
    for (auto [text, stream] : {std::pair{&r.out, ".out"}, std::pair{&r.err, ".err"}}) {
        std::ifstream in(processOutputFile(tag, stream), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        *text = s.str();
    }
    return r;
}

ProcessResult runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    static std::atomic<int> runs{0};
    const std::string tag = "process-" + std::to_string(runs++);
    return finishProcess(spawnProcess(argv, tag, env), tag);
}

}  // namespace testhost
