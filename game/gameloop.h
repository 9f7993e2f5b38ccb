#pragma once
// The fixed camera and light shared by every 3D renderer, and the flag that
// marks the shadow pass.

#include <glm/glm.hpp>

void beginShadowPass();
void endShadowPass();
bool isShadowPass();

glm::vec3 cameraPosition();
glm::vec3 lightPosition();

// For the pass being drawn: the shadow camera inside the shadow pass, the
// main camera otherwise.
glm::mat4 viewMatrix();
glm::mat4 projectionMatrix();

// The shadow camera's projection times its view, in either pass.
glm::mat4 lightSpaceMatrix();

#include <cstdint>

class Track;
class Player;
class Stars;
class Pause;

// The running game: track, ship, background, pause overlay and the shadow
// map shared by everything that casts or receives shadows.
class Game {
public:
    Game();
    // Starts a new run on the same road: reseed, new track, player reset.
    void reset();
    // One step; false when the run has ended.
    bool update(float dt);
    // Shadow pass into the depth map, then the main pass to the window.
    void render();
    std::int64_t score() const;

    Track* track = nullptr;
    Player* player = nullptr;
    Stars* stars = nullptr;
    Pause* pause = nullptr;
    bool paused = false;
    std::uint32_t shadowFramebuffer = 0;
    std::uint32_t shadowDepthTexture = 0;
};
