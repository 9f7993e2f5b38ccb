#pragma once
// The rules of the screens, apart from their drawing: what each screen makes
// of one frame's input, given back as an outcome (the next screen and what
// the application is to do, in order). Plain C++ on the simulation: no GL,
// GLFW, sound or file, so the rules are tested on their own.

#include <cstdint>
#include <cstring>
#include <vector>

#include "sim/input.h"
#include "sim/player.h"

class Road;

enum class ScreenState : int { Menu = 0, GameOver = 1, Playing = 2 };

// What the player asked of the frame loop between two frames that is no
// action of the key table.
struct FrameCommands {
    // F11 and Alt+Enter presses: each one switches between the window and
    // fullscreen.
    int displayToggles = 0;
    // M presses: each one mutes or unmutes.
    int muteToggles = 0;
    // The window was asked to close.
    bool quit = false;
};

// One frame as the screens see it: the key table's snapshot (the screen
// takes its taps from it), the step's time and the frame's commands.
struct FrameInput {
    InputSnapshot input;
    float dt = 0.0f;
    FrameCommands commands;
};

// One thing a screen asks the application to do.
struct Effect {
    enum class Kind : int {
        PlaySound,    // the effect at `sound`
        ClearLog,     // empty message.log (F12 on the menu)
        OfferScore,   // the run's `score` to the best score
        StartAfresh,  // `action`: a key still down makes no tap on release
    };
    Kind kind;
    const char* sound = nullptr;
    std::int64_t score = 0;
    Action action = Action::Left;

    static Effect play(const char* path) { return {Kind::PlaySound, path}; }
    // Sounds are alike by their names, wherever the text of the name lives.
    bool operator==(const Effect& other) const {
        const bool sameSound = sound == other.sound ||
                               (sound != nullptr && other.sound != nullptr && std::strcmp(sound, other.sound) == 0);
        return kind == other.kind && sameSound && score == other.score && action == other.action;
    }
};

// A screen's answer to a frame: the screen of the next frame, what to do in
// the order asked, and whether the game is to end or a run to begin.
struct Outcome {
    ScreenState next = ScreenState::Menu;
    std::vector<Effect> effects;
    bool quit = false;
    bool newRun = false;
};

// The sounds the screens play.
inline constexpr const char* kMenuMoveSound = "data/menu.wav";
inline constexpr const char* kSelectSound = "data/select.wav";

// The title menu. Back quits; Down and Up move the selection (0 START,
// 1 EXIT, clamped; the move sound plays for every tap, also when the clamp
// undoes it); F12 empties the log; Jump confirms: START begins a run, EXIT
// quits. The pad's Back and Start never quit: their taps are taken and
// dropped, so none is left for the next run.
Outcome updateMenu(std::int32_t& selection, InputSnapshot& input);

// The game-over screen: any of Back, the pad's Back and Start, and Jump
// leaves for the menu with the select sound.
Outcome updateGameOver(InputSnapshot& input);

// The pause: true when a Jump or PadStart tap of this step asks to resume;
// both taps are taken, so that neither is left over to pause again.
bool pauseResumes(InputSnapshot& input);

// One step of the playing screen: a Back, PadBack or PadStart tap pauses; a
// paused run stands still until it resumes (a Resumed event); otherwise the
// run takes a step (stepRun).
Events stepGame(float dt, InputSnapshot& input, bool& paused, Player& player, Road& road);

// The playing screen's answer to a step's events: each event's sound in
// order; at the end of a run its score is offered as the best, and the
// game-over screen takes over with its guard: a Jump, Back or pad press that
// began during the run never leaves it.
Outcome answerEvents(const Events& events);
