#pragma once
// The process's window and frame pacing.

#include <cstdint>

struct GLFWwindow;
class Input;
class UnmappedPads;

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
// sized by the monitor rule (or `size` when given), with its icon; gives the
// size it has in `size`, makes the context current and sets the initial GL
// state. GLFW must be initialised.
// A window that is to start fullscreen is left hidden: DisplayMode shows it
// on its monitor, so it is never seen as a window first.
// Returns null when the window or its 4.3 core context cannot be had.
GLFWwindow* openGameWindow(WindowSize& size, bool fullscreen = false);

// Waits until 1/60 s + 1 ms have passed since frameStart, polling events
// between 1 ms sleeps (the first pass does not sleep), then reads the
// gamepads into `input` (naming the unmapped ones through `pads`). Sets quit
// when the window's close flag is seen. Returns the elapsed seconds.
double waitForFrame(GLFWwindow* window, double frameStart, bool& quit, Input& input, UnmappedPads& pads);

// The step for a frame that took `elapsed` seconds: at most 1/30 s.
float frameStep(double elapsed);

// Sets the window icon from the embedded "data/icon.png". A missing or bad
// icon only costs the icon.
void setWindowIcon(GLFWwindow* window);
