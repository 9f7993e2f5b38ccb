// The settings the player changes while the game runs, written by their own
// worker over a real settings file in the test's HOME: another game holding
// the settings' lock (or a stalled disk) never makes the caller wait.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>

#include "game/settingswriter.h"
#include "platform/settings.h"
#include "support/sandbox.h"

namespace fs = std::filesystem;

namespace {

fs::path folder() { return fs::path(std::getenv("HOME")) / ".config" / "Orvo" / "Vimbrot"; }
fs::path file() { return folder() / "settings"; }

// Another game's hold on the settings' lock, taken as the game takes it.
class HeldLock {
public:
    HeldLock() {
        fs::create_directories(folder());
        descriptor = ::open((folder() / ".settings.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (descriptor >= 0 && ::flock(descriptor, LOCK_EX) != 0) release();
    }
    ~HeldLock() { release(); }
    bool held() const { return descriptor >= 0; }
    void release() {
        std::lock_guard guard(mutex);
        if (descriptor >= 0) ::close(descriptor);
        descriptor = -1;
    }

private:
    std::mutex mutex;
    int descriptor = -1;
};

// Lets the lock go if the caller has not come back within a minute: a
// caller that waits for the lock then comes back too, and says it waited.
class Watchdog {
public:
    explicit Watchdog(HeldLock& lock)
        : thread([this, &lock] {
              std::unique_lock guard(mutex);
              if (!done.wait_for(guard, std::chrono::minutes(1), [this] { return returned; })) {
                  waited = true;
                  guard.unlock();
                  lock.release();
              }
          }) {}
    ~Watchdog() {
        cameBack();
        thread.join();
    }
    void cameBack() {
        std::lock_guard guard(mutex);
        returned = true;
        done.notify_all();
    }
    bool callerWaited() {
        std::lock_guard guard(mutex);
        return waited;
    }

private:
    std::mutex mutex;
    std::condition_variable done;
    bool returned = false;
    bool waited = false;
    std::thread thread;
};

class SettingsWriterTest : public testing::Test {
protected:
    void SetUp() override { unsetVariable("XDG_CONFIG_HOME"); }
};

// M and F11 pressed while another game holds the lock: the changes return at
// once and nothing is written; once the lock goes, the latest of each lands.
TEST_F(SettingsWriterTest, ChangesWhileTheLockIsHeldWaitForNothingAndLandOnceItGoes) {
    fs::create_directories(folder());
    writeFile(file(), "# mine\nmute = false\n");
    HeldLock other;
    ASSERT_TRUE(other.held());
    SettingsWriter writer;
    {
        Watchdog watchdog(other);
        writer.change(SettingKey::Mute, true);
        writer.change(SettingKey::Fullscreen, true);
        writer.change(SettingKey::Mute, false);
        writer.change(SettingKey::Mute, true);
        writer.collect();
        watchdog.cameBack();
        EXPECT_FALSE(watchdog.callerWaited()) << "the caller waited for the lock";
    }
    EXPECT_EQ(readFile(file()), "# mine\nmute = false\n") << "nothing is written while the lock is held";

    other.release();
    EXPECT_TRUE(writer.finish(std::chrono::seconds(60)));
    EXPECT_EQ(readFile(file()), "# mine\nmute = true\nfullscreen = true\n");
    EXPECT_EQ(readLog(), "");
}

// Leaving while the lock stays held: the way out waits its time, then one
// record names what could not be written; the file is untouched.
TEST_F(SettingsWriterTest, LeavingWhileTheLockStaysHeldWaitsItsTimeAndLeavesOneRecord) {
    fs::create_directories(folder());
    writeFile(file(), "fullscreen = false\n");
    HeldLock other;
    ASSERT_TRUE(other.held());
    {
        SettingsWriter writer;
        Watchdog watchdog(other);
        writer.change(SettingKey::Fullscreen, true);
        writer.change(SettingKey::Mute, true);
        watchdog.cameBack();
        EXPECT_FALSE(watchdog.callerWaited()) << "the caller waited for the lock";
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(writer.finish(std::chrono::milliseconds(300)));
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    }
    const std::string log = readLog();
    EXPECT_EQ(countOf(log, "ERROR ("), 1) << log;
    EXPECT_NE(log.find("Settings not saved (fullscreen = true, mute = true): the settings file did not answer "
                       "within 0.3 s"),
              std::string::npos)
        << log;
    EXPECT_EQ(readFile(file()), "fullscreen = false\n");
}

// A change the platform refuses (a FIFO where the file goes) is one record,
// written by collect() on the caller's thread, not by the worker.
TEST_F(SettingsWriterTest, ARefusedChangeIsOneRecordWrittenByCollect) {
    fs::create_directories(folder());
    ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0);
    SettingsWriter writer;
    writer.change(SettingKey::Mute, true);
    ASSERT_TRUE(writer.finish(std::chrono::seconds(60)));
    const std::string log = readLog();
    EXPECT_EQ(countOf(log, "ERROR ("), 1) << log;
    EXPECT_NE(log.find(file().string()), std::string::npos) << log;
    EXPECT_TRUE(fs::is_fifo(fs::symlink_status(file())));
}

// Nothing queued: the way out waits for nothing and writes nothing.
TEST_F(SettingsWriterTest, NothingQueuedLeavesNothing) {
    {
        SettingsWriter writer;
        writer.collect();
        EXPECT_TRUE(writer.finish(std::chrono::milliseconds(0)));
    }
    EXPECT_FALSE(fs::exists(folder()));
    EXPECT_EQ(readLog(), "");
}

}  // namespace
