// The XInput library outlives GLFW: the test entry keeps it loaded as the
// game's does, so GLFW's FreeLibrary at glfwTerminate no longer unmaps code
// that Wine's XInput thread may still be running.
#include <gtest/gtest.h>
#include <windows.h>

#include <GLFW/glfw3.h>

#include <initializer_list>

namespace {

HMODULE loadedXInput() {
    for (const char* name : {"xinput1_4.dll", "xinput1_3.dll", "xinput9_1_0.dll", "xinput1_2.dll", "xinput1_1.dll"}) {
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
