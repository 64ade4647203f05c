// Subcommands of the command-line host register themselves by name.
#pragma once

#include <string>
#include <vector>

namespace cli {

using Args = std::vector<std::string>;
using CommandFn = int (*)(const Args& args);

struct Command {
    const char* name;
    const char* usage;
    const char* summary;
    CommandFn run;
};

// Registers a command; use from a static object in the command's file.
struct CommandRegistration {
    explicit CommandRegistration(const Command& command);
};

const std::vector<Command>& commands();

// Small option helpers: "--name value" pairs after the positional arguments.
bool hasOption(const Args& args, const std::string& name);
std::string optionValue(const Args& args, const std::string& name, const std::string& fallback);
double optionNumber(const Args& args, const std::string& name, double fallback);
// Positional arguments (those not part of an option pair).
Args positionals(const Args& args);

}  // namespace cli
