#include "game/screenrules.h"

#include "sim/road.h"

namespace {

constexpr Action kGameOverLeaves[] = {Action::Back, Action::PadBack, Action::PadStart, Action::Jump};

Effect startAfresh(Action a) { return {Effect::Kind::StartAfresh, nullptr, 0, a}; }

}  // namespace

Outcome updateMenu(std::int32_t& selection, InputSnapshot& input) {
    Outcome outcome;
    outcome.next = ScreenState::Menu;
    if (input.takeTap(Action::Back)) {
        outcome.quit = true;
        return outcome;
    }
    input.takeTap(Action::PadBack);
    input.takeTap(Action::PadStart);
    if (input.takeTap(Action::Down)) {
        outcome.effects.push_back(Effect::play(kMenuMoveSound));
        ++selection;
    }
    if (input.takeTap(Action::Up)) {
        outcome.effects.push_back(Effect::play(kMenuMoveSound));
        --selection;
    }
    if (input.takeTap(Action::ClearLog)) outcome.effects.push_back({Effect::Kind::ClearLog});
    if (selection < 0) selection = 0;
    if (selection > 1) selection = 1;
    if (input.takeTap(Action::Jump)) {
        if (selection == 0) {
            outcome.effects.push_back(Effect::play(kSelectSound));
            outcome.next = ScreenState::Playing;
            outcome.newRun = true;
        } else {
            outcome.quit = true;
        }
    }
    return outcome;
}

Outcome updateGameOver(InputSnapshot& input) {
    Outcome outcome;
    outcome.next = ScreenState::GameOver;
    // Jump is only looked at without a Back tap, so it may stay pending.
    if (input.takeTap(Action::Back) || input.takeTap(Action::PadBack) || input.takeTap(Action::PadStart) ||
        input.takeTap(Action::Jump)) {
        outcome.effects.push_back(Effect::play(kSelectSound));
        outcome.next = ScreenState::Menu;
    }
    return outcome;
}

bool pauseResumes(InputSnapshot& input) {
    const bool jump = input.takeTap(Action::Jump);
    const bool start = input.takeTap(Action::PadStart);
    return jump || start;
}

Events stepGame(float dt, InputSnapshot& input, bool& paused, Player& player, Road& road) {
    // Start pauses a run, and resumes a paused one through the pause's
    // rule, so it is not taken here while paused.
    if (input.takeTap(Action::Back) || input.takeTap(Action::PadBack) ||
        (!paused && input.takeTap(Action::PadStart))) {
        paused = true;
    }
    if (paused) {
        if (!pauseResumes(input)) return {};
        paused = false;
        return {{EventKind::Resumed}};
    }
    return stepRun(dt, input, player, road);
}

Outcome answerEvents(const Events& events) {
    Outcome outcome;
    outcome.next = ScreenState::Playing;
    for (const Event& event : events) {
        switch (event.kind) {
            case EventKind::Jumped: outcome.effects.push_back(Effect::play("data/jump.wav")); break;
            case EventKind::Crashed:
            case EventKind::Lost: outcome.effects.push_back(Effect::play("data/crash.wav")); break;
            case EventKind::FellOff: outcome.effects.push_back(Effect::play("data/falloff.wav")); break;
            case EventKind::Resumed: outcome.effects.push_back(Effect::play(kSelectSound)); break;
            case EventKind::RunEnded:
                outcome.effects.push_back({Effect::Kind::OfferScore, nullptr, event.score});
                break;
            case EventKind::Landed: break;
        }
    }
    if (runEnded(events)) {
        // A jump held or tapped at the end of a run is the player's last try
        // to stay on the road, not a wish to skip the score.
        for (Action a : kGameOverLeaves) outcome.effects.push_back(startAfresh(a));
        outcome.next = ScreenState::GameOver;
    }
    return outcome;
}
