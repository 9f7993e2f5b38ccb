#pragma once
// The screen after a run: "Game Over", the run's score and the best score.

#include <cstdint>
#include <memory>

#include "game/screen.h"
#include "game/screenrules.h"

class Font;
class Stars;

class GameOver {
public:
    // Writes with `font`.
    explicit GameOver(Font& font);
    ~GameOver();
    GameOver(const GameOver&) = delete;
    GameOver& operator=(const GameOver&) = delete;

    void setScore(std::int64_t value);
    // The screen's rules (updateGameOver) on this frame's input.
    Outcome update(FrameInput& frame);
    // The screen, with the best score it is given beside the run's.
    void render(const RenderTarget& target, std::int64_t best);

    std::int64_t score = 0;
    std::unique_ptr<Stars> stars;

private:
    Font& font;
};
