#pragma once
// The process's window, frame pacing and screen state machine.

#include <cstdint>

struct GLFWwindow;

enum class ScreenState : int { Menu = 0, GameOver = 1, Playing = 2 };

// Window size in pixels, written once at start-up, read by the renderers.
extern int windowWidth;
extern int windowHeight;

struct WindowSize {
    int width;
    int height;
};

// 1920 x 1080 on a monitor at least 1920 wide and more than 1080 high,
// 1280 x 720 otherwise.
WindowSize chooseWindowSize(int monitorWidth, int monitorHeight);

// Depth test, back-face culling and the full-window viewport.
void setInitialGlState(int width, int height);

// The game's context: OpenGL 4.3 core, forward-compatible, 4x multisampling,
// a window of fixed size.
void setContextHints();

// Opens the game's window titled "Vimbrot", centred on the primary monitor,
// sized by the monitor rule (or `size` when given), with its icon; stores the
// size in windowWidth/windowHeight, makes the context current and sets the
// initial GL state. GLFW must be initialised.
// A window that is to start fullscreen is left hidden: DisplayMode shows it
// on its monitor, so it is never seen as a window first.
// Returns null when the window or its 4.3 core context cannot be had.
GLFWwindow* openGameWindow(WindowSize size = {0, 0}, bool fullscreen = false);

// Waits until 1/60 s + 1 ms have passed since frameStart, polling events
// between 1 ms sleeps (the first pass does not sleep), then reads the
// gamepads. Sets quit when the window's close flag is seen. Returns the
// elapsed seconds.
double waitForFrame(GLFWwindow* window, double frameStart, bool& quit);

// The step for a frame that took `elapsed` seconds: at most 1/30 s.
float frameStep(double elapsed);

// One frame of the screen machine: update and draw exactly one screen and
// decide the next state from its update's result. Sets quit on EXIT.
template <class GameT, class MenuT, class GameOverT>
ScreenState runScreens(ScreenState state, float dt, GameT& game, MenuT& menu, GameOverT& gameOver, bool& quit) {
    switch (state) {
        case ScreenState::Playing:
            if (!game.update(dt)) {
                gameOver.setScore(game.score());
                gameOver.takeOver();
                state = ScreenState::GameOver;
            }
            game.render();  // the frame in which the run ended is still the game's
            break;
        case ScreenState::GameOver:
            if (!gameOver.update()) state = ScreenState::Menu;
            gameOver.render();
            break;
        case ScreenState::Menu: {
            int choice = menu.update();
            if (choice == 1) {
                game.reset();
                state = ScreenState::Playing;
            } else if (choice == 2) {
                quit = true;
            }
            menu.render();
            break;
        }
    }
    return state;
}

// A run in progress pauses, exactly as the pause action does, when the
// window has lost the focus or been iconified since the last frame; the
// menu and the game-over screen let the loss pass.
template <class GameT>
void pauseOnInterruption(ScreenState state, bool interrupted, GameT& game) {
    if (interrupted && state == ScreenState::Playing) game.paused = true;
}

// Sets the window icon from the embedded "data/icon.png". A missing or bad
// icon only costs the icon.
void setWindowIcon(GLFWwindow* window);
