// Test entry: each test process works in its own temporary directory, with
// HOME and XDG_DATA_HOME pointing inside it, and removes it afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "support/sandbox.h"
#include "support/services.h"

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
        TestServices services;
        result = RUN_ALL_TESTS();
    }
    leaveSandbox();
    return result;
}
