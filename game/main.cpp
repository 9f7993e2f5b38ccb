// Process entry: the command line, the log and GLFW, then the application
// with its window and its self-paced frame loop.
#include <GLFW/glfw3.h>

#include <cstdio>
#include <exception>
#include <optional>

#include "game/application.h"
#include "game/commandline.h"
#include "orvo3d/log.h"
#include "orvo3d/sound.h"

int main(int argc, char** argv) try {
    // --help, --version and a misused line are answered before anything
    // starts: no threads, no display, no log.
    const CommandLine commandLine = parseCommandLine(argc, argv);
    if (std::optional<int> code = answerCommandLine(commandLine, stdout, stderr)) return *code;
    Logger::init(false);
    // The window does not read the fullscreen choice yet.
    const Settings settings = settingsForRun(commandLine.options);
    Sound::setMuted(settings.mute);
    if (!glfwInit()) {
        std::fputs("vimbrot: cannot start: no display to open a window on (is DISPLAY set?)\n", stderr);
        return 1;
    }
    {
        // From here the application owns GLFW, the window, the services and
        // the screens; leaving this block, by a return or an exception, takes
        // them down in its order and joins the start-up workers.
        Application application;
        if (!application.openWindow(settings.fullscreen)) {
            std::fputs("vimbrot: cannot create a window with an OpenGL 4.3 core context\n", stderr);
            return 2;
        }
        application.buildScreens();
        application.run();
    }
    return 0;
} catch (const Orvo3D::LoggedException&) {
    // The cause is already in the log; end cleanly with a code of our own.
    std::fputs("vimbrot: cannot go on; the cause is recorded in message.log\n", stderr);
    return 3;
} catch (const std::exception& error) {
    std::fprintf(stderr, "vimbrot: cannot go on (%s); see message.log\n", printable(error.what()).c_str());
    return 3;
}
