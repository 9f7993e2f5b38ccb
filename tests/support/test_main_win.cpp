// Test entry of the Windows test programs: each works in its own temporary
// folder (support/sandbox_win.cpp) and removes it afterwards.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <memory>

#include "game/input.h"
#include "orvo3d/service.h"
#include "orvo3d/sound.h"
#include "platform/xinput_win.h"
#include "support/sandbox.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Each GL test's context starts and ends GLFW, as the game does.
    keepXInputLoaded();
    // A silent sound driver unless the caller chose one.
    if (getenv("SDL_AUDIODRIVER") == nullptr) _putenv_s("SDL_AUDIODRIVER", "dummy");
    if (!enterSandbox("vimbrot-test")) return 3;
    int result = 0;
    {
        // The services without GL, as the application owns them; gone
        // before the sandbox is.
        ServiceOwner<Input> input;
        auto sound = std::make_unique<ServiceOwner<Sound>>();
        result = RUN_ALL_TESTS();
        // The effect probe's disk driver sleeps minutes between buffers and
        // closing the device would wait for it: such a process leaves its
        // Sound to the process exit.
        const char* delay = getenv("SDL_DISKAUDIODELAY");
        if (delay != nullptr && atol(delay) > 1000 && sound->made() != nullptr) (void)sound.release();
    }
    leaveSandbox();
    return result;
}
