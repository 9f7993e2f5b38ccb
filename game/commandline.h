#pragma once
// The command line: a few switches for how the game starts, and the usual
// --help and --version, which answer without opening a window.

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "platform/settings.h"

// What the player chose for this run; an unset choice leaves it to the
// remembered settings.
struct LaunchOptions {
    std::optional<bool> fullscreen;  // --fullscreen: true, --windowed: false; the last one given wins
    std::optional<bool> mute;        // --mute: true
};

enum class CommandLineRequest {
    Play,     // start the game with the options
    Help,     // print the help to stdout, exit 0
    Version,  // print the version to stdout, exit 0
    Misused,  // an unknown option or a stray argument: the usage to stderr, exit 64
};

struct CommandLine {
    CommandLineRequest request = CommandLineRequest::Play;
    LaunchOptions options;
    std::string offending;  // the first argument not understood, when Misused
};

// The exit code for a command line that was not understood (EX_USAGE).
constexpr int kUsageExitCode = 64;
// The exit code when the help or the version cannot be written (EX_IOERR).
constexpr int kOutputErrorExitCode = 74;

// The text with every control character (and DEL) written as \xNN, so that
// what comes from a file or an argument cannot steer a terminal.
std::string printable(std::string_view text);

// Reads argv[1] to argv[argc - 1]. Every argument is looked at: one that is
// not understood makes the whole line misused, even after --help.
CommandLine parseCommandLine(int argc, const char* const* argv);

// Answers --help, --version and a misused line on `out` or `err` and gives
// the exit code to end with; nothing when the game is to be played. Output
// that cannot be written (a full disk, a closed stream) is one line on `err`
// and kOutputErrorExitCode.
std::optional<int> answerCommandLine(const CommandLine& line, std::FILE* out, std::FILE* err);

// The settings this run starts with: the remembered ones, where the command
// line chose otherwise its choice. Settings that cannot be read or are
// garbled give the defaults and one ERROR record.
Settings settingsForRun(const LaunchOptions& options);
