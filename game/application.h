#pragma once
// The running game as one object made in main once GLFW has started: it
// owns GLFW's session, the window and what its callbacks record, the
// services (the key table, the sound, the best score, the settings' writer,
// the plate renderer, the font), the start-up loader and the screens, hands
// each part what it needs, and takes them down in a fixed order (see
// ~Application).

#include <memory>

#include "game/input.h"
#include "game/mainloop.h"
#include "game/padmappings.h"
#include "game/screen.h"
#include "orvo3d/service.h"

struct GLFWwindow;
class BestScore;
class DisplayMode;
class Font;
class PlateRenderer;
class ScreenMachine;
class SettingsWriter;
class Sound;
class StartupLoader;

class Application {
public:
    // Call after glfwInit succeeded: from here on the application ends GLFW.
    // Starts the start-up loader.
    Application();
    // Everything goes while the GL context is still current; see the body.
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Opens the game's window, in it or in fullscreen, and makes its
    // context current. False when the window or its 4.3 core context cannot
    // be had.
    bool openWindow(bool fullscreen);

    // Reads the best score, builds the plate renderer, the font and the
    // screens, and starts the music if it is decoded. Loading every shader,
    // texture and the ship happens here; a failure is logged and thrown
    // (Orvo3D::LoggedException, or the JSON library's exception).
    void buildScreens();

    // The frame loop, until EXIT or the window's close.
    void run();

private:
    // Ends GLFW when it goes, which is last of all.
    struct GlfwSession {
        ~GlfwSession();
    };
    struct WindowDeleter {
        void operator()(GLFWwindow* window) const;
    };

    // Carries out the frame's commands that are no screen's: mute and unmute.
    void carryOut(const FrameCommands& commands);
    // Switches the display mode for the frame's commands; a mode it ends up
    // changed is remembered in the settings.
    RenderTarget beginFrame(const FrameCommands& commands);

    // Declared in the reverse of the order they go in (see ~Application).
    GlfwSession glfw;
    Input input;
    Lazy<Sound> sound;
    // The settings M and F11 change, and a best score, on their way to the
    // disk are kept whatever way the game is left: they go after the window.
    std::unique_ptr<SettingsWriter> settings;
    std::unique_ptr<BestScore> best;
    // What the window's callbacks record between frames: the window's user
    // pointer, so it goes after the window.
    WindowEvents events{input};
    std::unique_ptr<GLFWwindow, WindowDeleter> window;
    WindowSize size{0, 0};
    std::unique_ptr<DisplayMode> display;
    UnmappedPads pads;
    std::unique_ptr<PlateRenderer> plates;
    std::unique_ptr<Font> font;
    std::unique_ptr<StartupLoader> loader;
    std::unique_ptr<ScreenMachine> screens;
};
