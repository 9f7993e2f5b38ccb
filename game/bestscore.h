#pragma once
// The best score as the game keeps it: read from the store once, shown from
// memory, and saved off the frame loop when a run beats it, so that no frame
// ever waits for the disk or for another game's lock.

#include <cstdint>
#include <memory>

#include "game/highscore.h"

template <class T>
class Preloaded;

class BestScore {
public:
    // Reads the stored best; a value that cannot be read is reported here.
    BestScore();
    // Waits for a save on its way and writes its records, on every way out.
    ~BestScore();
    BestScore(const BestScore&) = delete;
    BestScore& operator=(const BestScore&) = delete;

    // The best to show: the stored one, or the score a save is on its way
    // with. A value that cannot be read shows as 0 and is never replaced.
    std::int64_t value() const { return shown; }

    // The end of a run. Returns the best before it; when `score` beats it,
    // the locked compare-and-save starts on a worker and value() shows the
    // new best at once. A save still on its way is finished first, so that
    // saves and their records keep their order.
    std::int64_t offer(std::int64_t score);

    // Writes the records of a save that has finished, as if it had been
    // done here; call once a frame from the thread that runs the screens.
    void collect();
    // Waits for a save on its way, then writes its records.
    void finish();

private:
    void collect(bool wait);

    HighScore::ReadReport report;
    std::int64_t shown = 0;
    bool unreadable = false;
    std::unique_ptr<Preloaded<std::int64_t>> pending;
    std::int64_t pendingScore = 0;
};
