#pragma once
// The window or borderless fullscreen. F11 and Alt+Enter ask for a switch
// (a frame command); it is made between frames, on the monitor that
// holds the window's centre (the application remembers the mode a frame
// ends up in, in the settings). Fullscreen
// keeps the monitor's own video mode and draws through the Presenter; the
// window is drawn into directly, as it always was.

#include <memory>
#include <vector>

#include "game/mainloop.h"
#include "game/screen.h"

struct GLFWwindow;
class Presenter;

// A monitor's area on the desktop, in screen coordinates.
struct MonitorArea {
    int x;
    int y;
    int width;
    int height;
};

// The index of the monitor holding the point, else of the one nearest to
// it; -1 when there is none.
int monitorAt(const std::vector<MonitorArea>& monitors, int x, int y);

class DisplayMode {
public:
    // The window, of `size`, is open with its context current; a window to
    // start in fullscreen is still hidden and is shown on its monitor.
    DisplayMode(GLFWwindow* window, WindowSize size, bool fullscreen);
    ~DisplayMode();
    DisplayMode(const DisplayMode&) = delete;
    DisplayMode& operator=(const DisplayMode&) = delete;

    // Before a frame's screens: switches once for each of the frame's
    // `toggles` (an even number leaves the mode as it was, unswitched), and
    // gives the picture the screens draw into.
    RenderTarget beginFrame(int toggles = 0);
    // After them, before the swap: in fullscreen, puts the picture on the
    // screen. In a window it does nothing.
    void endFrame();

    bool fullscreen() const;
    // Switches to the other mode.
    void toggle();

private:
    void enter();
    void leave();

    GLFWwindow* window;
    WindowSize size;
    std::unique_ptr<Presenter> presenter;
};
