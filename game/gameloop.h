#pragma once
// The running game and its render passes.

#include <cstdint>
#include <memory>

#include <glm/glm.hpp>

#include "game/camera.h"
#include "game/screen.h"
#include "game/screenrules.h"
#include "orvo3d/opengl.h"
#include "orvo3d/staticmodel.h"
#include "sim/player.h"

// ---- Render passes ---------------------------------------------------------

// Size of the shadow pass's depth map, in texels per side.
constexpr int kShadowMapSize = 4096;

// Builds the shadow pass's depth-only framebuffer: a float depth texture with
// nearest filtering, clamped to a border at the farthest depth (so everything
// outside the map is lit), no colour buffer. Leaves the window's framebuffer
// bound. Returns false when the framebuffer is incomplete.
bool createShadowMap(GlFramebuffer& framebuffer, GlTexture& depthTexture);

// Starts the shadow pass: front faces culled (only the back faces seen from
// the light are written), the depth map as target and cleared. Casters then
// draw themselves with the context it returns.
RenderContext setUpShadowPass(GLuint shadowFramebuffer);

// Starts the main pass: the whole target, cleared to clearColor, the depth
// map on texture unit 0 for the depthMap samplers, back faces culled. Returns
// the context to draw the pass with.
RenderContext setUpMainPass(const RenderTarget& target, GLuint shadowDepthTexture, glm::vec3 clearColor = kSkyColor);

// ---- Game ------------------------------------------------------------------

class Font;
class PlateRenderer;
class Road;
class TrackView;
class ShipView;
class Stars;
class Pause;

// The running game: the run's road and ship, and their look (track, ship,
// background, pause overlay and the shadow map shared by everything that
// casts or receives shadows).
class Game {
public:
    // Builds the looks (the plates drawn with `plates`, the texts written
    // with `font`, the ship taken from `models` when it holds it) and a
    // first run whose HUD shows `best`. Throws Orvo3D::LoggedException.
    Game(PlateRenderer& plates, Font& font, std::int64_t best, StaticModelPreloads* models = nullptr);
    ~Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // Starts a new run on the same road: a new road whose update count goes
    // on from the last one's, the player reset with `best`, unpaused.
    void reset(std::int64_t best);
    // The playing screen's rules on this frame: a step (stepGame) with the
    // frame's snapshot, answered by answerEvents.
    Outcome update(FrameInput& frame);
    // One step of the game with this step's input (stepGame): plays nothing
    // and stores nothing; it tells what happened.
    Events step(float dt, InputSnapshot& input);
    // Shadow pass into the depth map, then the main pass into the target.
    void render(const RenderTarget& target);
    std::int64_t score() const;

    std::unique_ptr<Road> road;
    std::unique_ptr<Player> player;
    std::unique_ptr<TrackView> track;
    std::unique_ptr<ShipView> ship;
    std::unique_ptr<Stars> stars;
    std::unique_ptr<Pause> pause;
    bool paused = false;
    GlFramebuffer shadowFramebuffer;
    GlTexture shadowDepthTexture;
};
