#include "game/bestscore.h"

#include <exception>

#include "orvo3d/log.h"
#include "orvo3d/preload.h"

BestScore::BestScore() { shown = HighScore::load(report, unreadable); }

BestScore::~BestScore() {
    // A destructor must not throw; a failed save is already a record.
    try {
        finish();
    } catch (...) {
    }
}

std::int64_t BestScore::offer(std::int64_t score) {
    collect(true);
    const std::int64_t before = shown;
    if (score <= before) return before;
    pendingScore = score;
    // A value that cannot be read is kept by the save (which says so): the
    // best shown stays what it was.
    if (!unreadable) shown = score;
    pending = std::make_unique<Preloaded<std::int64_t>>(
        [this, score] { return HighScore::saveIfGreater(score, report); });
    return before;
}

void BestScore::collect() { collect(false); }

void BestScore::finish() { collect(true); }

void BestScore::collect(bool wait) {
    if (!pending || (!wait && !pending->ready())) return;
    std::unique_ptr<Preloaded<std::int64_t>> save = std::move(pending);
    try {
        save->take();
    } catch (const std::exception& error) {
        Logger::error("game/bestscore", __LINE__, "Failed to save the best score %lld: %s",
                      static_cast<long long>(pendingScore), error.what());
    }
}
