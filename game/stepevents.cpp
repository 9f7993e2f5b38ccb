#include "game/stepevents.h"

#include "game/bestscore.h"
#include "orvo3d/sound.h"

void answerEvents(const Events& events, Player& player, BestScore& best) {
    for (const Event& event : events) {
        switch (event.kind) {
            case EventKind::Jumped: Sound::instance().play("data/jump.wav"); break;
            case EventKind::Crashed:
            case EventKind::Lost: Sound::instance().play("data/crash.wav"); break;
            case EventKind::FellOff: Sound::instance().play("data/falloff.wav"); break;
            case EventKind::Resumed: Sound::instance().play("data/select.wav"); break;
            case EventKind::RunEnded:
                player.best = best.offer(event.score);
                break;
            case EventKind::Landed: break;
        }
    }
}
