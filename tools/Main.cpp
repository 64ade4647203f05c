// tonewell: a command-line host for the library. It carries the host
// run-time (hostrt/), loads libtonewell like any host, and plays, records
// and describes sound through the 29 exports.
//
// CLI11 reads the command line into the option records of Options.h; the
// commands do the work. Messages go to standard error, results to standard
// output; the exit codes are those of Failure.h.
#include <CLI/CLI.hpp>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "Console.h"
#include "Devices.h"
#include "Failure.h"
#include "Options.h"
#include "Signals.h"
#include "hostrt/HostRuntime.h"

namespace {

using cli::DeviceOptions;

const char* const kDrivers[] = {cli::kSystemDriver, "virtual"};

// Above zero, and a number: NaN and infinity are not durations or rates.
const CLI::Validator kPositive(
    [](std::string& text) -> std::string {
        char* end = nullptr;
        const double v = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || *end != '\0' || !(v > 0) || !std::isfinite(v))
            return "must be a number above 0, not " + text;
        return {};
    },
    "POSITIVE");

// -d/--device, and the format options where a command takes them.
void addDevice(CLI::App* command, std::string& device, bool input) {
    command->add_option("-d,--device", device,
                        std::string("the ") + (input ? "capture" : "output") +
                            " device: its index or (part of) its name, as `tonewell devices` lists them")
        ->capture_default_str();
}

void addFormat(CLI::App* command, DeviceOptions& options, bool input) {
    addDevice(command, options.device, input);
    command->add_option("-r,--rate", options.rate, "sample rate in Hz (default 44100, or the device's nearest)")
        ->check(kPositive);
    command->add_option("-c,--channels", options.channels, "channels (default 2, or the device's nearest)")
        ->check(CLI::Range(1, 65535));
    command->add_option("-b,--bits", options.bits, "bits per sample (default 16, or the device's nearest)")
        ->check(CLI::Range(1, 32));
}

struct Commands {
    cli::DevicesOptions devices;
    cli::InfoOptions info;
    cli::PlayOptions play, midi;
    cli::RecordOptions record;
    cli::ToneOptions tone;
    cli::LevelOptions level;
    cli::ErrorOptions error;
    std::string helpTopic;
};

std::function<int()> chosen;

void add(CLI::App* command, std::function<int()> run) {
    command->callback([run] { chosen = std::move(run); });
}

// play and midi take the same arguments.
void addPlay(CLI::App* command, cli::PlayOptions& options, int (*run)(const cli::PlayOptions&)) {
    command->add_option("FILE", options.file, "the file; - for standard input")->required();
    addDevice(command, options.device, false);
    command->add_option("--volume", options.volume, "MIDI volume, 0 to 100 (the library's curve: 50 is -24 dB)")
        ->check(CLI::Range(0, 100))
        ->capture_default_str();
    add(command, [&options, run] { return run(options); });
}

void define(CLI::App& app, Commands& c) {
    auto* devices = app.add_subcommand("devices", "list the output and capture devices");
    devices->add_flag("-l,--list", c.devices.brief, "one line per device (as aplay -l)");
    devices->add_flag("--count", c.devices.count, "print only the two counts: outputs and captures");
    add(devices, [&c] { return cli::runDevices(c.devices); });

    auto* info = app.add_subcommand("info", "describe WAV files: format, frames, duration, chunks, levels");
    info->add_option("FILE", c.info.files, "WAV files; - for standard input")->required();
    add(info, [&c] { return cli::runInfo(c.info); });

    addPlay(app.add_subcommand("play", "play a WAV or MIDI file"), c.play, cli::runPlay);
    addPlay(app.add_subcommand("midi", "play a MIDI (or other) file with one PlaySoundFile call"), c.midi,
            cli::runMidi);

    auto* record = app.add_subcommand("record", "record from a capture device into a WAV file");
    record->add_option("FILE", c.record.file, "the WAV file; - for standard output")->required();
    addFormat(record, c.record.device, true);
    record->add_option("-s,--seconds", c.record.seconds, "how long (default: until Ctrl-C)")
        ->check(kPositive);
    add(record, [&c] { return cli::runRecord(c.record); });

    auto* tone = app.add_subcommand("tone", "play a sine tone");
    tone->add_option("FREQ", c.tone.frequency, "frequency in Hz")->check(kPositive)->capture_default_str();
    addFormat(tone, c.tone.device, false);
    tone->add_option("-s,--seconds", c.tone.seconds, "how long")->check(kPositive)->capture_default_str();
    tone->add_option("-a,--amplitude", c.tone.amplitude, "peak amplitude, 0 to 1 (0.5 is -6 dBFS)")
        ->check(CLI::Range(0.0, 1.0))
        ->capture_default_str();
    add(tone, [&c] { return cli::runTone(c.tone); });

    auto* level = app.add_subcommand("level", "show the level of a capture device");
    addFormat(level, c.level.device, true);
    level->add_option("-s,--seconds", c.level.seconds, "how long (default: until Ctrl-C)")
        ->check(kPositive);
    add(level, [&c] { return cli::runLevel(c.level); });

    auto* error = app.add_subcommand("error", "explain result codes of the library");
    error->add_option("CODE", c.error.codes, "codes, as the library returns them (4822, -4824)")->required();
    add(error, [&c] { return cli::runError(c.error); });

    auto* help = app.add_subcommand("help", "show the help of tonewell or of a command");
    help->add_option("COMMAND", c.helpTopic, "a command");
    add(help, [&app, &c] {
        if (c.helpTopic.empty()) {
            std::printf("%s", app.help().c_str());
            return cli::kExitOk;
        }
        for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; })) {
            if (sub->get_name() == c.helpTopic) {
                std::printf("%s", sub->help(app.get_name()).c_str());
                return cli::kExitOk;
            }
        }
        throw cli::UsageError("there is no command '" + c.helpTopic + "'");
    });
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Sound streams through standard input and output unchanged, and messages
    // end lines as everywhere else.
    for (int fd : {0, 1, 2}) _setmode(fd, _O_BINARY);
#endif
    CLI::App app{"tonewell: play, record and describe sound through the Tonewell library", "tonewell"};
    app.set_version_flag("--version", "tonewell " TONEWELL_VERSION);
    app.require_subcommand(0, 1);
    // Global options may come before or after the command.
    app.fallthrough();
    cli::GlobalOptions global;
    app.add_option("--driver", global.driver,
                   std::string("sound driver of the sound system module (default: ") + cli::kSystemDriver + ")")
        ->check(CLI::IsMember(std::vector<std::string>(std::begin(kDrivers), std::end(kDrivers))));
    app.add_flag("-q,--quiet", global.quiet, "no messages or progress, only errors");
    app.add_flag("-v,--verbose", global.verbose, "more messages (tasks, formats)");
    app.footer(
        "Exit codes: 0 success, 1 bad command line or value, 2 the library or a file refused the work,\n"
        "128+N stopped by signal N (130: Ctrl-C). Run 'tonewell COMMAND --help' for a command's options.");
    Commands commands;
    define(app, commands);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        cli::reportError(e.what(), "Run 'tonewell --help', or 'tonewell COMMAND --help' for a command's options.");
        return cli::kExitUsage;
    }

    if (!chosen) {
        cli::reportError("no command given: devices, info, play, midi, record, tone, level, error or help",
                         "Run 'tonewell --help' for what each does.");
        return cli::kExitUsage;
    }
    cli::setConsole(global.quiet, global.verbose);
#ifdef _WIN32
    if (!global.driver.empty()) _putenv_s("TONEWELL_SOUND_DRIVER", global.driver.c_str());
#else
    if (!global.driver.empty()) ::setenv("TONEWELL_SOUND_DRIVER", global.driver.c_str(), 1);
#endif
    const std::string driver = cli::activeDriver();
    if (std::find(std::begin(kDrivers), std::end(kDrivers), driver) == std::end(kDrivers)) {
        cli::reportError("TONEWELL_SOUND_DRIVER is '" + driver + "', which names no driver",
                         std::string("Use ") + cli::kSystemDriver + " or virtual, or leave it unset for " +
                             cli::kSystemDriver + ".");
        return cli::kExitUsage;
    }
    cli::installStopSignals();
    int status;
    try {
        status = chosen();
    } catch (const std::exception& e) {
        status = cli::reportFailure(e);
    }
    // Tear down what the commands left, as a host does when a program ends.
    hostrt::runCleanups();
    return status;
}
