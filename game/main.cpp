// Process entry: window and context, then the self-paced frame loop.
#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include <cstdio>

#include "game/input.h"
#include "game/mainloop.h"
#include "orvo3d/log.h"

namespace {

// Stand-ins until the real screens land: a blank menu that only quits.
struct BlankGame {
    bool update(float) { return false; }
    void render() {}
    void reset() {}
    long long score() { return 0; }
};
struct BlankMenu {
    int update() { return Input::instance().consumeTap(Action::Back) ? 2 : 0; }
    void render() {
        glClearColor(0.58f, 0.67f, 0.83f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
};
struct BlankGameOver {
    void setScore(long long) {}
    bool update() { return false; }
    void render() {}
};

}  // namespace

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
    glfwMakeContextCurrent(window);
    setInitialGlState(windowWidth, windowHeight);
    Input::instance().attach(window, 3);

    BlankGame* game = new BlankGame();
    BlankMenu* menu = new BlankMenu();
    BlankGameOver* gameOver = new BlankGameOver();

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
