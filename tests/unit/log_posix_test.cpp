// What a hostile message.log does on Linux: FIFOs, links, permissions, a
// full disk, a working directory that is gone.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "orvo3d/log.h"
#include "support/child.h"
#include "support/sandbox.h"

namespace {

namespace fs = std::filesystem;

class HostileLog : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all("message.log");
        Logger::init(false);
    }
};

// What a hostile message.log does to a record and to F12. Every case runs in
// a child of its own (a hang is killed by the time limit): the record must go
// to the log or to standard error, the process must carry on, and whatever
// stands in the log's place (and any file a link points at) stays as it was.
struct HostileCase {
    const char* what;
    std::function<void(const fs::path& dir)> prepare;  // builds the case in the child's working directory
    bool unprivileged = false;                           // permissions do not stop root
    bool fullDisk = false;
    bool reachesLog = false;                             // the record lands in message.log after all
};

// A folder every user may enter, for the cases run as an unprivileged user.
fs::path openFolder(const char* name) {
    fs::path dir = fs::temp_directory_path() / (std::string("vimbrot-log-") + name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::permissions(dir, fs::perms::all);
    return dir;
}

TEST_F(HostileLog, NeitherHangsNorHarmsAndRecordsStillAppear) {
    const std::string elsewhere = "33 bytes that must stay as they are";
    const HostileCase cases[] = {
        {"a folder", [](const fs::path& d) { fs::create_directory(d / "message.log"); }},
        {"a FIFO nobody reads", [](const fs::path& d) { ASSERT_EQ(::mkfifo((d / "message.log").c_str(), 0600), 0); }},
        {"a link to a file elsewhere", [&](const fs::path& d) {
             writeFile(d / "elsewhere.txt", elsewhere);
             fs::create_symlink(d / "elsewhere.txt", d / "message.log");
         }},
        {"a dangling link", [](const fs::path& d) { fs::create_symlink(d / "target.txt", d / "message.log"); }},
        {"a deleted working directory", [](const fs::path& d) {
             fs::create_directory(d / "gone");
             ASSERT_EQ(::chdir((d / "gone").c_str()), 0);
             fs::remove(d / "gone");
         }},
        {"read-only", [](const fs::path& d) {
             writeFile(d / "message.log", "kept\n");
             fs::permissions(d / "message.log", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
         }, true},
        {"in a read-only folder", [](const fs::path& d) {
             fs::create_directory(d / "ro");
             fs::permissions(d / "ro", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                           fs::perms::others_read | fs::perms::others_exec);
             ASSERT_EQ(::chdir((d / "ro").c_str()), 0);
         }, true},
        {"on a full disk", [](const fs::path& d) { ASSERT_EQ(::chdir((d / "full").c_str()), 0); }, false, true},
        {"huge (3 GiB, sparse)", [](const fs::path& d) {
             writeFile(d / "message.log", "");
             fs::resize_file(d / "message.log", 3ull << 30);
         }, false, false, true},
    };
    const std::string recordTail = ")\n => game/menu:7\nNo audio device\n\n";
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path dir = openFolder("hostile");
        ChildOutcome run = runInChild(
            [&] {
                Logger::init(false);
                Logger::error("game/menu", 7, "No audio device");
                Logger::clear();
                Logger::error("game/menu", 7, "No audio device");
            },
            [&] {
                // Built as root, then run as the user the case needs.
                if (c.fullDisk && !mountFullDisk(dir / "full")) return false;
                if (::chdir(dir.c_str()) != 0) ::_exit(90);
                c.prepare(dir);
                if (testing::Test::HasFatalFailure()) ::_exit(90);
                return !c.unprivileged || becomeNobody();
            });
        if (run.exited && run.code == kChildCannotRun) {
            std::printf("[  SKIPPED ] %s: needs %s\n", c.what, c.unprivileged ? "the user nobody" : "a mount namespace");
            fs::remove_all(dir);
            continue;
        }
        EXPECT_TRUE(run.exited) << "ended by signal " << run.signal << (run.signal == SIGALRM ? " (it hung)" : "");
        EXPECT_EQ(run.code, 0);
        if (c.reachesLog) {
            // Appended past the end, then emptied by F12: one record is left.
            EXPECT_EQ(run.errors, "");
            EXPECT_EQ(fs::file_size(dir / "message.log"), recordTail.size() + 26);
        } else {
            // One line that says why, then each record once, as it would be in the log.
            EXPECT_EQ(countOf(run.errors, "vimbrot: cannot write message.log ("), 1) << run.errors;
            EXPECT_EQ(countOf(run.errors, recordTail), 2) << run.errors;
            EXPECT_EQ(run.errors.find("Failed to open log file!"), std::string::npos);
        }
        // Nothing took the log's place and nothing a link points at changed.
        if (fs::exists(dir / "elsewhere.txt")) {
            EXPECT_EQ(readFile(dir / "elsewhere.txt"), elsewhere);
        }
        EXPECT_FALSE(fs::exists(dir / "target.txt")) << "the dangling link's target was created";
        if (fs::is_symlink(dir / "message.log")) {
            EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "message.log")));
        }
        if (std::string(c.what) == "read-only") {
            EXPECT_EQ(readFile(dir / "message.log"), "kept\n");
        }
        fs::remove_all(dir);
    }
}

// A FIFO with a reader waiting on it would take records; it still is not a
// log, and nothing is written into it.
TEST_F(HostileLog, FifoWithAReaderGetsNothing) {
    ASSERT_EQ(::mkfifo("message.log", 0600), 0);
    int reader = ::open("message.log", O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ChildOutcome run = runInChild([] {
        Logger::error("game/menu", 3, "through the FIFO?");
        Logger::clear();
    });
    char buffer[64];
    EXPECT_LE(::read(reader, buffer, sizeof buffer), 0);
    ::close(reader);
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(countOf(run.errors, "through the FIFO?"), 1) << run.errors;
    fs::remove("message.log");
}

}  // namespace
