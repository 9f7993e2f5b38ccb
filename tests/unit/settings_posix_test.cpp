// The remembered settings on Linux: the file a person can read and edit,
// with real files in the test's temporary HOME. (What every system shares
// is in settings_test.cpp.)
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "game/commandline.h"
#include "game/highscore.h"
#include "platform/settings.h"
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

// The names in a folder, sorted.
std::vector<std::string> namesIn(const fs::path& where) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(where)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SettingsFile : public testing::Test {
protected:
    void SetUp() override { unsetVariable("XDG_CONFIG_HOME"); }
    void TearDown() override { RenameSeam::beforeRename = nullptr; }

    static void writeSettings(const std::string& text) {
        fs::create_directories(folder());
        writeFile(file(), text);
    }
    static void clearLog() { ASSERT_TRUE(std::remove("message.log") == 0 || errno == ENOENT); }
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

TEST_F(SettingsFile, WhatIsChangedReadsBackAsAPrivateFileAPersonCanRead) {
    for (bool fullscreen : {false, true}) {
        for (bool mute : {false, true}) {
            SCOPED_TRACE(std::to_string(fullscreen) + std::to_string(mute));
            ASSERT_EQ(changeSetting(SettingKey::Fullscreen, fullscreen), "");
            ASSERT_EQ(changeSetting(SettingKey::Mute, mute), "");
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
    EXPECT_EQ(modeOf(folder() / ".settings.lock"), 0600u);
    // Nothing but the file and its lock is left in the folder (no
    // temporary files).
    EXPECT_EQ(namesIn(folder()), (std::vector<std::string>{".settings.lock", "settings"}));
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
        ASSERT_EQ(changeSetting(SettingKey::Fullscreen, true), "");
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

// Lines that are not understood: each counts for nothing (a key whose last
// line is one keeps its default), the lines that are understood still
// count, and the file gives exactly one ERROR record naming it and the
// first such line. No crash, and the best score untouched.
TEST_F(SettingsFile, GarbledLinesGiveTheirKeysDefaultsAndOneRecord) {
    HighScore::save(4321);
    const std::string scoreBytes = readFile(std::string(std::getenv("XDG_DATA_HOME")) + "/Orvo/Vimbrot/data");
    ASSERT_FALSE(scoreBytes.empty());

    const struct {
        const char* label;
        std::string text;
        bool fullscreen, mute;
        const char* reason;  // part of the record
    } cases[] = {
        {"no equals sign", "fullscreen = true\nmute\n", true, false, "line 2 is not"},
        {"a value other than true or false", "fullscreen = yes\nmute = true\n", false, true,
         "line 1: the value of fullscreen is neither true nor false"},
        {"values are lower case", "fullscreen = TRUE\n", false, false, "neither true nor false"},
        {"an unknown key", "fullscreen = true\nvolume = true\n", true, false, "line 2: unknown setting 'volume'"},
        {"no key", " = true\n", false, false, "unknown setting ''"},
        {"a NUL byte", std::string("mute = true\n\0\nfullscreen = true\n", 32), true, true, "line 2 holds a NUL byte"},
        {"binary", "\x89PNG\r\n\x1a\n\xff\xfe", false, false, "line 1"},
        {"the last line of a key is garbled", "fullscreen = true\nfullscreen = maybe\n", false, false, "line 2"},
        {"an earlier line of a key is garbled", "mute = maybe\nmute = true\n", false, true, "line 1"},
        {"several", "a\nb\nc\nmute = true\n", false, true, "line 1 is not `key = value`, and 2 more"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        writeSettings(c.text);
        clearLog();

        Settings run = settingsForRun({});
        EXPECT_EQ(run.fullscreen, c.fullscreen);
        EXPECT_EQ(run.mute, c.mute);
        const std::string log = readLog();
        EXPECT_EQ(countOf(log, "ERROR ("), 1) << log;
        EXPECT_NE(log.find(file().string()), std::string::npos) << log;
        EXPECT_NE(log.find(c.reason), std::string::npos) << log;
        EXPECT_NE(log.find("the defaults stand in for them"), std::string::npos) << log;
        EXPECT_EQ(readFile(file()), c.text) << "reading never changes the file";
        HighScore::ReadReport report;
        EXPECT_EQ(HighScore::load(report), 4321);
        EXPECT_EQ(readFile(std::string(std::getenv("XDG_DATA_HOME")) + "/Orvo/Vimbrot/data"), scoreBytes);
    }
}

// What cannot be read as the settings (too large, not a regular file, a
// link to something that is not a regular file of the player's): the
// defaults, one ERROR record naming the file and why, and the thing as it
// was.
TEST_F(SettingsFile, WhatCannotBeReadGivesTheDefaultsAndOneRecord) {
    HighScore::save(4321);
    const std::string scoreBytes = readFile(std::string(std::getenv("XDG_DATA_HOME")) + "/Orvo/Vimbrot/data");
    const struct {
        const char* label;
        void (*make)();
        const char* reason;  // part of the record
    } cases[] = {
        {"larger than a settings file",
         [] { writeFile(file(), "fullscreen = true\n" + std::string(70000, '#') + "\n"); }, "larger"},
        {"a folder in its place", [] { fs::create_directories(file()); }, "folder"},
        {"a FIFO in its place", [] { ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0); }, "not a regular file"},
        {"a link to a device", [] { fs::create_symlink("/dev/null", file()); }, "not a regular file"},
        {"a link to a folder", [] { fs::create_symlink(sandboxDirectory(), file()); }, "folder"},
        {"a dangling link", [] { fs::create_symlink(sandboxDirectory() / "gone", file()); }, "No such file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(folder());
        fs::create_directories(folder());
        c.make();
        const fs::file_type kind = fs::symlink_status(file()).type();
        clearLog();

        Settings run = settingsForRun({});
        EXPECT_FALSE(run.fullscreen);
        EXPECT_FALSE(run.mute);
        const std::string log = readLog();
        EXPECT_EQ(countOf(log, "ERROR ("), 1) << log;
        EXPECT_NE(log.find("Cannot read the settings " + file().string()), std::string::npos) << log;
        EXPECT_NE(log.find(c.reason), std::string::npos) << log;
        EXPECT_NE(log.find("the defaults are used"), std::string::npos) << log;
        EXPECT_EQ(fs::symlink_status(file()).type(), kind);
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

// A regular file whose read fails (a failing disk; the kernel's files behind
// a link show the same): the defaults and one ERROR record, never an
// exception out of the start.
TEST_F(SettingsFile, AReadThatFailsGivesTheDefaultsAndOneRecord) {
    for (const char* failing : {"/proc/self/mem", "/proc/self/attr/current"}) {
        SCOPED_TRACE(failing);
        std::FILE* probe = std::fopen(failing, "rb");
        char byte = 0;
        const bool fails = probe != nullptr && std::fread(&byte, 1, 1, probe) == 0 && std::ferror(probe) != 0;
        if (probe != nullptr) std::fclose(probe);
        if (!fails) {
            std::printf("%s reads here; not a failing read\n", failing);
            continue;
        }
        fs::remove_all(folder());
        fs::create_directories(folder());
        fs::create_symlink(failing, file());
        clearLog();

        Settings run{true, true};
        ASSERT_NO_THROW(run = settingsForRun({}));
        EXPECT_FALSE(run.fullscreen);
        EXPECT_FALSE(run.mute);
        const std::string log = readLog();
        EXPECT_EQ(countOf(log, "ERROR ("), 1) << log;
        EXPECT_NE(log.find("Cannot read the settings " + file().string()), std::string::npos) << log;
        EXPECT_NE(log.find("the defaults are used"), std::string::npos) << log;

        // A change is refused, and the link stays what it was.
        EXPECT_NE(changeSetting(SettingKey::Mute, true), "");
        ASSERT_TRUE(fs::is_symlink(file()));
        EXPECT_EQ(fs::read_symlink(file()), failing);
    }
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

// A change rewrites the line of its key alone: comments, blank lines, lines
// it does not understand, the order and the line endings stay as the person
// wrote them; a key with no line gets one at the end.
TEST_F(SettingsFile, AChangeKeepsEveryLineAPersonWrote) {
    const struct {
        const char* label;
        std::string before;
        SettingKey key;
        bool value;
        std::string after;
    } cases[] = {
        {"comments and blank lines", "# my settings\n\nfullscreen = false\n   \n# mute = true\nmute = false\n",
         SettingKey::Mute, true, "# my settings\n\nfullscreen = false\n   \n# mute = true\nmute = true\n"},
        {"Windows line endings", "# mine\r\nfullscreen = false\r\nmute = false\r\n", SettingKey::Fullscreen, true,
         "# mine\r\nfullscreen = true\r\nmute = false\r\n"},
        {"the line's own spacing", "  mute\t=\tfalse  \n", SettingKey::Mute, true, "  mute\t=\ttrue  \n"},
        {"no last newline", "mute=false", SettingKey::Mute, true, "mute=true"},
        {"a missing key is added", "# mine\nmute = true\n", SettingKey::Fullscreen, true,
         "# mine\nmute = true\nfullscreen = true\n"},
        {"added after a last line with no newline", "# mine\nmute = true", SettingKey::Fullscreen, true,
         "# mine\nmute = true\nfullscreen = true\n"},
        {"added with the file's line endings", "# mine\r\nmute = true", SettingKey::Fullscreen, false,
         "# mine\r\nmute = true\r\nfullscreen = false\r\n"},
        {"an empty file", "", SettingKey::Fullscreen, true, "fullscreen = true\n"},
        {"a key in a comment is a comment", "# fullscreen = false\n", SettingKey::Fullscreen, true,
         "# fullscreen = false\nfullscreen = true\n"},
        {"garbled lines are kept", "volume = 11\nmute\nfullscreen = yes\n", SettingKey::Fullscreen, true,
         "volume = 11\nmute\nfullscreen = true\n"},
        {"the last line of the key is the one changed", "mute = true\n# later\nmute = false\n", SettingKey::Mute,
         true, "mute = true\n# later\nmute = true\n"},
        {"a bad value is replaced", "fullscreen = TRUE\n", SettingKey::Fullscreen, false, "fullscreen = false\n"},
        {"an empty value", "mute =\n", SettingKey::Mute, true, "mute =true\n"},
        {"binary lines are kept", std::string("\x89PNG\0\r\n", 7) + "mute = false\n\xff", SettingKey::Mute, true,
         std::string("\x89PNG\0\r\n", 7) + "mute = true\n\xff"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        writeSettings(c.before);
        ASSERT_EQ(changeSetting(c.key, c.value), "");
        EXPECT_EQ(readFile(file()), c.after);
        const Settings read = loadSettings().settings;
        EXPECT_EQ(c.key == SettingKey::Fullscreen ? read.fullscreen : read.mute, c.value);
    }
}

// What stands where the file goes and cannot be read as settings stays what
// it is: the change is refused with why, naming the file.
TEST_F(SettingsFile, AChangeLeavesWhatCannotBeReadAsItIs) {
    const struct {
        const char* label;
        void (*make)();
    } cases[] = {
        {"a FIFO", [] { ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0); }},
        {"a folder", [] { fs::create_directories(file() / "inside"); }},
        {"a link to a device", [] { fs::create_symlink("/dev/null", file()); }},
        {"a link to a folder", [] { fs::create_symlink(sandboxDirectory(), file()); }},
        {"a dangling link", [] { fs::create_symlink(sandboxDirectory() / "gone", file()); }},
        {"larger than a settings file",
         [] { writeFile(file(), "fullscreen = true\n" + std::string(70000, '#') + "\n"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        fs::remove_all(folder());
        fs::create_directories(folder());
        c.make();
        const fs::file_type kind = fs::symlink_status(file()).type();
        const std::string bytes = kind == fs::file_type::regular ? readFile(file()) : "";

        const std::string problem = changeSetting(SettingKey::Mute, true);
        EXPECT_NE(problem.find(file().string()), std::string::npos) << problem;
        EXPECT_EQ(fs::symlink_status(file()).type(), kind);
        if (kind == fs::file_type::regular) {
            EXPECT_EQ(readFile(file()), bytes);
        }
        EXPECT_FALSE(fs::exists(sandboxDirectory() / "gone")) << "a dangling link's target is never made";
        for (const std::string& name : namesIn(folder())) {
            EXPECT_TRUE(name == "settings" || name == ".settings.lock") << name << " left in the folder";
        }
    }
}

TEST_F(SettingsFile, AChangeLeavesAnUnreadableFileAsItIs) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads a file of mode 0000";
    writeSettings("fullscreen = true\n");
    ::chmod(file().c_str(), 0);
    EXPECT_NE(changeSetting(SettingKey::Mute, true).find("Permission denied"), std::string::npos);
    EXPECT_EQ(modeOf(file()), 0u);
    ::chmod(file().c_str(), 0600);
    EXPECT_EQ(readFile(file()), "fullscreen = true\n");
}

// The settings file as a dotfile manager keeps it: a link to a file of the
// player's elsewhere. It is read through the link, and a change replaces the
// target atomically in the target's own folder; the link stays a link.
TEST_F(SettingsFile, ALinkToAFileOfThePlayersIsFollowedAndStaysALink) {
    const fs::path dotfiles = sandboxDirectory() / "dotfiles" / "vimbrot";
    const fs::path target = dotfiles / "settings";
    for (const fs::path& link : {fs::path(target), fs::path("../../../../dotfiles/vimbrot/settings")}) {
        SCOPED_TRACE(link.string());
        fs::remove_all(folder());
        fs::remove_all(dotfiles);
        writeFile(target, "# kept in git\nfullscreen = true\n");
        fs::create_directories(folder());
        fs::create_symlink(link, file());
        clearLog();

        LoadedSettings loaded = loadSettings();
        EXPECT_EQ(loaded.problem, "");
        EXPECT_TRUE(loaded.settings.fullscreen);

        // Just before the new target takes its name, the old one is whole,
        // and the new one was written beside it.
        static std::string seen, from, to;
        seen.clear();
        RenameSeam::beforeRename = [](const char* f, const char* t) {
            from = f;
            to = t;
            seen = readFile(t);
        };
        ASSERT_EQ(changeSetting(SettingKey::Mute, true), "");
        RenameSeam::beforeRename = nullptr;
        EXPECT_EQ(seen, "# kept in git\nfullscreen = true\n");
        EXPECT_EQ(fs::path(to), target);
        EXPECT_EQ(fs::path(from).parent_path(), dotfiles);

        ASSERT_TRUE(fs::is_symlink(file()));
        EXPECT_EQ(fs::read_symlink(file()), link);
        EXPECT_EQ(readFile(target), "# kept in git\nfullscreen = true\nmute = true\n");
        EXPECT_EQ(namesIn(dotfiles), std::vector<std::string>{"settings"}) << "no temporary file left";
        EXPECT_TRUE(loadSettings().settings.mute);
        EXPECT_EQ(readLog(), "");
    }
}

// A link to a file that is not the player's is not followed: it is not a
// file the game may replace.
TEST_F(SettingsFile, ALinkToSomeoneElsesFileIsNotFollowed) {
    fs::path other = "/etc/passwd";
    if (::geteuid() == 0) {
        other = sandboxDirectory() / "nobodys";
        writeFile(other, "fullscreen = true\n");
        ASSERT_EQ(::chown(other.c_str(), 65534, 65534), 0);
    }
    struct stat info {};
    ASSERT_EQ(::stat(other.c_str(), &info), 0);
    if (info.st_uid == ::geteuid()) GTEST_SKIP() << other << " is this user's";
    const std::string bytes = readFile(other);
    fs::create_directories(folder());
    fs::create_symlink(other, file());

    Settings run = settingsForRun({});
    EXPECT_FALSE(run.fullscreen);
    const std::string log = readLog();
    EXPECT_EQ(countOf(log, "ERROR ("), 1) << log;
    EXPECT_NE(log.find("not yours"), std::string::npos) << log;
    EXPECT_NE(changeSetting(SettingKey::Fullscreen, true).find("not yours"), std::string::npos);
    EXPECT_EQ(readFile(other), bytes);
    ASSERT_TRUE(fs::is_symlink(file()));
    EXPECT_EQ(fs::read_symlink(file()), other);
}

TEST_F(SettingsFile, AChangeIsAtomicAndAFailedChangeKeepsTheOldFile) {
    ASSERT_EQ(changeSetting(SettingKey::Mute, true), "");
    const std::string old = readFile(file());
    // Just before the new file takes the name, the old one is still whole.
    static std::string seen;
    RenameSeam::beforeRename = [](const char*, const char*) { seen = readFile(file()); };
    ASSERT_EQ(changeSetting(SettingKey::Fullscreen, true), "");
    EXPECT_EQ(seen, old);
    EXPECT_TRUE(loadSettings().settings.fullscreen);
    RenameSeam::beforeRename = nullptr;

    // A file where the settings' folder goes: the change says why and fails.
    fs::remove_all(home() / ".config");
    fs::create_directories(home() / ".config" / "Orvo");
    writeFile(folder(), "not a folder");
    std::string problem = changeSetting(SettingKey::Mute, false);
    EXPECT_NE(problem.find(folder().string()), std::string::npos) << problem;
    EXPECT_EQ(readFile(folder()), "not a folder");
}

// Two games, each changing its own setting over and over at the same time:
// neither ever loses the other's change. Each reads back its own setting
// after every change, and in the end each holds its game's last value.
TEST_F(SettingsFile, TwoGamesChangingAtOnceKeepEachOthersChanges) {
    constexpr int kChanges = 151;  // odd: each game's last value is true
    for (int trial = 0; trial < 3; ++trial) {
        SCOPED_TRACE("trial " + std::to_string(trial));
        writeSettings("# two games\nfullscreen = false\nmute = false\n");
        int gate[2];
        ASSERT_EQ(::pipe(gate), 0);
        std::vector<pid_t> games;
        for (SettingKey key : {SettingKey::Fullscreen, SettingKey::Mute}) {
            pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                ::close(gate[1]);
                char byte = 0;
                if (::read(gate[0], &byte, 1) != 0) ::_exit(2);
                int lost = 0;
                for (int i = 0; i < kChanges; ++i) {
                    const bool value = i % 2 == 0;
                    if (!changeSetting(key, value).empty()) ::_exit(3);
                    const Settings now = loadSettings().settings;
                    lost += (key == SettingKey::Fullscreen ? now.fullscreen : now.mute) != value;
                }
                ::_exit(lost == 0 ? 0 : 1);
            }
            games.push_back(child);
        }
        ::close(gate[0]);
        ::close(gate[1]);
        for (pid_t game : games) {
            int status = 0;
            ASSERT_EQ(::waitpid(game, &status, 0), game);
            EXPECT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
            EXPECT_EQ(WEXITSTATUS(status), 0) << (WEXITSTATUS(status) == 1 ? "the other game undid a change"
                                                                            : "a change failed");
        }
        EXPECT_EQ(readFile(file()), "# two games\nfullscreen = true\nmute = true\n");
    }
    EXPECT_EQ(readLog(), "");
}

}  // namespace
