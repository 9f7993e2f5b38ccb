#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "game/commandline.h"

namespace {

CommandLine parse(std::vector<const char*> args) {
    args.insert(args.begin(), "vimbrot");
    return parseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLineTest, EachLineGivesItsRequestAndOptions) {
    using R = CommandLineRequest;
    struct Case {
        std::vector<const char*> args;
        R request;
        std::optional<bool> fullscreen;
        std::optional<bool> mute;
        std::string offending;
    };
    const Case cases[] = {
        {{}, R::Play, std::nullopt, std::nullopt, ""},
        {{"--fullscreen"}, R::Play, true, std::nullopt, ""},
        {{"--windowed"}, R::Play, false, std::nullopt, ""},
        {{"--mute"}, R::Play, std::nullopt, true, ""},
        {{"--fullscreen", "--windowed"}, R::Play, false, std::nullopt, ""},  // the last one wins
        {{"--windowed", "--mute", "--fullscreen"}, R::Play, true, true, ""},
        {{"--mute", "--mute"}, R::Play, std::nullopt, true, ""},
        {{"--help"}, R::Help, std::nullopt, std::nullopt, ""},
        {{"--version"}, R::Version, std::nullopt, std::nullopt, ""},
        {{"--version", "--help"}, R::Help, std::nullopt, std::nullopt, ""},
        {{"--mute", "--version"}, R::Version, std::nullopt, true, ""},
        // Not understood: the first such argument is named, whatever else comes.
        {{"--bogus"}, R::Misused, std::nullopt, std::nullopt, "--bogus"},
        {{"--help", "--bogus"}, R::Misused, std::nullopt, std::nullopt, "--bogus"},
        {{"--bogus", "--help"}, R::Misused, std::nullopt, std::nullopt, "--bogus"},
        {{"level1"}, R::Misused, std::nullopt, std::nullopt, "level1"},
        {{"--mute", "stray", "--other"}, R::Misused, std::nullopt, true, "stray"},
        {{""}, R::Misused, std::nullopt, std::nullopt, ""},
        {{"-"}, R::Misused, std::nullopt, std::nullopt, "-"},
        {{"--"}, R::Misused, std::nullopt, std::nullopt, "--"},
        {{"-h"}, R::Misused, std::nullopt, std::nullopt, "-h"},
        {{"--HELP"}, R::Misused, std::nullopt, std::nullopt, "--HELP"},
        {{"--mute=yes"}, R::Misused, std::nullopt, std::nullopt, "--mute=yes"},
        {{"--fullscreen "}, R::Misused, std::nullopt, std::nullopt, "--fullscreen "},
        {{"--hel"}, R::Misused, std::nullopt, std::nullopt, "--hel"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const char* a : c.args) line += std::string("[") + a + "]";
        SCOPED_TRACE(line);
        CommandLine parsed = parse(c.args);
        EXPECT_EQ(parsed.request, c.request);
        if (c.request != R::Misused) {
            EXPECT_EQ(parsed.options.fullscreen, c.fullscreen);
            EXPECT_EQ(parsed.options.mute, c.mute);
        }
        EXPECT_EQ(parsed.offending, c.offending);
    }
}

// What the answer writes on each stream, and its exit code.
struct Answer {
    std::optional<int> code;
    std::string out, err;
};

std::string readBack(std::FILE* f) {
    std::rewind(f);
    std::string text;
    char buffer[256];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
    std::fclose(f);
    return text;
}

Answer answer(std::vector<const char*> args) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    Answer a;
    a.code = answerCommandLine(parse(std::move(args)), out, err);
    a.out = readBack(out);
    a.err = readBack(err);
    return a;
}

TEST(CommandLineTest, HelpAndVersionGoToStdoutWithCodeZero) {
    Answer help = answer({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out.rfind("Usage: vimbrot ", 0), 0u) << help.out;
    for (const char* option : {"--fullscreen", "--windowed", "--mute", "--help", "--version"}) {
        EXPECT_NE(help.out.find(std::string("  ") + option + " "), std::string::npos) << option;
    }

    Answer version = answer({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_EQ(version.err, "");
    EXPECT_EQ(version.out, "vimbrot " VIMBROT_TEST_VERSION "\n");
}

TEST(CommandLineTest, AMisusedLineNamesTheArgumentAndPrintsTheUsageToStderr) {
    const std::pair<const char*, const char*> cases[] = {
        {"--bogus", "vimbrot: unknown option '--bogus'\n"},
        {"-h", "vimbrot: unknown option '-h'\n"},
        {"stray", "vimbrot: unexpected argument 'stray'\n"},
        {"-", "vimbrot: unexpected argument '-'\n"},
        {"", "vimbrot: unexpected argument ''\n"},
        {"100%s%n", "vimbrot: unexpected argument '100%s%n'\n"},  // printed, never interpreted
    };
    for (auto [arg, first] : cases) {
        SCOPED_TRACE(arg);
        Answer a = answer({"--mute", arg});
        EXPECT_EQ(a.code, kUsageExitCode);
        EXPECT_EQ(kUsageExitCode, 64);
        EXPECT_EQ(a.out, "");
        EXPECT_EQ(a.err.rfind(first, 0), 0u) << a.err;
        EXPECT_NE(a.err.find("Usage: vimbrot "), std::string::npos) << a.err;
    }
}

TEST(CommandLineTest, APlayableLineIsLeftToTheGame) {
    for (auto args : {std::vector<const char*>{}, {"--fullscreen", "--mute"}, {"--windowed"}}) {
        Answer a = answer(args);
        EXPECT_EQ(a.code, std::nullopt);
        EXPECT_EQ(a.out, "");
        EXPECT_EQ(a.err, "");
    }
}

}  // namespace
