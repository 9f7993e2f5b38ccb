#include "game/bestscore.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "orvo3d/log.h"

struct BestScore::Saver {
    std::mutex mutex;
    std::condition_variable wake;  // a score queued, or the way out
    std::condition_variable idle;  // nothing queued and nothing saving
    std::int64_t queued = 0;       // the largest score waiting; 0 for none
    std::int64_t saving = 0;       // the score being saved; 0 for none
    bool stopping = false;
    std::vector<std::string> records;  // of the saves done, in order
    // What the store held after the last save, for the screens to show once
    // no save is left: a save that failed leaves the old best.
    std::int64_t stored = 0;
    bool storedKnown = false;
    HighScore::ReadReport report;
    std::thread worker;

    // The worker: saves the largest queued score, one save at a time, until
    // the way out finds nothing left.
    static void run(std::shared_ptr<Saver> self) {
        std::unique_lock lock(self->mutex);
        for (;;) {
            self->wake.wait(lock, [&] { return self->queued != 0 || self->stopping; });
            if (self->queued == 0) break;
            self->saving = std::exchange(self->queued, 0);
            const std::int64_t score = self->saving;
            lock.unlock();
            std::vector<std::string> held;
            std::int64_t stored = 0;
            bool known = false;
            {
                Logger::HoldRecords hold(held);
                try {
                    HighScore::saveIfGreater(score, self->report);
                    stored = HighScore::load(self->report);
                    known = true;
                } catch (const std::exception& error) {
                    Logger::error("game/bestscore", __LINE__, "Failed to save the best score %lld: %s",
                                  static_cast<long long>(score), error.what());
                }
            }
            lock.lock();
            if (known) {
                self->stored = stored;
                self->storedKnown = true;
            }
            self->records.insert(self->records.end(), held.begin(), held.end());
            self->saving = 0;
            if (self->queued == 0) self->idle.notify_all();
        }
        self->idle.notify_all();
    }
};

BestScore::BestScore() : saver(std::make_shared<Saver>()) { shown = HighScore::load(saver->report, unreadable); }

BestScore::~BestScore() {
    // A destructor must not throw; what could not be saved is a record.
    try {
        finish();
    } catch (...) {
    }
}

std::int64_t BestScore::offer(std::int64_t score) {
    const std::int64_t before = shown;
    if (score <= before) return before;
    // A value that cannot be read is kept by the save (which says so): the
    // best shown stays what it was.
    if (!unreadable) shown = score;
    std::lock_guard lock(saver->mutex);
    if (score > saver->queued) saver->queued = score;
    if (!saver->worker.joinable()) saver->worker = std::thread(Saver::run, saver);
    saver->wake.notify_one();
    return before;
}

void BestScore::collect() {
    std::vector<std::string> done;
    {
        std::lock_guard lock(saver->mutex);
        done.swap(saver->records);
        // Once no save is left, the best shown is the one stored.
        if (saver->storedKnown && saver->queued == 0 && saver->saving == 0) {
            if (!unreadable) shown = saver->stored;
            saver->storedKnown = false;
        }
    }
    Logger::writeHeldRecords(done);
}

bool BestScore::finish(std::chrono::milliseconds limit) {
    std::unique_lock lock(saver->mutex);
    if (!saver->worker.joinable()) return true;
    saver->stopping = true;
    saver->wake.notify_one();
    const bool saved = saver->idle.wait_for(lock, limit, [&] { return saver->queued == 0 && saver->saving == 0; });
    const std::int64_t unsaved = std::max(saver->queued, saver->saving);
    lock.unlock();
    if (saved) {
        saver->worker.join();
    } else {
        // The worker keeps its own hold on what it shares; the process's end
        // ends it.
        saver->worker.detach();
    }
    collect();
    if (!saved) {
        Logger::error("game/bestscore", __LINE__,
                      "Best score %lld not saved: the store did not answer within %g s (another game holds its "
                      "lock, or the disk stalls)",
                      static_cast<long long>(unsaved), static_cast<double>(limit.count()) / 1000.0);
    }
    return saved;
}
