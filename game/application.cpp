#include "game/application.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include "game/bestscore.h"
#include "game/displaymode.h"
#include "game/font.h"
#include "game/gameloop.h"
#include "game/gameover.h"
#include "game/input.h"
#include "game/mainloop.h"
#include "game/menu.h"
#include "game/padmappings.h"
#include "game/plate.h"
#include "game/startup.h"
#include "orvo3d/sound.h"

Application::GlfwSession::~GlfwSession() { glfwTerminate(); }

void Application::WindowDeleter::operator()(GLFWwindow* window) const { glfwDestroyWindow(window); }

Application::Application() : font(&Font::withGlObjects), loader(std::make_unique<StartupLoader>()) {
    // Before the window: a pad plugged in at start is then already mapped.
    loadPadMappings();
}

Application::~Application() {
    // The screens first: their GL objects go while the context is current,
    // and they play sounds and read the input table.
    gameOver.reset();
    menu.reset();
    game.reset();
    // The loader's workers are waited for before the Sound they decode
    // into can go; nothing is left running for the exit handlers.
    loader.reset();
    // The shared GL services, still with the context current.
    font.reset();
    plates.reset();
    // The fullscreen picture's target, a GL object too.
    display.reset();
    // The window (and its context) before GLFW ends; the sound engine and
    // the input table need neither. The owners themselves go with the
    // members, in the reverse of their declaration: the Sound closes the
    // audio device, then glfwTerminate ends GLFW.
    window.reset();
    // The window is gone; a best score still on its way to the disk is not.
    best.reset();
    sound.reset();
    input.reset();
}

bool Application::openWindow(bool fullscreen) {
    window.reset(openGameWindow({0, 0}, fullscreen));
    if (window == nullptr) return false;
    display = std::make_unique<DisplayMode>(window.get(), fullscreen);
    return true;
}

void Application::buildScreens() {
    best = std::make_unique<BestScore>();
    game = std::make_unique<Game>(*best);
    menu = std::make_unique<Menu>(*best);
    gameOver = std::make_unique<GameOver>(*best);
    loader->startMusicWhenDecoded();
}

void Application::run() {
    ScreenState state = ScreenState::Menu;
    bool quit = false;
    double frameStart = 0.0;
    while (true) {
        double elapsed = waitForFrame(window.get(), frameStart, quit);
        frameStart = glfwGetTime();
        pauseOnInterruption(state, Input::instance().takeInterruption(), *game);
        display->beginFrame();
        state = runScreens(state, frameStep(elapsed), *game, *menu, *gameOver, quit);
        display->endFrame();
        glfwSwapBuffers(window.get());
        loader->startMusicWhenDecoded();
        best->collect();
        if (quit) break;
    }
}
