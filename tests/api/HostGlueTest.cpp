#include <gtest/gtest.h>

#include <string>

#include "host/Process.h"

namespace {

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
        const testhost::ProcessResult run = testhost::runProcess({c.program, FAKE_RT_DIR, c.mode});
        const std::string output = run.out + run.err;
        EXPECT_EQ(run.status, c.exitCode);
        if (c.exitCode == 0)
            EXPECT_EQ(output, c.output);
        else
            EXPECT_NE(output.find(c.output), std::string::npos) << output;
        EXPECT_EQ(output.find("not reached"), std::string::npos);
    }
}

}  // namespace
