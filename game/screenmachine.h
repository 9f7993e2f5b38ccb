#pragma once
// The three screens and which one is on. Each frame exactly one screen takes
// the frame's input and gives back its outcome; the outcome is carried out
// here, the one place where the screens' wishes become sounds, saves and
// log changes; then the same screen draws.

#include <memory>

#include "game/screen.h"
#include "game/screenrules.h"
#include "orvo3d/service.h"
#include "orvo3d/staticmodel.h"

class BestScore;
class Font;
class Game;
class GameOver;
class Input;
class Menu;
class PlateRenderer;
class Sound;

// What the screens' outcomes are carried out with; the application owns
// them and hands them down.
struct ScreenServices {
    Lazy<Sound>& sound;
    BestScore& best;
    Input& input;
};

// The frame's input as the screen in `state` takes it: the key table's
// snapshot, its taps first aged when the frame steps a run.
FrameInput collectFrame(Input& input, ScreenState state, float dt, FrameCommands commands = {});

class ScreenMachine {
public:
    // Builds the Game, the Menu and the GameOver, in that order (see Game
    // for the rest). Throws as they do.
    ScreenMachine(ScreenServices services, PlateRenderer& plates, Font& font, StaticModelPreloads* models = nullptr);
    ~ScreenMachine();
    ScreenMachine(const ScreenMachine&) = delete;
    ScreenMachine& operator=(const ScreenMachine&) = delete;

    // One frame (its input from collectFrame): the screen that is on updates
    // and the taps it took are dropped from the key table; its outcome is
    // carried out (effects in order, a new run, the hand-over to the
    // game-over screen) and the next screen chosen; then the screen that
    // updated draws into `target` (the frame in which a run ends is still
    // the game's). Returns the outcome, which says whether to quit.
    Outcome frame(FrameInput& frame, const RenderTarget& target);

    // A run in progress pauses, exactly as the pause action does, when the
    // window has lost the focus or been iconified since the last frame; the
    // menu and the game-over screen let the loss pass.
    void interrupt();

    ScreenState state = ScreenState::Menu;
    std::unique_ptr<Game> game;
    std::unique_ptr<Menu> menu;
    std::unique_ptr<GameOver> gameOver;

private:
    void carryOut(const Outcome& outcome);
    void render(ScreenState shown, const RenderTarget& target);

    ScreenServices services;
};
