// Test entry: each test process works in its own temporary directory, with
// HOME and XDG_DATA_HOME pointing inside it, and removes it afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "game/input.h"
#include "orvo3d/service.h"
#include "orvo3d/sound.h"
#include "support/sandbox.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    // Tests that reach the sound engine without choosing a driver get a
    // silent one rather than "no device" records in their logs.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (!enterSandbox("vimbrot-test")) return 3;
    int result = 0;
    {
        // The services without GL, as the application owns them; each
        // GlContext owns the GL ones. Gone before the sandbox is.
        ServiceOwner<Input> input;
        auto sound = std::make_unique<ServiceOwner<Sound>>();
        result = RUN_ALL_TESTS();
        // The effect probe's disk driver sleeps minutes between buffers, and
        // closing the device waits for that sleep to end: a process that
        // used it leaves its Sound, still registered, to the process exit.
        const char* delay = std::getenv("SDL_DISKAUDIODELAY");
        if (delay != nullptr && std::atol(delay) > 1000 && sound->made() != nullptr) (void)sound.release();
    }
    leaveSandbox();
    return result;
}
