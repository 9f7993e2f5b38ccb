#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>

#include "game/input.h"
#include "game/mainloop.h"
#include "game/padmappings.h"
#include "support/gl_context.h"  // epoxy's GL header before GLFW's

#include <GLFW/glfw3.h>

namespace {

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

class GLFrameWait : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ctx.ok()) << "no window (run under xvfb-run)"; }

    // One frame's wait, reading the pads (there are none here) into a key
    // table of the test's own.
    double wait(double frameStart, bool& quit) { return waitForFrame(ctx.window, frameStart, quit, input, pads); }

    GlContext ctx{64, 64};
    Input input;
    UnmappedPads pads;
};

TEST_F(GLFrameWait, WaitsOneSixtiethPlusAMillisecond) {
    bool quit = false;
    for (int frame = 0; frame < 10; ++frame) {
        double frameStart = glfwGetTime();
        double elapsed = wait(frameStart, quit);
        EXPECT_GE(elapsed - static_cast<double>(0.001f), 1.0 / 60.0);
        EXPECT_GE(glfwGetTime() - frameStart, elapsed);
    }
    EXPECT_FALSE(quit);
}

TEST_F(GLFrameWait, LateFrameReturnsAtOnceWithTheWholeDelay) {
    bool quit = false;
    double frameStart = glfwGetTime() - 2.0;
    double elapsed = wait(frameStart, quit);
    EXPECT_GE(elapsed, 2.0);
    EXPECT_EQ(frameStep(elapsed), static_cast<float>(1.0 / 30.0));
}

TEST_F(GLFrameWait, ClosingTheWindowSetsQuitAndTheWaitStillCompletes) {
    bool quit = false;
    glfwSetWindowShouldClose(ctx.window, GLFW_TRUE);
    double frameStart = glfwGetTime();
    double elapsed = wait(frameStart, quit);
    EXPECT_TRUE(quit);
    EXPECT_GE(elapsed - static_cast<double>(0.001f), 1.0 / 60.0);
}

// The loop with nothing to draw sleeps between polls rather than spinning:
// a spinning wait would use the whole core.
TEST_F(GLFrameWait, WaitingUsesLittleOfOneCore) {
    bool quit = false;
    const double cpuBefore = threadCpuSeconds();
    const double wallBefore = glfwGetTime();
    double frameStart = wallBefore;
    for (int frame = 0; frame < 100; ++frame) {
        wait(frameStart, quit);
        frameStart = glfwGetTime();
    }
    const double cpu = threadCpuSeconds() - cpuBefore;
    const double wall = glfwGetTime() - wallBefore;
    RecordProperty("cpu_percent", static_cast<int>(cpu / wall * 100.0 + 0.5));
    std::printf("frame wait: %.3f s CPU over %.3f s (%.1f %% of one core)\n", cpu, wall, cpu / wall * 100.0);
    EXPECT_GE(wall, 100 * (1.0 / 60.0 + 0.001));
    EXPECT_LT(cpu / wall, 0.10);
}

}  // namespace
