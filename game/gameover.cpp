#include "game/gameover.h"

#include <cstdio>

#include <glm/glm.hpp>

#include "game/font.h"
#include "game/bestscore.h"
#include "game/input.h"
#include "game/screen.h"
#include "game/stars.h"
#include "orvo3d/opengl.h"
#include "orvo3d/sound.h"

namespace {

constexpr glm::vec3 kLabelColor{0.16f, 0.4f, 0.208f};
constexpr glm::vec3 kScoreColor{0.12f, 0.3f, 0.156f};

}  // namespace

GameOver::GameOver(const BestScore& bestScore) : best(bestScore) {
    stars = std::make_unique<Stars>();
    score = 0;
}

GameOver::~GameOver() = default;

void GameOver::setScore(std::int64_t value) { score = value; }

void GameOver::takeOver() {
    // A jump held or tapped at the end of a run is the player's last try to
    // stay on the road, not a wish to skip the score.
    Input& input = Input::instance();
    for (Action a : {Action::Back, Action::PadBack, Action::PadStart, Action::Jump}) input.startAfresh(a);
}

bool GameOver::update() {
    Input& input = Input::instance();
    // Jump is only looked at without a Back tap, so it may stay pending.
    if (input.consumeTap(Action::Back) || input.consumeTap(Action::PadBack) || input.consumeTap(Action::PadStart) ||
        input.consumeTap(Action::Jump)) {
        Sound::instance().play("data/select.wav");
        return false;
    }
    return true;
}

void GameOver::render() {
    clearScreen();
    glDisable(GL_DEPTH_TEST);
    stars->render(0.0f);  // red stars
    glEnable(GL_DEPTH_TEST);

    Font& font = Font::instance();
    char text[32];
    font.drawCentered("Game Over", 960.0f, 570.0f, 200.0f, kTitleColor);
    font.drawCentered("Score", 960.0f, 420.0f, 72.0f, kLabelColor);
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(score));
    font.drawCentered(text, 960.0f, 300.0f, 100.0f, kScoreColor);
    font.drawCentered("Best", 960.0f, 180.0f, 64.0f, kLabelColor);
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(best.value()));
    // Bright when this run set or equalled the best.
    const float brightness = best.value() == score ? 1.75f : 0.6f;
    font.drawCentered(text, 960.0f, 110.0f, 48.0f, kTitleColor * brightness);
}
