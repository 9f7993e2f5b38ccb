#pragma once
// The title screen: the game's name, the best score, START and EXIT.

#include <cstdint>
#include <memory>

#include "game/screen.h"
#include "game/screenrules.h"

class Font;
class Stars;

class Menu {
public:
    // Writes with `font`.
    explicit Menu(Font& font);
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    // The menu's rules (updateMenu) on this frame's input.
    Outcome update(FrameInput& frame);
    // The screen, with the best score it is given.
    void render(const RenderTarget& target, std::int64_t best);

    std::int32_t selection = 0;  // 0 START, 1 EXIT; kept between visits
    std::unique_ptr<Stars> stars;

private:
    Font& font;
};
