#pragma once
// The screen's answer to what a game step reports: the sounds, and at the
// end of a run the best-score save.

#include "sim/player.h"

class BestScore;

// Plays each event's sound in order; the end of a run offers its score to
// the best (which saves a greater one off the frame loop) and gives
// player.best the best before it.
void answerEvents(const Events& events, Player& player, BestScore& best);
