#include "game/gameloop.h"

#include "game/bestscore.h"
#include "game/input.h"
#include "game/mainloop.h"
#include "game/pause.h"
#include "game/ship.h"
#include "game/stars.h"
#include "game/stepevents.h"
#include "game/track.h"
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
    glBindFramebuffer(GL_FRAMEBUFFER, screenFramebuffer());
    return complete;
}

RenderContext setUpShadowPass(GLuint shadowFramebuffer) {
    glCullFace(GL_FRONT);
    glViewport(0, 0, kShadowMapSize, kShadowMapSize);
    glBindFramebuffer(GL_FRAMEBUFFER, shadowFramebuffer);
    glClear(GL_DEPTH_BUFFER_BIT);
    return renderContext(RenderPass::Shadow);
}

RenderContext setUpMainPass(GLuint shadowDepthTexture, glm::vec3 clearColor) {
    glViewport(0, 0, windowWidth, windowHeight);
    clearScreen(clearColor);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, shadowDepthTexture);
    glCullFace(GL_BACK);
    return renderContext(RenderPass::Main);
}

// The game.

Game::Game(BestScore& bestScore) : best(bestScore) {
    stars = std::make_unique<Stars>();
    pause = std::make_unique<Pause>();

    if (!createShadowMap(shadowFramebuffer, shadowDepthTexture)) {
        Logger::error("game/gameloop", __LINE__, "Failed to setup framebuffer");
    }

    ship = std::make_unique<ShipView>();
    player = std::make_unique<Player>(best.value());
    reset();
}

Game::~Game() = default;

void Game::reset() {
    // Every new track seeds its own generator alike: every run meets the
    // same road. It is built before the old one goes, so a failure leaves the
    // game as it was. The update count goes on from the last road's, so the
    // road's generation keeps its place in its cycle across runs.
    track = std::make_unique<Track>(kTrackSeed, track ? track->updateCount : 0);
    player->reset(best.value());
    paused = false;
}

bool Game::update(float dt) {
    Input& input = Input::instance();
    input.tick();
    InputSnapshot snapshot = input.snapshot();
    const Events events = step(dt, snapshot);
    input.dropTaken(snapshot);
    answerEvents(events, *player, best);
    return !runEnded(events);
}

Events Game::step(float dt, InputSnapshot& input) {
    // Start pauses a run, and resumes a paused one through the pause's
    // update, so it is not taken here while paused.
    if (input.takeTap(Action::Back) || input.takeTap(Action::PadBack) ||
        (!paused && input.takeTap(Action::PadStart))) {
        paused = true;
    }
    if (paused) {
        if (!pause->update(input)) return {};
        paused = false;
        return {{EventKind::Resumed}};
    }
    return stepRun(dt, input, *player, *track);
}

void Game::render() {
    const RenderContext shadowPass = setUpShadowPass(shadowFramebuffer.get());
    track->render(shadowPass);
    ship->render(*player, shadowPass);

    const RenderContext mainPass = setUpMainPass(shadowDepthTexture.get());
    glDisable(GL_DEPTH_TEST);
    stars->render(1.0f);
    glEnable(GL_DEPTH_TEST);
    track->render(mainPass);
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
