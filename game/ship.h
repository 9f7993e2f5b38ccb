#pragma once
// The player's ship on screen: its model drawn where the simulation put it,
// and the score texts.

#include <memory>

#include "game/camera.h"

class Player;
class StaticModel;

class ShipView {
public:
    ShipView();  // loads the ship model "data/ship"
    explicit ShipView(std::unique_ptr<StaticModel> shipModel);
    ~ShipView();
    ShipView(const ShipView&) = delete;
    ShipView& operator=(const ShipView&) = delete;

    // The ship in either pass; the score texts in the main pass.
    void render(const Player& player, const RenderContext& context) const;

    std::unique_ptr<StaticModel> model;
};
