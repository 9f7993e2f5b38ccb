// Test entry of the Windows test programs: each works in its own temporary
// folder (support/sandbox_win.cpp) and removes it afterwards.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <memory>

#include "platform/xinput_win.h"
#include "support/sandbox.h"
#include "support/services.h"

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
        TestServices services;
        result = RUN_ALL_TESTS();
    }
    leaveSandbox();
    return result;
}
