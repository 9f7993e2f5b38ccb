#pragma once
// The best score as the game keeps it: read from the store once, shown from
// memory, and saved by a worker of its own when a run beats it, so that no
// frame ever waits for the disk or for another game's lock.

#include <chrono>
#include <cstdint>
#include <memory>

#include "game/highscore.h"

class BestScore {
public:
    // How long the way out waits for a save on its way.
    static constexpr std::chrono::milliseconds kExitWait{10000};

    // Reads the stored best; a value that cannot be read is reported here.
    BestScore();
    // finish(kExitWait), on every way out.
    ~BestScore();
    BestScore(const BestScore&) = delete;
    BestScore& operator=(const BestScore&) = delete;

    // The best to show: the stored one, or the score a save is on its way
    // with (back to the stored one once the saves are done, so a save that
    // failed shows the old best). A value that cannot be read shows as 0 and
    // is never replaced.
    std::int64_t value() const { return shown; }

    // The end of a run; never waits. Returns the best before it; when
    // `score` beats it, value() shows it at once and it is queued for the
    // worker's locked compare-and-save. Scores queued while the worker is
    // busy (a slow disk, another game's lock) wait for it; the largest wins.
    std::int64_t offer(std::int64_t score);

    // Writes the records of the saves done since the last call, as if they
    // had been done here, and once no save is left shows the best the store
    // holds; call once a frame from the screens' thread.
    void collect();

    // Waits at most `limit` for the saves on their way, then writes their
    // records. A score still unsaved then is one ERROR record naming it (the
    // worker finishes or dies with the process). True when all are saved.
    bool finish(std::chrono::milliseconds limit = kExitWait);

private:
    struct Saver;

    std::int64_t shown = 0;
    bool unreadable = false;
    // Shared with the worker, which may outlive this object after a finish
    // that ran out of time.
    std::shared_ptr<Saver> saver;
};
