#include "game/commandline.h"

#include <cerrno>
#include <cstring>

#include "orvo3d/log.h"

#ifndef VIMBROT_VERSION
#error "VIMBROT_VERSION is given by the build"
#endif

namespace {

constexpr const char* kUsage = "Usage: vimbrot [--fullscreen | --windowed] [--mute] [--help] [--version]\n";

constexpr const char* kHelp =
    "An endless 3D arcade racer: fly over a road of floating plates in space.\n"
    "\n"
    "  --fullscreen  start in fullscreen\n"
    "  --windowed    start in a window\n"
    "  --mute        start with the music and the effects muted\n"
    "  --help        print this help and exit\n"
    "  --version     print the version and exit\n"
    "\n"
    "Controls, files and exit codes: man 6 vimbrot\n";

// Ends an answer on `out`: 0 when all of it was written, else one line on
// `err` and the output error's code.
int finishAnswer(std::FILE* out, std::FILE* err, const char* what) {
    errno = 0;
    if (std::fflush(out) == 0 && std::ferror(out) == 0) return 0;
    const int why = errno != 0 ? errno : EIO;
    std::fprintf(err, "vimbrot: cannot write the %s to standard output: %s\n", what, std::strerror(why));
    return kOutputErrorExitCode;
}

}  // namespace

std::string printable(std::string_view text) { return Logger::escapeControls(text, false); }

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    bool help = false;
    bool version = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--fullscreen") == 0) {
            line.options.fullscreen = true;
        } else if (std::strcmp(arg, "--windowed") == 0) {
            line.options.fullscreen = false;
        } else if (std::strcmp(arg, "--mute") == 0) {
            line.options.mute = true;
        } else if (std::strcmp(arg, "--help") == 0) {
            help = true;
        } else if (std::strcmp(arg, "--version") == 0) {
            version = true;
        } else {
            line.request = CommandLineRequest::Misused;
            line.offending = arg;
            return line;
        }
    }
    if (help) {
        line.request = CommandLineRequest::Help;
    } else if (version) {
        line.request = CommandLineRequest::Version;
    }
    return line;
}

std::optional<int> answerCommandLine(const CommandLine& line, std::FILE* out, std::FILE* err) {
    switch (line.request) {
        case CommandLineRequest::Play:
            return std::nullopt;
        case CommandLineRequest::Help:
            std::fputs(kUsage, out);
            std::fputs(kHelp, out);
            return finishAnswer(out, err, "help");
        case CommandLineRequest::Version:
            std::fputs("vimbrot " VIMBROT_VERSION "\n", out);
            return finishAnswer(out, err, "version");
        case CommandLineRequest::Misused:
            if (line.offending.size() > 1 && line.offending[0] == '-') {
                std::fprintf(err, "vimbrot: unknown option '%s'\n", printable(line.offending).c_str());
            } else {
                std::fprintf(err, "vimbrot: unexpected argument '%s'\n", printable(line.offending).c_str());
            }
            std::fputs(kUsage, err);
            std::fputs("Try 'vimbrot --help' for more.\n", err);
            return kUsageExitCode;
    }
    return std::nullopt;
}

Settings settingsForRun(const LaunchOptions& options) {
    LoadedSettings loaded = loadSettings();
    if (!loaded.problem.empty()) Logger::error("game/commandline", __LINE__, "%s", loaded.problem.c_str());
    Settings settings = loaded.settings;
    settings.fullscreen = options.fullscreen.value_or(settings.fullscreen);
    settings.mute = options.mute.value_or(settings.mute);
    return settings;
}
