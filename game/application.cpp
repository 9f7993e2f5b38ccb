#include "game/application.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include "game/bestscore.h"
#include "game/displaymode.h"
#include "game/font.h"
#include "game/plate.h"
#include "game/screenmachine.h"
#include "game/settingswriter.h"
#include "game/startup.h"
#include "orvo3d/sound.h"

Application::GlfwSession::~GlfwSession() { glfwTerminate(); }

void Application::WindowDeleter::operator()(GLFWwindow* window) const { glfwDestroyWindow(window); }

Application::Application()
    : settings(std::make_unique<SettingsWriter>()), loader(std::make_unique<StartupLoader>(sound)) {
    // Before the window: a pad plugged in at start is then already mapped.
    loadPadMappings();
}

Application::~Application() {
    // The screens first: their GL objects go while the context is current.
    screens.reset();
    // The loader's workers are waited for before the Sound they decode
    // into can go; nothing is left running for the exit handlers.
    loader.reset();
    // The shared GL services, still with the context current.
    font.reset();
    plates.reset();
    // The fullscreen picture's target, a GL object too.
    display.reset();
    // The window (and its context) before GLFW ends.
    window.reset();
    // The window is gone; a best score or settings still on their way to the
    // disk are not: they are waited for and their records written.
    best.reset();
    settings.reset();
    // The Sound closes the audio device; the members then go in the reverse
    // of their declaration, and glfwTerminate ends GLFW last.
    sound.reset();
}

bool Application::openWindow(bool fullscreen) {
    window.reset(openGameWindow(size, fullscreen));
    if (window == nullptr) return false;
    input.releaseFrames = 3;  // a released key stays a tap for 3 game updates
    events.attach(window.get());
    display = std::make_unique<DisplayMode>(window.get(), size, fullscreen);
    return true;
}

void Application::buildScreens() {
    best = std::make_unique<BestScore>();
    plates = std::make_unique<PlateRenderer>(loader->images());
    font = Font::withGlObjects();
    screens = std::make_unique<ScreenMachine>(ScreenServices{sound, *best, input}, *plates, *font, loader->models());
    loader->startMusicWhenDecoded();
}

void Application::carryOut(const FrameCommands& commands) {
    // Each M mutes or unmutes at once and is kept for the next start.
    for (int i = 0; i < commands.muteToggles; ++i) {
        const bool mute = !Sound::isMuted();
        Sound::setMuted(mute);
        settings->change(SettingKey::Mute, mute);
    }
}

RenderTarget Application::beginFrame(const FrameCommands& commands) {
    const bool fullscreen = display->fullscreen();
    const RenderTarget target = display->beginFrame(commands.displayToggles);
    // The mode the frame ends up in: a switch that failed is not kept.
    if (display->fullscreen() != fullscreen) settings->change(SettingKey::Fullscreen, display->fullscreen());
    return target;
}

void Application::run() {
    bool quit = false;
    double frameStart = 0.0;
    while (true) {
        const double elapsed = waitForFrame(window.get(), frameStart, quit, input, pads);
        frameStart = glfwGetTime();
        FrameCommands commands = events.takeCommands();
        commands.quit = quit;
        carryOut(commands);
        if (input.takeInterruption()) screens->interrupt();
        const RenderTarget target = beginFrame(commands);
        FrameInput frame = collectFrame(input, screens->state, frameStep(elapsed), commands);
        const Outcome outcome = screens->frame(frame, target);
        display->endFrame();
        glfwSwapBuffers(window.get());
        loader->startMusicWhenDecoded();
        best->collect();
        settings->collect();
        if (quit || outcome.quit) break;
    }
}
