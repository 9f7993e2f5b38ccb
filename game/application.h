#pragma once
// The running game as one object made in main once GLFW has started: it
// owns GLFW's session, the window, the services the screens reach through
// their instance() accessors, the start-up loader and the three screens,
// and takes them down in a fixed order (see ~Application).

#include <memory>

#include "orvo3d/service.h"

struct GLFWwindow;
class Font;
class Game;
class GameOver;
class Input;
class Menu;
class PlateRenderer;
class Sound;
class WindowEvents;
class StartupLoader;

class DisplayMode;

class BestScore;

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

    // Builds the Game, the Menu and the GameOver screen, in that order, and
    // starts the music if it is decoded. Loading every shader, texture and
    // the ship happens here; a failure is logged and thrown
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

    // Declared in the reverse of the order they go in (see ~Application).
    GlfwSession glfw;
    // Goes after the window: a best score on its way to the disk is saved
    // whatever way the game is left.
    std::unique_ptr<BestScore> best;
    ServiceOwner<Input> input;
    ServiceOwner<Sound> sound;
    // What the window's callbacks record between frames: the window's user
    // pointer, so it goes after the window.
    std::unique_ptr<WindowEvents> events;
    std::unique_ptr<GLFWwindow, WindowDeleter> window;
    std::unique_ptr<DisplayMode> display;
    ServiceOwner<PlateRenderer> plates;
    ServiceOwner<Font> font;
    std::unique_ptr<StartupLoader> loader;
    std::unique_ptr<Game> game;
    std::unique_ptr<Menu> menu;
    std::unique_ptr<GameOver> gameOver;
};
