#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct RunResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

RunResult runBareHost(const std::string& mode, const char* program = BARE_HOST_PATH) {
    RunResult r;
    std::string cmd = std::string(program) + " '" + FAKE_RT_DIR + "' " + mode + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) r.output += buf;
    int status = pclose(p);
    if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    return r;
}

// Where the library finds its host's run-time module, and how it ends the
// process when there is none or an operation is missing.
TEST(HostGlue, FindsTheHostRuntimeOrEndsWithAFatalMessage) {
    const struct {
        const char* mode;
        const char* program;
        int exitCode;
        const char* output;  // all of it, or for a fatal end a part
    } cases[] = {
        {"none", BARE_HOST_PATH, 1, "Fatal Error: VANTOR.LIB was not called from a Vantor process."},
        {"rt", BARE_HOST_PATH, 0, "77\n"},
        {"ffrt", BARE_HOST_PATH, 0, "78\n"},
        // The first runtime module name takes precedence.
        {"both", BARE_HOST_PATH, 0, "77\n"},
        // The first probe symbol, found in a library, must not hide an
        // executable that exports the second one.
        {"global", PROBE_HOST_PATH, 0, "79\n"},
        // The stored module wins over loaded ones.
        {"set", BARE_HOST_PATH, 0, "78\n"},
        {"missing", BARE_HOST_PATH, 1, "Fatal Error: VANTOR.LIB could not locate \"HostSizeArray\"."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const RunResult r = runBareHost(c.mode, c.program);
        EXPECT_EQ(r.exitCode, c.exitCode);
        if (c.exitCode == 0)
            EXPECT_EQ(r.output, c.output);
        else
            EXPECT_NE(r.output.find(c.output), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("not reached"), std::string::npos);
    }
}

}  // namespace
