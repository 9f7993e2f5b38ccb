// The remembered settings on Linux: the file a person can read and edit,
// with real files in the test's temporary HOME. (What every system shares
// is in settings_test.cpp.)
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "game/commandline.h"
#include "game/highscore.h"
#include "platform/settings.h"
#include "platform/userstore.h"
#include "support/rename_seam.h"
#include "support/sandbox.h"

namespace fs = std::filesystem;

namespace {

fs::path home() { return std::getenv("HOME"); }
fs::path folder() { return home() / ".config" / "Orvo" / "Vimbrot"; }
fs::path file() { return folder() / "settings"; }

mode_t modeOf(const fs::path& p) {
    struct stat info {};
    return ::lstat(p.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

class SettingsFile : public testing::Test {
protected:
    void SetUp() override { unsetVariable("XDG_CONFIG_HOME"); }
    void TearDown() override { RenameSeam::beforeRename = nullptr; }

    static void writeSettings(const std::string& text) {
        fs::create_directories(folder());
        writeFile(file(), text);
    }
};

TEST_F(SettingsFile, NoFileMeansTheDefaultsSilentlyAndNothingIsCreated) {
    LoadedSettings loaded = loadSettings();
    EXPECT_FALSE(loaded.settings.fullscreen);
    EXPECT_FALSE(loaded.settings.mute);
    EXPECT_EQ(loaded.problem, "");
    EXPECT_FALSE(fs::exists(home() / ".config"));

    Settings run = settingsForRun({});
    EXPECT_FALSE(run.fullscreen);
    EXPECT_FALSE(run.mute);
    EXPECT_EQ(readLog(), "");
}

TEST_F(SettingsFile, WhatIsSavedReadsBackAsAPrivateFileAPersonCanRead) {
    for (bool fullscreen : {false, true}) {
        for (bool mute : {false, true}) {
            SCOPED_TRACE(std::to_string(fullscreen) + std::to_string(mute));
            ASSERT_EQ(saveSettings({fullscreen, mute}), "");
            LoadedSettings loaded = loadSettings();
            EXPECT_EQ(loaded.problem, "");
            EXPECT_EQ(loaded.settings.fullscreen, fullscreen);
            EXPECT_EQ(loaded.settings.mute, mute);
            EXPECT_EQ(readFile(file()), std::string("fullscreen = ") + (fullscreen ? "true" : "false") +
                                            "\nmute = " + (mute ? "true" : "false") + "\n");
        }
    }
    EXPECT_EQ(modeOf(home() / ".config"), 0700u);
    EXPECT_EQ(modeOf(home() / ".config" / "Orvo"), 0700u);
    EXPECT_EQ(modeOf(folder()), 0700u);
    EXPECT_EQ(modeOf(file()), 0600u);
    // Nothing but the file is left in the folder (no temporary files).
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder())) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(SettingsFile, TheFolderFollowsXdgConfigHomeWhenItIsAbsolute) {
    const fs::path config = sandboxDirectory() / "config";
    const struct {
        const char* value;
        fs::path expected;
    } cases[] = {
        {config.c_str(), config / "Orvo" / "Vimbrot" / "settings"},
        {"relative/config", file()},
        {"", file()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        fs::remove_all(config);
        fs::remove_all(home() / ".config");
        setVariable("XDG_CONFIG_HOME", c.value);
        ASSERT_EQ(saveSettings({true, false}), "");
        EXPECT_TRUE(fs::is_regular_file(c.expected));
        EXPECT_TRUE(loadSettings().settings.fullscreen);
    }
}

TEST_F(SettingsFile, HandWrittenFilesAreRead) {
    const struct {
        const char* text;
        bool fullscreen, mute;
    } cases[] = {
        {"fullscreen = true\nmute = true\n", true, true},
        {"fullscreen=true\nmute=false", true, false},  // no spaces, no last newline
        {"  mute\t=\ttrue  \n", false, true},          // a missing key keeps its default
        {"# my settings\n\nfullscreen = true\n   \n# mute = true\n", true, false},
        {"fullscreen = true\r\nmute = true\r\n", true, true},  // written on Windows
        {"mute = true\nmute = false\n", false, false},         // the last line wins
        {"", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        writeSettings(c.text);
        LoadedSettings loaded = loadSettings();
        EXPECT_EQ(loaded.problem, "");
        EXPECT_EQ(loaded.settings.fullscreen, c.fullscreen);
        EXPECT_EQ(loaded.settings.mute, c.mute);
    }
}

// A bad file: the defaults, exactly one ERROR record naming the file, no
// crash, and the best score untouched.
TEST_F(SettingsFile, BadFilesGiveTheDefaultsAndOneRecord) {
    HighScore::save(4321);
    const std::string scoreBytes = readFile(std::string(std::getenv("XDG_DATA_HOME")) + "/Orvo/Vimbrot/data");
    ASSERT_FALSE(scoreBytes.empty());

    const std::string big = "fullscreen = true\n" + std::string(5000, '#') + "\n";
    const struct {
        const char* label;
        std::string text;  // written as the file, unless `make` puts something else there
        void (*make)();
        const char* reason;  // part of the record
    } cases[] = {
        {"no equals sign", "fullscreen = true\nmute\n", nullptr, "line 2 is not"},
        {"a value other than true or false", "fullscreen = yes\n", nullptr, "neither true nor false"},
        {"values are lower case", "fullscreen = TRUE\n", nullptr, "neither true nor false"},
        {"an unknown key", "fullscreen = true\nvolume = true\n", nullptr, "unknown setting 'volume'"},
        {"no key", " = true\n", nullptr, "unknown setting ''"},
        {"a NUL byte", std::string("fullscreen = true\n\0", 19), nullptr, "NUL"},
        {"binary", "\x89PNG\r\n\x1a\n\xff\xfe", nullptr, "not understood"},
        {"larger than a settings file", big, nullptr, "Cannot read"},
        {"a folder in its place", "", [] { fs::create_directories(file()); }, "folder"},
        {"a FIFO in its place", "", [] { ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0); }, "not a regular file"},
        {"a link in its place", "",
         [] {
             writeFile(sandboxDirectory() / "elsewhere", "fullscreen = true\n");
             fs::create_symlink(sandboxDirectory() / "elsewhere", file());
         },
         "symbolic link"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(folder());
        fs::create_directories(folder());
        if (c.make != nullptr) {
            c.make();
        } else {
            writeFile(file(), c.text);
        }
        ASSERT_TRUE(std::remove("message.log") == 0 || errno == ENOENT);

        Settings run = settingsForRun({});
        EXPECT_FALSE(run.fullscreen);
        EXPECT_FALSE(run.mute);
        const std::string log = readLog();
        EXPECT_EQ(countOf(log, "ERROR ("), 1) << log;
        EXPECT_NE(log.find(file().string()), std::string::npos) << log;
        EXPECT_NE(log.find(c.reason), std::string::npos) << log;
        EXPECT_NE(log.find("the defaults are used"), std::string::npos) << log;
        HighScore::ReadReport report;
        EXPECT_EQ(HighScore::load(report), 4321);
        EXPECT_EQ(readFile(std::string(std::getenv("XDG_DATA_HOME")) + "/Orvo/Vimbrot/data"), scoreBytes);
    }
}

TEST_F(SettingsFile, AnUnreadableFileGivesTheDefaultsAndOneRecord) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads a file of mode 0000";
    writeSettings("fullscreen = true\n");
    ::chmod(file().c_str(), 0);
    Settings run = settingsForRun({});
    EXPECT_FALSE(run.fullscreen);
    EXPECT_EQ(countOf(readLog(), "ERROR ("), 1);
}

// A file that cannot be read gives way to the command line as well, and is
// left as it was.
TEST_F(SettingsFile, TheCommandLineWinsOverAGarbledFileWhichStays) {
    writeSettings("garbled");
    Settings run = settingsForRun(LaunchOptions{false, true});
    EXPECT_FALSE(run.fullscreen);
    EXPECT_TRUE(run.mute);
    EXPECT_EQ(readFile(file()), "garbled");
}

TEST_F(SettingsFile, ASaveIsAtomicAndAFailedSaveKeepsTheOldFile) {
    ASSERT_EQ(saveSettings({false, true}), "");
    const std::string old = readFile(file());
    // Just before the new file takes the name, the old one is still whole.
    static std::string seen;
    RenameSeam::beforeRename = [](const char*, const char*) { seen = readFile(file()); };
    ASSERT_EQ(saveSettings({true, false}), "");
    EXPECT_EQ(seen, old);
    EXPECT_TRUE(loadSettings().settings.fullscreen);
    RenameSeam::beforeRename = nullptr;

    // A file where the settings' folder goes: the save says why and fails.
    fs::remove_all(home() / ".config");
    fs::create_directories(home() / ".config" / "Orvo");
    writeFile(folder(), "not a folder");
    std::string problem = saveSettings({true, true});
    EXPECT_NE(problem.find(folder().string()), std::string::npos) << problem;
    EXPECT_EQ(readFile(folder()), "not a folder");
}

}  // namespace
