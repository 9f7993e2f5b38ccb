#pragma once
// The title screen: the game's name, the best score, START and EXIT.

#include <cstdint>
#include <memory>

class BestScore;
class Stars;

class Menu {
public:
    // Shows the best score it is given.
    explicit Menu(const BestScore& best);
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;
    // 0 stay, 1 START chosen, 2 EXIT chosen (or Back).
    int update();
    void render();

    std::int32_t selection = 0;  // 0 START, 1 EXIT; kept between visits
    std::unique_ptr<Stars> stars;

private:
    const BestScore& best;
};
