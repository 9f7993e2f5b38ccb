#pragma once
// The player's ship on screen: its model drawn where the simulation put it,
// and the score texts.

#include <memory>

#include "game/camera.h"

#include "orvo3d/staticmodel.h"

class Font;
class Player;

class ShipView {
public:
    // Loads the ship model "data/ship" (from `preloads` when it holds it);
    // the score texts are written with `font`.
    ShipView(Font& font, StaticModelPreloads* preloads = nullptr);
    ShipView(Font& font, std::unique_ptr<StaticModel> shipModel);
    ~ShipView();
    ShipView(const ShipView&) = delete;
    ShipView& operator=(const ShipView&) = delete;

    // The ship in either pass; the score texts in the main pass.
    void render(const Player& player, const RenderContext& context) const;

    std::unique_ptr<StaticModel> model;

private:
    Font& font;
};
