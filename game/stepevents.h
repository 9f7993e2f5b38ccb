#pragma once
// The screen's answer to what a game step reports: the sounds, and at the
// end of a run the best-score save.

#include "sim/player.h"

// Plays each event's sound in order; the end of a run reads the stored best
// into player.best and starts saving a greater score (HighScore::finishSave
// waits for it).
void answerEvents(const Events& events, Player& player);
