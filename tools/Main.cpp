// tonewell: a command-line host for the library.
//   tonewell [--driver NAME] COMMAND [ARGS...]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Command.h"
#include "HostRuntime.h"

namespace cli {

namespace {
std::vector<Command>& registry() {
    static std::vector<Command> list;
    return list;
}
}  // namespace

CommandRegistration::CommandRegistration(const Command& command) { registry().push_back(command); }
const std::vector<Command>& commands() { return registry(); }

bool hasOption(const Args& args, const std::string& name) {
    for (const auto& a : args)
        if (a == name) return true;
    return false;
}

std::string optionValue(const Args& args, const std::string& name, const std::string& fallback) {
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == name) return args[i + 1];
    return fallback;
}

double optionNumber(const Args& args, const std::string& name, double fallback) {
    std::string v = optionValue(args, name, "");
    if (v.empty()) return fallback;
    char* end = nullptr;
    double d = std::strtod(v.c_str(), &end);
    return (end && *end == '\0') ? d : fallback;
}

Args positionals(const Args& args) {
    Args out;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) == 0) {
            ++i;  // skip the option's value
            continue;
        }
        out.push_back(args[i]);
    }
    return out;
}

}  // namespace cli

namespace {

void printUsage() {
    std::printf("usage: tonewell [--driver virtual|alsa] COMMAND [ARGS...]\n\ncommands:\n");
    for (const auto& c : cli::commands()) std::printf("  %-34s %s\n", c.usage, c.summary);
}

}  // namespace

int main(int argc, char** argv) {
    cli::Args args(argv + 1, argv + argc);
    // Global option: the sound system's driver, read when the module loads.
    if (args.size() >= 2 && args[0] == "--driver") {
        ::setenv("TONEWELL_SOUND_DRIVER", args[1].c_str(), 1);
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
        printUsage();
        return args.empty() ? 1 : 0;
    }
    for (const auto& c : cli::commands()) {
        if (args[0] == c.name) {
            int rc = c.run(cli::Args(args.begin() + 1, args.end()));
            cli::runCleanups();
            return rc;
        }
    }
    std::fprintf(stderr, "tonewell: unknown command '%s'\n", args[0].c_str());
    printUsage();
    return 1;
}
