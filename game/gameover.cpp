#include "game/gameover.h"

#include <cstdio>

#include <glm/glm.hpp>

#include "game/font.h"
#include "game/stars.h"
#include "orvo3d/opengl.h"

namespace {

constexpr glm::vec3 kLabelColor{0.16f, 0.4f, 0.208f};
constexpr glm::vec3 kScoreColor{0.12f, 0.3f, 0.156f};

}  // namespace

GameOver::GameOver(Font& textFont) : font(textFont) {
    stars = std::make_unique<Stars>();
    score = 0;
}

GameOver::~GameOver() = default;

void GameOver::setScore(std::int64_t value) { score = value; }

Outcome GameOver::update(FrameInput& frame) { return updateGameOver(frame.input); }

void GameOver::render(const RenderTarget& target, std::int64_t best) {
    clearScreen(target);
    glDisable(GL_DEPTH_TEST);
    stars->render(0.0f, target.width);  // red stars
    glEnable(GL_DEPTH_TEST);

    char text[32];
    font.drawCentered("Game Over", 960.0f, 570.0f, 200.0f, kTitleColor);
    font.drawCentered("Score", 960.0f, 420.0f, 72.0f, kLabelColor);
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(score));
    font.drawCentered(text, 960.0f, 300.0f, 100.0f, kScoreColor);
    font.drawCentered("Best", 960.0f, 180.0f, 64.0f, kLabelColor);
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(best));
    // Bright when this run set or equalled the best.
    const float brightness = best == score ? 1.75f : 0.6f;
    font.drawCentered(text, 960.0f, 110.0f, 48.0f, kTitleColor * brightness);
}
