#include "game/screenmachine.h"

#include "game/bestscore.h"
#include "game/gameloop.h"
#include "game/gameover.h"
#include "game/input.h"
#include "game/menu.h"
#include "orvo3d/log.h"
#include "orvo3d/sound.h"

FrameInput collectFrame(Input& input, ScreenState state, float dt, FrameCommands commands) {
    // A released key stays a tap for a few game updates: taps age only
    // while a run is being stepped.
    if (state == ScreenState::Playing) input.tick();
    return {input.snapshot(), dt, commands};
}

ScreenMachine::ScreenMachine(ScreenServices screenServices, PlateRenderer& plates, Font& font,
                             StaticModelPreloads* models)
    : services(screenServices) {
    game = std::make_unique<Game>(plates, font, services.best.value(), models);
    menu = std::make_unique<Menu>(font);
    gameOver = std::make_unique<GameOver>(font);
}

ScreenMachine::~ScreenMachine() = default;

Outcome ScreenMachine::frame(FrameInput& frame, const RenderTarget& target) {
    const ScreenState shown = state;
    Outcome outcome;
    switch (shown) {
        case ScreenState::Playing: outcome = game->update(frame); break;
        case ScreenState::GameOver: outcome = gameOver->update(frame); break;
        case ScreenState::Menu: outcome = menu->update(frame); break;
    }
    services.input.dropTaken(frame.input);
    carryOut(outcome);
    render(shown, target);
    return outcome;
}

void ScreenMachine::interrupt() {
    if (state == ScreenState::Playing) game->paused = true;
}

void ScreenMachine::carryOut(const Outcome& outcome) {
    for (const Effect& effect : outcome.effects) {
        switch (effect.kind) {
            case Effect::Kind::PlaySound: services.sound.get().play(effect.sound); break;
            case Effect::Kind::ClearLog: Logger::clear(); break;
            case Effect::Kind::OfferScore:
                // The HUD of the run's last frame shows the best before it.
                game->player->best = services.best.offer(effect.score);
                break;
            case Effect::Kind::StartAfresh: services.input.startAfresh(effect.action); break;
        }
    }
    if (outcome.newRun) game->reset(services.best.value());
    if (state == ScreenState::Playing && outcome.next == ScreenState::GameOver) gameOver->setScore(game->score());
    state = outcome.next;
}

void ScreenMachine::render(ScreenState shown, const RenderTarget& target) {
    switch (shown) {
        case ScreenState::Playing: game->render(target); break;
        case ScreenState::GameOver: gameOver->render(target, services.best.value()); break;
        case ScreenState::Menu: menu->render(target, services.best.value()); break;
    }
}
