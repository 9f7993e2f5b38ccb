#include "game/menu.h"

#include <cstdio>

#include <glm/glm.hpp>

#include "game/font.h"
#include "game/stars.h"
#include "orvo3d/opengl.h"

namespace {

constexpr glm::vec3 kBestColor{0.12f, 0.3f, 0.156f};
constexpr glm::vec3 kEntryColor{0.2f, 0.2f, 0.25f};

}  // namespace

Menu::Menu(Font& textFont) : font(textFont) {
    stars = std::make_unique<Stars>();
    selection = 0;
}

Menu::~Menu() = default;

Outcome Menu::update(FrameInput& frame) { return updateMenu(selection, frame.input); }

void Menu::render(const RenderTarget& target, std::int64_t best) {
    clearScreen(target);
    glDisable(GL_DEPTH_TEST);
    stars->render(1.0f, target.width);
    glEnable(GL_DEPTH_TEST);

    font.drawCentered("Vimbrot", 960.0f, 570.0f, 224.0f, kTitleColor);
    char bestText[64];
    std::snprintf(bestText, sizeof bestText, "Best %lld", static_cast<long long>(best));
    font.drawCentered(bestText, 960.0f, 460.0f, 64.0f, kBestColor);
    font.drawCentered("START", 960.0f, 260.0f, 100.0f, selection == 0 ? kSelectedColor : kEntryColor);
    font.drawCentered("EXIT", 960.0f, 120.0f, 100.0f, selection == 1 ? kSelectedColor : kEntryColor);
}
