#pragma once
// The running game and its render passes.

#include <cstdint>
#include <memory>

#include <glm/glm.hpp>

#include "game/camera.h"
#include "game/screen.h"
#include "orvo3d/opengl.h"
#include "sim/player.h"

// ---- Render passes ---------------------------------------------------------

// Size of the shadow pass's depth map, in texels per side.
constexpr int kShadowMapSize = 4096;

// Builds the shadow pass's depth-only framebuffer: a float depth texture with
// nearest filtering, clamped to a border at the farthest depth (so everything
// outside the map is lit), no colour buffer. Leaves the default framebuffer
// bound. Returns false when the framebuffer is incomplete.
bool createShadowMap(GlFramebuffer& framebuffer, GlTexture& depthTexture);

// Starts the shadow pass: front faces culled (only the back faces seen from
// the light are written), the depth map as target and cleared. Casters then
// draw themselves with the context it returns.
RenderContext setUpShadowPass(GLuint shadowFramebuffer);

// Starts the main pass: the whole window, cleared to clearColor, the depth
// map on texture unit 0 for the depthMap samplers, back faces culled. Returns
// the context to draw the pass with.
RenderContext setUpMainPass(GLuint shadowDepthTexture, glm::vec3 clearColor = kSkyColor);

// ---- Game ------------------------------------------------------------------

class Track;
class ShipView;
class Stars;
class Pause;
class BestScore;

// The running game: track, ship, background, pause overlay and the shadow
// map shared by everything that casts or receives shadows.
class Game {
public:
    // The best score is read for each run's HUD and offered each run's score.
    explicit Game(BestScore& best);
    ~Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // Starts a new run on the same road: reseed, new track, player reset. A
    // track that fails to build throws and leaves the game as it was.
    void reset();
    // One step as the screen runs it: the key table's snapshot goes to step,
    // the taps it took are dropped, and its events become sounds and the
    // best-score save. False when the run has ended.
    bool update(float dt);
    // One step of the game with this step's input: a Back, PadBack or
    // PadStart tap pauses, a Jump or PadStart tap leaves the pause, otherwise
    // the run goes on. Plays
    // nothing and stores nothing: it tells what happened.
    Events step(float dt, InputSnapshot& input);
    // Shadow pass into the depth map, then the main pass to the window.
    void render();
    std::int64_t score() const;

    std::unique_ptr<Track> track;
    std::unique_ptr<Player> player;
    std::unique_ptr<ShipView> ship;
    std::unique_ptr<Stars> stars;
    std::unique_ptr<Pause> pause;
    bool paused = false;
    GlFramebuffer shadowFramebuffer;
    GlTexture shadowDepthTexture;

private:
    BestScore& best;
};
