#pragma once
// What every screen shares: the picture it draws into, the sky colour a
// screen starts from, the title and selection colours of its texts, and the
// screen-filling rectangle.

#include <glm/glm.hpp>

// The colour behind every screen and behind the game's main pass.
constexpr glm::vec3 kSkyColor{0.58f, 0.67f, 0.83f};

// The titles' green ("Vimbrot", "Game Over", "Paused") and the highlighted
// entry's blue (START or EXIT, RESUME).
constexpr glm::vec3 kTitleColor{0.2f, 0.5f, 0.26f};
constexpr glm::vec3 kSelectedColor{0.5f, 0.5f, 0.75f};

// The screen-filling rectangle the star field and the pause veil both draw:
// two counter-clockwise triangles straight in clip space, each vertex a
// position (x, y, z) then a texture coordinate (u, v, w).
inline constexpr float kScreenQuad[6][6] = {
    {-1, 1, 0, 0, 1, 0}, {-1, -1, 0, 0, 0, 0}, {1, 1, 0, 1, 1, 0},
    {1, -1, 0, 1, 0, 0}, {1, 1, 0, 1, 1, 0},   {-1, -1, 0, 0, 0, 0},
};

// The picture a frame is drawn into: the window's own framebuffer (0), or
// in fullscreen the offscreen target the picture is scaled from; either way
// of the window's size in pixels.
struct RenderTarget {
    unsigned int framebuffer = 0;
    int width = 1280;
    int height = 720;
};

// Starts a screen: the target's framebuffer bound, its colour cleared to
// `color` and its depth cleared.
void clearScreen(const RenderTarget& target, glm::vec3 color = kSkyColor);
