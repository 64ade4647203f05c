// tonewell error CODE...: what a result code of the library means and what
// to try, from the same table as the tool's own error messages.
#include <cstdio>

#include "Errors.h"
#include "Failure.h"
#include "Options.h"

namespace cli {

int runError(const ErrorOptions& options) {
    int status = kExitOk;
    for (int code : options.codes) {
        const ErrorText* text = findErrorText(code);
        if (!text) {
            std::fprintf(stderr, "tonewell: %d is not a code of the library\n", code);
            status = kExitUsage;
            continue;
        }
        std::printf("%d %s: %s.\n  %s\n", text->code, text->name, text->meaning, adviceFor(code).c_str());
    }
    return status;
}

}  // namespace cli
