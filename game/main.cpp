// Process entry: window and context, then the self-paced frame loop.
#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include <cstdio>
#include <exception>
#include <optional>

#include "game/commandline.h"
#include "game/displaymode.h"
#include "game/gameloop.h"
#include "game/gameover.h"
#include "game/highscore.h"
#include "game/input.h"
#include "game/mainloop.h"
#include "game/menu.h"
#include "game/startup.h"
#include "orvo3d/log.h"
#include "orvo3d/sound.h"

int main(int argc, char** argv) try {
    // --help, --version and a misused line are answered before anything
    // starts: no threads, no display, no log.
    const CommandLine commandLine = parseCommandLine(argc, argv);
    if (std::optional<int> code = answerCommandLine(commandLine, stdout, stderr)) return *code;
    Logger::init(false);
    const Settings settings = settingsForRun(commandLine.options);
    Sound::setMuted(settings.mute);
    if (!glfwInit()) {
        std::fputs("vimbrot: cannot start: no display to open a window on (is DISPLAY set?)\n", stderr);
        return 1;
    }
    startPreloading();
    GLFWwindow* window = openGameWindow({0, 0}, settings.fullscreen);
    if (window == nullptr) {
        std::fputs("vimbrot: cannot create a window with an OpenGL 4.3 core context\n", stderr);
        stopPreloading();
        glfwTerminate();
        return 2;
    }

    // Never deleted, as the screens: its GL objects go with the context.
    DisplayMode* display = new DisplayMode(window, settings.fullscreen);

    // Loading every shader, texture and the ship happens here; a failure is
    // logged and ends the process.
    Game* game = new Game();
    Menu* menu = new Menu();
    GameOver* gameOver = new GameOver();
    startMusicWhenDecoded();

    ScreenState state = ScreenState::Menu;
    bool quit = false;
    double frameStart = 0.0;
    while (true) {
        double elapsed = waitForFrame(window, frameStart, quit);
        frameStart = glfwGetTime();
        pauseOnInterruption(state, Input::instance().takeInterruption(), *game);
        display->beginFrame();
        state = runScreens(state, frameStep(elapsed), *game, *menu, *gameOver, quit);
        display->endFrame();
        glfwSwapBuffers(window);
        startMusicWhenDecoded();
        if (quit) break;
    }

    stopPreloading();
    glfwDestroyWindow(window);
    glfwTerminate();
    // The window is gone; a best score still on its way to the disk is not.
    HighScore::finishSave();
    return 0;
} catch (const Orvo3D::LoggedException&) {
    // The cause is already in the log; end cleanly with a code of our own.
    std::fputs("vimbrot: cannot go on; the cause is recorded in message.log\n", stderr);
    stopPreloading();
    glfwTerminate();
    return 3;
} catch (const std::exception& error) {
    std::fprintf(stderr, "vimbrot: cannot go on (%s); see message.log\n", error.what());
    stopPreloading();
    glfwTerminate();
    return 3;
}
