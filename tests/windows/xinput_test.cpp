// The XInput library outlives GLFW: the test entry keeps it loaded as the
// game's does, so GLFW's FreeLibrary at glfwTerminate no longer unmaps code
// that Wine's XInput thread may still be running.
#include <gtest/gtest.h>
#include <windows.h>

#include <GLFW/glfw3.h>

#include "platform/xinput_win.h"

namespace {

HMODULE loadedXInput() {
    for (const char* name : kXInputLibraries) {
        if (HMODULE module = GetModuleHandleA(name)) return module;
    }
    return nullptr;
}

}  // namespace

TEST(XInput, StaysLoadedAcrossGlfwSessions) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(glfwInit(), GLFW_TRUE);
        HMODULE during = loadedXInput();
        ASSERT_NE(during, nullptr) << "GLFW loaded no XInput";
        glfwTerminate();
        EXPECT_EQ(loadedXInput(), during) << "the XInput library went with GLFW";
    }
}
