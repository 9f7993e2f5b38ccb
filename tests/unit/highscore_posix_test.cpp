// The best score's store on Linux: real files under the test's own
// XDG_DATA_HOME, their folders, modes, links and temporaries, and saves
// killed or racing in other processes. (What every system shares is in
// highscore_test.cpp.)
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "game/bestscore.h"
#include "game/highscore.h"
#include "platform/userstore.h"
#include "support/child.h"
#include "support/rename_seam.h"
#include "support/sandbox.h"
#include "unit/store_fixture.h"

namespace fs = std::filesystem;
using namespace store;

namespace {

fs::path dataHome() { return std::getenv("XDG_DATA_HOME"); }
fs::path productFolder() { return dataHome() / "Orvo" / "Vimbrot"; }
fs::path valueFile() { return productFolder() / "data"; }

mode_t modeOf(const fs::path& p) {
    struct stat info {};
    return ::lstat(p.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

// Stores raw value bytes as another program (or a damaged disk) might have.
void storeRaw(const std::string& bytes) {
    fs::create_directories(productFolder());
    writeFile(valueFile(), bytes);
}

}  // namespace

TEST_F(HighScoreStore, FirstSaveCreatesPrivateMakerAndProductFoldersAndValue) {
    HighScore::save(77);
    EXPECT_EQ(modeOf(dataHome() / "Orvo"), 0700u);
    EXPECT_EQ(modeOf(productFolder()), 0700u);
    EXPECT_EQ(modeOf(valueFile()), 0600u);
    // One value file and no temporary left behind.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(productFolder())) names.push_back(entry.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"data"});
    EXPECT_EQ(HighScore::load(report), 77);
}

TEST_F(HighScoreStore, ExistingMakerFolderGetsOnlyTheProductFolder) {
    fs::create_directories(dataHome() / "Orvo");
    ::chmod((dataHome() / "Orvo").c_str(), 0750);
    writeFile(dataHome() / "Orvo" / "Other", "another product");

    HighScore::save(31);
    EXPECT_EQ(modeOf(dataHome() / "Orvo"), 0750u) << "the maker folder was not ours to change";
    EXPECT_EQ(readFile(dataHome() / "Orvo" / "Other"), "another product");
    EXPECT_EQ(modeOf(productFolder()), 0700u);
    EXPECT_EQ(HighScore::load(report), 31);
}

TEST_F(HighScoreStore, ReplacingAValueMakesItPrivate) {
    storeRaw(stored(9));
    ::chmod(valueFile().c_str(), 0644);
    HighScore::save(10);
    EXPECT_EQ(modeOf(valueFile()), 0600u);
    EXPECT_EQ(HighScore::load(report), 10);
}

// What only a file system can put in the value's place.
TEST_F(HighScoreStore, FoldersFifosLinksAndPermissionsReadZeroAndAFullBufferReads) {
    const std::string good = stored(1234);
    struct Case {
        const char* what;
        std::function<void()> prepare;
        std::int64_t expected = 0;
    };
    const Case cases[] = {
        {"product folder is a file", [&] { writeFile(productFolder(), good); }},
        // (The registry adds a NUL to text it hands out, so there such a
        // value no longer fits the buffer.)
        {"1000 hex characters without NUL", [&] {
             storeRaw(hexOf(kPrefix + "1234" + std::string(500 - kPrefix.size() - 4, ' ')));
         }, 1234},
        {"value is a folder", [&] { fs::create_directories(valueFile()); }},
        {"value is a FIFO", [&] {
             fs::create_directories(productFolder());
             ::mkfifo(valueFile().c_str(), 0600);
         }},
        {"value is a dangling link", [&] {
             fs::create_directories(productFolder());
             fs::create_symlink("/nonexistent/value", valueFile());
         }},
        {"value links to a file elsewhere", [&] {
             writeFile(sandboxDirectory() / "elsewhere", good);
             fs::create_directories(productFolder());
             fs::create_symlink(sandboxDirectory() / "elsewhere", valueFile());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dataHome() / "Orvo");
        c.prepare();
        EXPECT_EQ(HighScore::load(report), c.expected);
    }
    // Permissions stop only other users; root reads everything.
    if (::geteuid() != 0) {
        fs::remove_all(dataHome() / "Orvo");
        storeRaw(good);
        ::chmod(valueFile().c_str(), 0);
        EXPECT_EQ(HighScore::load(report), 0);
    }
}

// The key digest the tests of every system use is md5sum's, computed
// outside this program, and the value is the file's bytes themselves.
TEST_F(HighScoreStore, TheKeyDigestIsMd5sumsAndTheValueIsTheFile) {
    std::FILE* pipe = ::popen("printf '%s' 'Rm4x#275816pka=7' | md5sum", "r");
    ASSERT_NE(pipe, nullptr);
    char line[128] = {};
    ASSERT_NE(std::fgets(line, sizeof line, pipe), nullptr);
    ASSERT_EQ(::pclose(pipe), 0);
    EXPECT_EQ(std::string(line, 32), kKeyDigest);

    HighScore::save(1234);
    std::string hex = readFile(valueFile());
    ASSERT_EQ(hex, stored(1234));
    hex.pop_back();
    EXPECT_EQ(rc4(fromHex(kKeyDigest), fromHex(hex)), kPrefix + "1234");
}

TEST_F(HighScoreStore, AnyNameSpellingIsTheOneFile) {
    storeRaw(stored(4321));
    EXPECT_EQ(HighScore::load(report), 4321);
    // Written as "Data", read as "DATA": one file, "data".
    HighScore::save(1);
    EXPECT_EQ(std::distance(fs::directory_iterator(productFolder()), fs::directory_iterator()), 1);
    EXPECT_EQ(readFile(valueFile()), stored(1));
}

TEST_F(UserStoreFolders, FolderComesFromXdgDataHomeOrHome) {
    const std::string home = std::getenv("HOME");
    const std::string elsewhere = (sandboxDirectory() / "other-data-home").string();
    struct Case {
        const char* xdg;  // null: unset
        std::string expected;
    };
    const Case cases[] = {
        {elsewhere.c_str(), elsewhere},
        {nullptr, home + "/.local/share"},
        {"", home + "/.local/share"},
        {"relative/share", home + "/.local/share"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xdg ? c.xdg : "(unset)");
        if (c.xdg != nullptr) setVariable("XDG_DATA_HOME", c.xdg);
        else unsetVariable("XDG_DATA_HOME");
        EXPECT_EQ(UserStore::rootFolder(), c.expected);
        HighScore::save(606);
        EXPECT_EQ(readFile(c.expected + "/Orvo/Vimbrot/data"), stored(606));
        EXPECT_EQ(HighScore::load(report), 606);
        fs::remove_all(c.expected + "/Orvo");
    }
}

// A save killed after writing its new value but before putting it in place
// leaves the old value whole.
TEST_F(HighScoreStore, SaveKilledBeforeTheReplaceLeavesTheOldValue) {
    HighScore::save(1000);
    const std::string before = readFile(valueFile());

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        static int signalFd = ready[1];
        RenameSeam::beforeRename = [](const char*, const char*) {
            char byte = 1;
            if (::write(signalFd, &byte, 1) == 1) ::pause();
            ::_exit(3);
        };
        HighScore::save(2000);
        ::_exit(2);  // never reached when the hook runs
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the save never reached the replace";
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    EXPECT_EQ(readFile(valueFile()), before);
    EXPECT_EQ(HighScore::load(report), 1000);
    // The new value had been written in full beside it.
    bool sawNew = false;
    for (const auto& entry : fs::directory_iterator(productFolder())) {
        if (entry.path().filename() != "data") sawNew = sawNew || readFile(entry.path()) == stored(2000);
    }
    EXPECT_TRUE(sawNew);

    HighScore::save(3000);
    EXPECT_EQ(HighScore::load(report), 3000);
}

// ---------------------------------------------------------------- faults
// Each case below runs in a child process of its own, in a folder every user
// may enter (some run as the unprivileged user "nobody": permissions do not
// stop root), with its own working directory (for message.log) and data home.

namespace {

struct FaultFolder {
    fs::path dir;
    explicit FaultFolder(const std::string& name) {
        dir = fs::temp_directory_path() / ("vimbrot-store-" + name + "-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "share");
        fs::permissions(dir, fs::perms::all);
        fs::permissions(dir / "share", fs::perms::all);
    }
    ~FaultFolder() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    fs::path share() const { return dir / "share"; }
    fs::path product() const { return share() / "Orvo" / "Vimbrot"; }
    fs::path value() const { return product() / "data"; }
    std::string log() const { return readFile(dir / "message.log"); }
    // Points the store here and saves a value as the game would.
    void seed(std::int64_t best) const {
        setenv("XDG_DATA_HOME", share().c_str(), 1);
        HighScore::save(best);
    }
    // Hands the store's folders to nobody, as if that user had made them.
    void giveToNobody() const {
        const passwd* nobody = ::getpwnam("nobody");
        if (nobody == nullptr) return;
        for (const fs::path& p : {share() / "Orvo", product()}) {
            if (fs::exists(p)) {
                EXPECT_EQ(::chown(p.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
            }
        }
    }
};

void reportSkip(const char* what, bool unprivileged) {
    std::printf("[  SKIPPED ] %s: needs %s\n", what, unprivileged ? "the user nobody" : "a mount namespace");
}

}  // namespace

// Unreadable is not zero: the value in `data`'s place is kept, one ERROR
// names the path and the reason however often the screens load, and no
// lower score is ever saved over it.
TEST_F(HighScoreStore, UnreadableValueIsKeptReportedOnceAndNeverReplaced) {
    struct Case {
        const char* what;
        std::function<void(const FaultFolder&)> prepare;  // run as root, after a best of 500 was saved
        const char* reason;
        bool unprivileged = false;
    };
    const Case cases[] = {
        {"mode 0000", [](const FaultFolder& f) {
             f.giveToNobody();
             const passwd* nobody = ::getpwnam("nobody");
             if (nobody != nullptr) {
                 EXPECT_EQ(::chown(f.value().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
             }
             ::chmod(f.value().c_str(), 0);
         }, "Permission denied", true},
        {"owned by someone else", [](const FaultFolder& f) { f.giveToNobody(); }, "Permission denied", true},
        {"a folder", [](const FaultFolder& f) {
             fs::remove(f.value());
             fs::create_directory(f.value());
         }, "it is a folder"},
        {"a FIFO", [](const FaultFolder& f) {
             fs::remove(f.value());
             ASSERT_EQ(::mkfifo(f.value().c_str(), 0600), 0);
         }, "not a regular file"},
        {"a link the store refuses", [](const FaultFolder& f) {
             fs::rename(f.value(), f.dir / "elsewhere");
             fs::create_symlink(f.dir / "elsewhere", f.value());
         }, "symbolic link"},
        {"huge", [](const FaultFolder& f) { writeFile(f.value(), std::string(1 << 20, 'A')); }, "larger than"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FaultFolder f("unreadable");
        f.seed(500);
        c.prepare(f);
        const auto before = fs::symlink_status(f.value()).type();
        const std::string bytesBefore = fs::is_regular_file(f.value()) ? readFile(f.value()) : "";

        ChildOutcome run = runInChild(
            [&] {
                if (::chdir(f.dir.c_str()) != 0) ::_exit(91);
                for (int frame = 0; frame < 5; ++frame) {
                    if (HighScore::load(report) != 0) ::_exit(92);
                }
                HighScore::save(50);  // the end of a run: 50 > the 0 it read
                HighScore::save(60);
                if (HighScore::load(report) != 0) ::_exit(93);
            },
            [&] { return !c.unprivileged || becomeNobody(); });
        if (run.exited && run.code == kChildCannotRun) {
            reportSkip(c.what, true);
            continue;
        }
        EXPECT_TRUE(run.exited && run.code == 0) << "code " << run.code << " signal " << run.signal;

        const std::string log = f.log();
        const std::string path = f.value().string();
        EXPECT_EQ(countOf(log, "Cannot read the best score from " + path + ": "), 1) << log;
        EXPECT_EQ(countOf(log, "Best score 50 not saved: " + path + " cannot be read: "), 1) << log;
        EXPECT_EQ(countOf(log, "Best score 60 not saved: " + path + " cannot be read: "), 1) << log;
        EXPECT_EQ(countOf(log, c.reason), 3) << log;
        EXPECT_EQ(countOf(log, "ERROR ("), 3) << log;

        // Untouched: the same kind of thing with the same bytes, and the best
        // of 500 still there for whoever can read it.
        EXPECT_EQ(fs::symlink_status(f.value()).type(), before);
        if (!bytesBefore.empty()) {
            EXPECT_EQ(readFile(f.value()), bytesBefore);
        }
        if (fs::exists(f.dir / "elsewhere")) {
            EXPECT_EQ(readFile(f.dir / "elsewhere"), stored(500));
        }
        if (c.unprivileged) {
            EXPECT_EQ(HighScore::load(report), 500);
        }
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(f.product())) names.push_back(entry.path().filename());
        EXPECT_EQ(names, std::vector<std::string>{"data"}) << "a temporary file was left";
    }
}

// A save that fails records one ERROR with the path and errno per save; the
// value stored before stays whole.
TEST_F(HighScoreStore, FailedSaveRecordsPathAndErrnoEveryTime) {
    struct Case {
        const char* what;
        std::function<void(const FaultFolder&)> prepare;  // as root
        std::function<bool(const FaultFolder&)> condition;  // in the child, before the saves
        std::string (*path)(const FaultFolder&);
        const char* reason;
        std::int64_t kept;
        bool unprivileged = false;
    };
    auto asNobody = [](const FaultFolder&) { return becomeNobody(); };
    const Case cases[] = {
        {"read-only data home", [](const FaultFolder& f) {
             fs::permissions(f.share(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                            fs::perms::others_read | fs::perms::others_exec);
         }, asNobody, [](const FaultFolder& f) { return f.value().string() + ": cannot create " + f.product().string(); },
         "Permission denied (errno 13)", 0, true},
        {"read-only product folder", [](const FaultFolder& f) {
             f.seed(500);
             f.giveToNobody();
             const passwd* nobody = ::getpwnam("nobody");
             if (nobody != nullptr) {
                 EXPECT_EQ(::chown(f.value().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
             }
             ::chmod(f.product().c_str(), 0500);
         }, asNobody, [](const FaultFolder& f) { return f.value().string(); },
         "Permission denied (errno 13)", 500, true},
        {"product folder owned by root", [](const FaultFolder& f) {
             f.seed(500);
             ::chmod((f.share() / "Orvo").c_str(), 0755);
             ::chmod(f.product().c_str(), 0755);
             ::chmod(f.value().c_str(), 0644);
         }, asNobody, [](const FaultFolder& f) { return f.value().string(); },
         "Permission denied (errno 13)", 500, true},
        {"disk full", [](const FaultFolder&) {},
         [](const FaultFolder& f) {
             if (!mountFullDisk(f.share())) return false;
             fs::remove(f.share() / "filler");
             f.seed(500);
             return fillDisk(f.share());
         },
         [](const FaultFolder& f) { return f.value().string(); }, "No space left on device (errno 28)", 500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FaultFolder f("failedsave");
        setenv("XDG_DATA_HOME", f.share().c_str(), 1);
        c.prepare(f);
        ChildOutcome run = runInChild(
            [&] {
                if (::chdir(f.dir.c_str()) != 0) ::_exit(91);
                setenv("XDG_DATA_HOME", f.share().c_str(), 1);
                HighScore::save(7000);
                HighScore::save(8000);
                // The full disk lives only in the child's namespace: check there.
                if (HighScore::load(report) != c.kept) ::_exit(92);
                if (fs::exists(f.product())) {
                    for (const auto& entry : fs::directory_iterator(f.product())) {
                        if (entry.path().filename() != "data") ::_exit(93);
                    }
                }
            },
            [&] { return c.condition(f); });
        if (run.exited && run.code == kChildCannotRun) {
            reportSkip(c.what, c.unprivileged);
            continue;
        }
        EXPECT_TRUE(run.exited && run.code == 0) << "code " << run.code << " signal " << run.signal;
        const std::string log = f.log();
        for (const char* score : {"7000", "8000"}) {
            EXPECT_EQ(countOf(log, std::string("Failed to save the best score ") + score + " to " + c.path(f) + ": " +
                                       c.reason), 1) << log;
        }
        EXPECT_EQ(countOf(log, "ERROR ("), 2) << log;
    }
}

// With neither XDG_DATA_HOME nor HOME the store lives under the account's
// home folder; nobody's does not exist, and saving there says so.
TEST_F(HighScoreStore, WithoutHomeTheAccountsHomeFolderIsUsed) {
    FaultFolder f("nohome");
    ChildOutcome run = runInChild(
        [&] {
            if (::chdir(f.dir.c_str()) != 0) ::_exit(91);
            unsetenv("XDG_DATA_HOME");
            unsetenv("HOME");
            const passwd* me = ::getpwuid(::getuid());
            if (me == nullptr || UserStore::rootFolder() != std::string(me->pw_dir) + "/.local/share") ::_exit(92);
            if (HighScore::load(report) != 0) ::_exit(93);
            HighScore::save(5);
        },
        [] { return becomeNobody(); });
    if (run.exited && run.code == kChildCannotRun) return reportSkip("no HOME", true);
    EXPECT_TRUE(run.exited && run.code == 0) << "code " << run.code << " signal " << run.signal;
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    if (fs::exists(nobody->pw_dir)) GTEST_SKIP() << "nobody has a home folder here: " << nobody->pw_dir;
    const std::string product = std::string(nobody->pw_dir) + "/.local/share/Orvo/Vimbrot";
    EXPECT_EQ(countOf(f.log(), "Failed to save the best score 5 to " + product + "/data: cannot create " + product + ": "), 1)
        << f.log();
}

// A save's temporary file that is not locked by a living save was left by
// one that was killed, and the next save removes it; others stay.
TEST_F(HighScoreStore, NextSaveRemovesAbandonedTemporariesOnly) {
    HighScore::save(1);
    for (const char* name : {".data.a1b2c3", ".data.ZZZZZZ"}) writeFile(productFolder() / name, stored(99));
    writeFile(productFolder() / ".data.locked", stored(98));
    int held = ::open((productFolder() / ".data.locked").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);  // a save under way in another process
    for (const char* name : {".data.toolong7", ".other.abcdef", "notes"}) writeFile(productFolder() / name, "x");

    HighScore::save(2);
    ::close(held);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(productFolder())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".data.locked", ".data.toolong7", ".other.abcdef", "data", "notes"}));
    EXPECT_EQ(HighScore::load(report), 2);
}

// Killed at any moment of a save, again and again: the value is always one
// whole saved score, at most the one killed save's temporary file is ever
// left over, and the next save clears it.
TEST_F(HighScoreStore, SigkillDuringSavesInALoopNeverTearsOrLeaksTemporaries) {
    HighScore::save(1);
    unsigned seed = 12345;
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            char byte = 1;
            if (::write(ready[1], &byte, 1) != 1) ::_exit(2);
            for (std::int64_t score = 2;; ++score) HighScore::save(score);
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        seed = seed * 1103515245u + 12345u;
        ::usleep((seed >> 16) % 3000);  // somewhere inside one of its saves
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);

        const std::int64_t best = HighScore::load(report);
        EXPECT_GE(best, 1);
        EXPECT_EQ(readFile(valueFile()), stored(best));
        int temporaries = 0;
        for (const auto& entry : fs::directory_iterator(productFolder())) {
            temporaries += entry.path().filename() != "data";
        }
        EXPECT_LE(temporaries, 1);
    }
    HighScore::save(7);
    EXPECT_EQ(std::distance(fs::directory_iterator(productFolder()), fs::directory_iterator()), 1);
    EXPECT_EQ(HighScore::load(report), 7);
}

// A game killed while it holds the store's lock leaves no lock behind: the
// lock file is free again at once and the next end of a run saves without
// waiting.
TEST_F(HighScoreStore, AKilledLockHolderLeavesNoLockBehind) {
    HighScore::save(10);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        UserStore::ValueLock lock("Orvo/Vimbrot", "Data");
        char held = lock.held() ? 1 : 0;
        if (::write(ready[1], &held, 1) != 1) ::_exit(2);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char held = 0;
    ASSERT_EQ(::read(ready[0], &held, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(held, 1);

    const fs::path lockFile = productFolder() / ".data.lock";
    EXPECT_EQ(modeOf(lockFile), 0600u);
    int probe = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(probe, 0);
    EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0) << "the holder's lock must be taken while it lives";
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(::flock(probe, LOCK_EX | LOCK_NB), 0) << "the lock died with its holder";
    ::close(probe);

    ChildOutcome run = runInChild([this] { ::_exit(HighScore::saveIfGreater(20, report) == 10 ? 0 : 3); }, nullptr, 10);
    EXPECT_TRUE(run.exited && run.code == 0) << "the next save waited or read a wrong best: " << run.errors;
    EXPECT_EQ(readFile(valueFile()), stored(20));
    EXPECT_EQ(readLog().find("ERROR"), std::string::npos) << readLog();
}

// A lock file that cannot be used (a link in its place, never followed)
// does not stop a save.
TEST_F(HighScoreStore, ALinkInTheLockFilesPlaceIsNeverFollowed) {
    EXPECT_EQ(HighScore::saveIfGreater(1234, report), 0);
    const fs::path elsewhere = dataHome() / "elsewhere";
    fs::remove(productFolder() / ".data.lock");
    fs::create_symlink(elsewhere, productFolder() / ".data.lock");
    EXPECT_EQ(HighScore::saveIfGreater(5000, report), 1234);
    EXPECT_EQ(readFile(valueFile()), stored(5000));
    EXPECT_FALSE(fs::exists(elsewhere)) << "the lock never follows a link";
    EXPECT_EQ(readLog().find("ERROR"), std::string::npos) << readLog();
}

// Another game holds the store's lock (a save of its own on a stalled disk):
// the end of a run waits for nothing, the best shown is already the new one,
// the old bytes stay until the lock is let go, and the saves queued meanwhile
// come down to the largest.
class HeldLock {
public:
    explicit HeldLock(const fs::path& file) : descriptor(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (descriptor >= 0 && ::flock(descriptor, LOCK_EX) != 0) release();
    }
    ~HeldLock() { release(); }
    bool held() const { return descriptor >= 0; }
    void release() {
        if (descriptor >= 0) ::close(descriptor);
        descriptor = -1;
    }

private:
    int descriptor;
};

TEST_F(HighScoreStore, ARunEndingWhileAnotherGameHoldsTheLockWaitsForNothing) {
    HighScore::save(10);
    BestScore best;
    ASSERT_EQ(best.value(), 10);
    HeldLock other(productFolder() / ".data.lock");
    ASSERT_TRUE(other.held());

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(best.offer(300), 10) << "the best before this run";
    EXPECT_EQ(best.offer(500), 300);
    EXPECT_EQ(best.offer(400), 500) << "a lower score than the one on its way changes nothing";
    best.collect();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "the screens' thread waited";
    EXPECT_EQ(best.value(), 500) << "the screens show the best on its way at once";
    EXPECT_EQ(readFile(valueFile()), stored(10)) << "nothing is written while the lock is held";

    other.release();
    EXPECT_TRUE(best.finish(std::chrono::seconds(60)));
    EXPECT_EQ(readFile(valueFile()), stored(500)) << "the largest of the scores queued is the one saved";
    EXPECT_EQ(HighScore::load(report), 500);
    EXPECT_EQ(readLog().find("ERROR"), std::string::npos) << readLog();
}

// Leaving while the lock stays held: the way out waits its time, then names
// the score that could not be saved; the stored best is untouched.
TEST_F(HighScoreStore, LeavingWhileTheLockStaysHeldNamesTheUnsavedScore) {
    HighScore::save(10);
    HeldLock other(productFolder() / ".data.lock");
    ASSERT_TRUE(other.held());
    {
        BestScore best;
        best.offer(777);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(best.finish(std::chrono::milliseconds(300)));
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    }
    const std::string log = readLog();
    EXPECT_EQ(countOf(log, "ERROR ("), 1) << log;
    EXPECT_NE(log.find("Best score 777 not saved: the store did not answer within 0.3 s"), std::string::npos) << log;
    EXPECT_EQ(readFile(valueFile()), stored(10));
}

// A save the worker refuses (the stored value cannot be read) shows nothing
// new and writes its records here, after the reading's record, as a save on
// this thread did.
TEST_F(HighScoreStore, ARefusedSaveOnItsWayKeepsItsRecordsInOrder) {
    fs::create_directories(valueFile());
    BestScore best;
    EXPECT_EQ(best.offer(700), 0);
    EXPECT_EQ(best.value(), 0) << "a save that will be refused is not shown";
    best.finish();
    EXPECT_TRUE(fs::is_directory(valueFile()));
    const std::string log = readLog();
    const std::size_t reading = log.find("Cannot read the best score from " + valueFile().string());
    const std::size_t refused = log.find("Best score 700 not saved: " + valueFile().string());
    EXPECT_NE(reading, std::string::npos) << log;
    EXPECT_NE(refused, std::string::npos) << log;
    EXPECT_LT(reading, refused) << log;
    std::size_t records = 0;
    for (std::size_t at = log.find("ERROR ("); at != std::string::npos; at = log.find("ERROR (", at + 1)) ++records;
    EXPECT_EQ(records, 2u) << log;
}

// Two games saving at the same time: every save succeeds, the value is
// always one whole score, and no temporary file is left.
TEST_F(HighScoreStore, TwoProcessesSavingAtOnce) {
    HighScore::save(1);
    pid_t children[2];
    for (int i = 0; i < 2; ++i) {
        children[i] = ::fork();
        ASSERT_GE(children[i], 0);
        if (children[i] == 0) {
            for (std::int64_t n = 0; n < 150; ++n) {
                HighScore::save((i + 1) * 100000 + n);
                const std::int64_t seen = HighScore::load(report);
                if (seen % 100000 >= 150 || seen / 100000 < 1 || seen / 100000 > 2) ::_exit(4);
            }
            ::_exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a save failed or a load saw a torn value";
    }
    const std::int64_t best = HighScore::load(report);
    EXPECT_TRUE(best == 100149 || best == 200149) << best;
    EXPECT_EQ(std::distance(fs::directory_iterator(productFolder()), fs::directory_iterator()), 1);
    EXPECT_EQ(readLog().find("ERROR"), std::string::npos) << readLog();
}
