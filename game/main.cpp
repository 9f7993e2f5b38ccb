// Process entry: window and context, then the self-paced frame loop.
#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include <cstdio>

#include "game/gameloop.h"
#include "game/gameover.h"
#include "game/input.h"
#include "game/mainloop.h"
#include "game/menu.h"
#include "orvo3d/log.h"
#include "orvo3d/sound.h"

int main() {
    Logger::init(false);
    if (!glfwInit()) {
        std::fputs("vimbrot: cannot start: no display to open a window on (is DISPLAY set?)\n", stderr);
        return 1;
    }
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_SAMPLES, 4);

    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor != nullptr ? glfwGetVideoMode(monitor) : nullptr;
    WindowSize size = mode != nullptr ? chooseWindowSize(mode->width, mode->height) : chooseWindowSize(0, 0);
    windowWidth = size.width;
    windowHeight = size.height;

    glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
    GLFWwindow* window = glfwCreateWindow(windowWidth, windowHeight, "Vimbrot", nullptr, nullptr);
    if (window == nullptr) {
        std::fputs("vimbrot: cannot create a window with an OpenGL 4.3 core context\n", stderr);
        glfwTerminate();
        return 2;
    }
    if (mode != nullptr) {
        int monitorX = 0, monitorY = 0, width = 0, height = 0;
        glfwGetMonitorPos(monitor, &monitorX, &monitorY);
        glfwGetWindowSize(window, &width, &height);
        glfwSetWindowPos(window, monitorX + (mode->width - width) / 2, monitorY + (mode->height - height) / 2);
    }
    setWindowIcon(window);
    glfwMakeContextCurrent(window);
    setInitialGlState(windowWidth, windowHeight);
    Input::instance().attach(window, 3);

    // Loading every shader, texture and the ship happens here; a failure is
    // logged and ends the process.
    Game* game = new Game();
    Menu* menu = new Menu();
    GameOver* gameOver = new GameOver();
    Sound::instance().playMusic("data/music.mp3");

    ScreenState state = ScreenState::Menu;
    bool quit = false;
    double frameStart = 0.0;
    while (true) {
        double elapsed = waitForFrame(window, frameStart, quit);
        frameStart = glfwGetTime();
        state = runScreens(state, frameStep(elapsed), *game, *menu, *gameOver, quit);
        glfwSwapBuffers(window);
        if (quit) break;
    }

    glfwDestroyWindow(window);
    glfwTerminate();
    return 0;
}
