#include "game/settingswriter.h"

#include <array>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "orvo3d/log.h"

namespace {

constexpr const char* kModule = "game/settingswriter";
constexpr std::array<SettingKey, 2> kKeys = {SettingKey::Fullscreen, SettingKey::Mute};

// A value for each setting, by SettingKey; none for a setting left alone.
using Changes = std::array<std::optional<bool>, kKeys.size()>;

std::size_t indexOf(SettingKey key) { return key == SettingKey::Fullscreen ? 0 : 1; }

bool anyOf(const Changes& changes) {
    for (const std::optional<bool>& value : changes) {
        if (value) return true;
    }
    return false;
}

}  // namespace

struct SettingsWriter::Worker {
    std::mutex mutex;
    std::condition_variable wake;  // a change queued, or the way out
    std::condition_variable idle;  // nothing queued and nothing writing
    Changes queued;                // the latest of each, waiting
    Changes writing;               // those being written
    bool stopping = false;
    std::vector<std::string> records;  // of the changes done, in order
    std::thread thread;

    // The worker: writes what is queued, one batch at a time, until the way
    // out finds nothing left.
    static void run(std::shared_ptr<Worker> self) {
        std::unique_lock lock(self->mutex);
        for (;;) {
            self->wake.wait(lock, [&] { return anyOf(self->queued) || self->stopping; });
            if (!anyOf(self->queued)) break;
            self->writing = std::exchange(self->queued, Changes{});
            const Changes changes = self->writing;
            lock.unlock();
            std::vector<std::string> held;
            {
                Logger::HoldRecords hold(held);
                for (SettingKey key : kKeys) {
                    const std::optional<bool> value = changes[indexOf(key)];
                    if (!value) continue;
                    try {
                        const std::string problem = changeSetting(key, *value);
                        if (!problem.empty()) Logger::error(kModule, __LINE__, "%s", problem.c_str());
                    } catch (const std::exception& error) {
                        Logger::error(kModule, __LINE__, "Failed to keep a setting: %s", error.what());
                    }
                }
            }
            lock.lock();
            self->records.insert(self->records.end(), held.begin(), held.end());
            self->writing = Changes{};
            if (!anyOf(self->queued)) self->idle.notify_all();
        }
        self->idle.notify_all();
    }
};

SettingsWriter::SettingsWriter() : worker(std::make_shared<Worker>()) {}

SettingsWriter::~SettingsWriter() {
    // A destructor must not throw; what could not be written is a record.
    try {
        finish();
    } catch (...) {
    }
}

void SettingsWriter::change(SettingKey key, bool value) {
    std::lock_guard lock(worker->mutex);
    worker->queued[indexOf(key)] = value;
    if (!worker->thread.joinable()) worker->thread = std::thread(Worker::run, worker);
    worker->wake.notify_one();
}

void SettingsWriter::collect() {
    std::vector<std::string> done;
    {
        std::lock_guard lock(worker->mutex);
        done.swap(worker->records);
    }
    Logger::writeHeldRecords(done);
}

bool SettingsWriter::finish(std::chrono::milliseconds limit) {
    std::unique_lock lock(worker->mutex);
    if (!worker->thread.joinable()) return true;
    worker->stopping = true;
    worker->wake.notify_one();
    const bool written =
        worker->idle.wait_for(lock, limit, [&] { return !anyOf(worker->queued) && !anyOf(worker->writing); });
    // What is still on its way: the latest value of each setting.
    std::string unwritten;
    for (SettingKey key : kKeys) {
        const std::size_t i = indexOf(key);
        const std::optional<bool> value = worker->queued[i] ? worker->queued[i] : worker->writing[i];
        if (!value) continue;
        if (!unwritten.empty()) unwritten += ", ";
        unwritten += std::string(key == SettingKey::Fullscreen ? "fullscreen" : "mute") + " = " +
                     (*value ? "true" : "false");
    }
    lock.unlock();
    if (written) {
        worker->thread.join();
    } else {
        // The worker keeps its own hold on what it shares; the process's end
        // ends it.
        worker->thread.detach();
    }
    collect();
    if (!written) {
        Logger::error(kModule, __LINE__,
                      "Settings not saved (%s): the settings file did not answer within %g s (another game holds "
                      "its lock, or the disk stalls)",
                      unwritten.c_str(), static_cast<double>(limit.count()) / 1000.0);
    }
    return written;
}
