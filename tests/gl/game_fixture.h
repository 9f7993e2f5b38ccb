#pragma once
// A GL fixture for tests of the running game: sounds that go to SDL's disk
// driver, keys pressed and released as the window's callbacks record them,
// the ship fixture's roads, and the services a screen machine is built on.

#include <gtest/gtest.h>

#include "orvo3d/opengl.h"  // epoxy before GLFW's own GL header

#include <GLFW/glfw3.h>

#include <memory>

#include "game/bestscore.h"
#include "game/font.h"
#include "game/input.h"
#include "game/plate.h"
#include "game/screenmachine.h"
#include "game/track.h"
#include "logic/ship_fixture.h"
#include "support/effect_probe.h"
#include "support/gl_context.h"
#include "support/sandbox.h"
#include "support/services.h"

// What a window's callbacks would record, into the process's key table.
inline WindowEvents& windowEvents() {
    static WindowEvents events(testInput());
    return events;
}

// Keys as GLFW reports them to the game.
inline void pressKey(int key) { windowEvents().key(key, GLFW_PRESS, 0, glfwGetTime()); }
inline void releaseKey(int key) { windowEvents().key(key, GLFW_RELEASE, 0, glfwGetTime()); }
inline void tapKey(int key) {
    pressKey(key);
    releaseKey(key);
}

// Every key up, no tap pending, taps kept for 3 game updates as the
// application sets it, and no command left over.
inline void resetInput() {
    testInput() = Input{};
    testInput().releaseFrames = 3;
    (void)windowEvents().takeCommands();
}

inline int pendingOf(Action a) { return testInput().pending[static_cast<int>(a)]; }

// Sounds on the probe's driver, a clean keyboard and log.
class ShipTest : public testing::Test {
protected:
    void SetUp() override {
        EffectProbe::useDiskDriver();
        ASSERT_TRUE(sounds.ready()) << "the disk audio driver did not start";
        resetInput();
        writeFile("message.log", "");
    }

    EffectProbe sounds;
};

// A GL context for the game's objects, sounds on the probe's driver, a clean
// keyboard and log. The context's plate renderer and font go before it.
class GameGlTest : public ShipTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(ctx.ok()) << "no GL context (run under xvfb-run)";
        ShipTest::SetUp();
    }

    // What the screens' outcomes are carried out with, as the application
    // hands them down.
    ScreenServices services() { return {testSoundService(), best, testInput()}; }

    // The three screens on this context's plate renderer and font.
    std::unique_ptr<ScreenMachine> newScreens() {
        return std::make_unique<ScreenMachine>(services(), ctx.plates.get(), ctx.font.get());
    }

    GlContext ctx{1280, 720};
    // The best the screens show and the runs are offered to.
    BestScore best;
};
