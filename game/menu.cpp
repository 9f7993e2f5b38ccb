#include "game/menu.h"

#include <cstdio>

#include <glm/glm.hpp>

#include "game/font.h"
#include "game/bestscore.h"
#include "game/input.h"
#include "game/screen.h"
#include "game/stars.h"
#include "orvo3d/log.h"
#include "orvo3d/opengl.h"
#include "orvo3d/sound.h"

namespace {

constexpr glm::vec3 kBestColor{0.12f, 0.3f, 0.156f};
constexpr glm::vec3 kEntryColor{0.2f, 0.2f, 0.25f};

}  // namespace

Menu::Menu(const BestScore& bestScore) : best(bestScore) {
    Font::instance();
    stars = std::make_unique<Stars>();
    selection = 0;
}

Menu::~Menu() = default;

int Menu::update() {
    Input& input = Input::instance();
    if (input.consumeTap(Action::Back)) return 2;
    // The pad's Start and B never quit: leaving takes EXIT and a confirm.
    // Their taps are dropped here so that none is left for the next run.
    input.consumeTap(Action::PadBack);
    input.consumeTap(Action::PadStart);
    // The move sound plays for every tap, also when the clamp undoes it.
    if (input.consumeTap(Action::Down)) {
        Sound::instance().play("data/menu.wav");
        ++selection;
    }
    if (input.consumeTap(Action::Up)) {
        Sound::instance().play("data/menu.wav");
        --selection;
    }
    if (input.consumeTap(Action::ClearLog)) Logger::clear();
    if (selection < 0) selection = 0;
    if (selection > 1) selection = 1;
    if (input.consumeTap(Action::Jump)) {
        if (selection == 0) {
            Sound::instance().play("data/select.wav");
            return 1;
        }
        return 2;
    }
    return 0;
}

void Menu::render() {
    clearScreen();
    glDisable(GL_DEPTH_TEST);
    stars->render(1.0f);
    glEnable(GL_DEPTH_TEST);

    Font& font = Font::instance();
    font.drawCentered("Vimbrot", 960.0f, 570.0f, 224.0f, kTitleColor);
    char bestText[64];
    std::snprintf(bestText, sizeof bestText, "Best %lld", static_cast<long long>(best.value()));
    font.drawCentered(bestText, 960.0f, 460.0f, 64.0f, kBestColor);
    font.drawCentered("START", 960.0f, 260.0f, 100.0f, selection == 0 ? kSelectedColor : kEntryColor);
    font.drawCentered("EXIT", 960.0f, 120.0f, 100.0f, selection == 1 ? kSelectedColor : kEntryColor);
}
