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

TEST(HostGlue, NoHostIsFatal) {
    RunResult r = runBareHost("none");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("Fatal Error: VANTOR.LIB was not called from a Vantor process."),
              std::string::npos) << r.output;
}

TEST(HostGlue, FindsLoadedRuntimeModulesInOrder) {
    RunResult rt = runBareHost("rt");
    EXPECT_EQ(rt.exitCode, 0);
    EXPECT_EQ(rt.output, "77\n");
    RunResult ffrt = runBareHost("ffrt");
    EXPECT_EQ(ffrt.exitCode, 0);
    EXPECT_EQ(ffrt.output, "78\n");
    RunResult both = runBareHost("both");
    EXPECT_EQ(both.output, "77\n") << "the first runtime module name takes precedence";
}

// The first probe symbol, found in a library, must not hide an executable
// that exports the second one.
TEST(HostGlue, ExecutableExportingTheSecondProbeIsTheHost) {
    RunResult r = runBareHost("global", PROBE_HOST_PATH);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "79\n");
}

TEST(HostGlue, StoredModuleWinsOverLoadedOnes) {
    RunResult r = runBareHost("set");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output, "78\n");
}

TEST(HostGlue, MissingOperationIsFatalAndNamed) {
    RunResult r = runBareHost("missing");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("Fatal Error: VANTOR.LIB could not locate \"HostSizeArray\"."),
              std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("not reached"), std::string::npos);
}

}  // namespace
