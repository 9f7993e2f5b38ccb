#pragma once
// The screen after a run: "Game Over", the run's score and the best score.

#include <cstdint>
#include <memory>

class BestScore;
class Stars;

class GameOver {
public:
    // Shows the best score it is given beside the run's.
    explicit GameOver(const BestScore& best);
    ~GameOver();
    GameOver(const GameOver&) = delete;
    GameOver& operator=(const GameOver&) = delete;
    void setScore(std::int64_t value);
    // The screen takes over from a run: a Jump or Back (or pad Back or
    // Start) press that began during the run never leaves it. Their pending
    // taps are dropped, and a key still down counts once pressed again.
    void takeOver();
    // false: leave for the menu (a Back or Jump tap).
    bool update();
    void render();

    std::int64_t score = 0;
    std::unique_ptr<Stars> stars;

private:
    const BestScore& best;
};
