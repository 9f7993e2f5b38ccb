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

// Size of the shadow pass's depth map, in texels per side.
constexpr int kShadowMapSize = 4096;

// Builds the shadow pass's depth-only framebuffer: a float depth texture with
// nearest filtering, clamped to a border at the farthest depth (so everything
// outside the map is lit), no colour buffer. Leaves the default framebuffer
// bound. Returns false when the framebuffer is incomplete.
bool createShadowMap(unsigned& framebuffer, unsigned& depthTexture);

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
