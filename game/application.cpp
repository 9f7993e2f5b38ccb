#include "game/application.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include <string>

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
#include "orvo3d/log.h"
#include "orvo3d/sound.h"
#include "platform/settings.h"

namespace {

// Mutes or unmutes at once, and keeps the choice for the next start.
void toggleMute() {
    const bool mute = !Sound::isMuted();
    Sound::setMuted(mute);
    Settings settings = loadSettings().settings;
    settings.mute = mute;
    const std::string problem = saveSettings(settings);
    if (!problem.empty()) Logger::error("game/application", __LINE__, "%s", problem.c_str());
}

}  // namespace

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
    Input& table = input.get();
    table.releaseFrames = 3;  // a released key stays a tap for 3 game updates
    events = std::make_unique<WindowEvents>(table);
    events->attach(window.get());
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
        const FrameCommands commands = events->takeCommands();
        for (int i = 0; i < commands.muteToggles; ++i) toggleMute();
        pauseOnInterruption(state, input.get().takeInterruption(), *game);
        display->beginFrame(commands.toggleDisplay);
        state = runScreens(state, frameStep(elapsed), *game, *menu, *gameOver, quit);
        display->endFrame();
        glfwSwapBuffers(window.get());
        loader->startMusicWhenDecoded();
        best->collect();
        if (quit) break;
    }
}
