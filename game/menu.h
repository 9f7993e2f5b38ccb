#pragma once
// The title screen: the game's name, the best score, START and EXIT.

#include <cstdint>

class Stars;

class Menu {
public:
    Menu();
    // 0 stay, 1 START chosen, 2 EXIT chosen (or Back).
    int update();
    void render();

    std::int32_t selection = 0;  // 0 START, 1 EXIT; kept between visits
    Stars* stars = nullptr;
};
