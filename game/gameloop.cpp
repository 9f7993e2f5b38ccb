#include "game/gameloop.h"

#include "game/pause.h"
#include "game/ship.h"
#include "game/stars.h"
#include "game/track.h"
#include "sim/road.h"
#include "orvo3d/log.h"
#include "orvo3d/opengl.h"

// Render passes.

bool createShadowMap(GlFramebuffer& framebuffer, GlTexture& depthTexture) {
    framebuffer = createGlObject<GlFramebufferKind>();
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer.get());
    depthTexture = createGlObject<GlTextureKind>();
    glBindTexture(GL_TEXTURE_2D, depthTexture.get());
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, kShadowMapSize, kShadowMapSize, 0, GL_DEPTH_COMPONENT,
                 GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_BORDER);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_BORDER);
    const float border[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, border);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depthTexture.get(), 0);
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    return complete;
}

RenderContext setUpShadowPass(GLuint shadowFramebuffer) {
    glCullFace(GL_FRONT);
    glViewport(0, 0, kShadowMapSize, kShadowMapSize);
    glBindFramebuffer(GL_FRAMEBUFFER, shadowFramebuffer);
    glClear(GL_DEPTH_BUFFER_BIT);
    return renderContext(RenderPass::Shadow);
}

RenderContext setUpMainPass(const RenderTarget& target, GLuint shadowDepthTexture, glm::vec3 clearColor) {
    glViewport(0, 0, target.width, target.height);
    clearScreen(target, clearColor);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, shadowDepthTexture);
    glCullFace(GL_BACK);
    return renderContext(RenderPass::Main);
}

// The game.

Game::Game(PlateRenderer& plates, Font& font, std::int64_t best, StaticModelPreloads* models) {
    stars = std::make_unique<Stars>();
    pause = std::make_unique<Pause>(font);

    if (!createShadowMap(shadowFramebuffer, shadowDepthTexture)) {
        Logger::error("game/gameloop", __LINE__, "Failed to setup framebuffer");
    }

    ship = std::make_unique<ShipView>(font, models);
    player = std::make_unique<Player>(best);
    track = std::make_unique<TrackView>(plates);
    reset(best);
}

Game::~Game() = default;

void Game::reset(std::int64_t best) {
    // Every new road seeds its own generator alike: every run meets the same
    // road. The update count goes on from the last road's, so the road's
    // generation keeps its place in its cycle across runs.
    road = std::make_unique<Road>(kTrackSeed, road ? road->updateCount : 0);
    player->reset(best);
    paused = false;
}

Outcome Game::update(FrameInput& frame) { return answerEvents(step(frame.dt, frame.input)); }

Events Game::step(float dt, InputSnapshot& input) { return stepGame(dt, input, paused, *player, *road); }

void Game::render(const RenderTarget& target) {
    const RenderContext shadowPass = setUpShadowPass(shadowFramebuffer.get());
    track->render(*road, shadowPass);
    ship->render(*player, shadowPass);

    const RenderContext mainPass = setUpMainPass(target, shadowDepthTexture.get());
    glDisable(GL_DEPTH_TEST);
    stars->render(1.0f, target.width);
    glEnable(GL_DEPTH_TEST);
    track->render(*road, mainPass);
    ship->render(*player, mainPass);

    if (paused) {
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        pause->render();
        glEnable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
    }
}

std::int64_t Game::score() const { return player->score(); }
