#pragma once
// A GL fixture for tests of the running game: sounds that go to SDL's disk
// driver, keys pressed and released through the real key callback, and the
// ship fixture's roads.

#include <gtest/gtest.h>

#include "orvo3d/opengl.h"  // epoxy before GLFW's own GL header

#include <GLFW/glfw3.h>

#include "game/bestscore.h"
#include "game/input.h"
#include "game/plate.h"
#include "game/track.h"
#include "logic/ship_fixture.h"
#include "support/effect_probe.h"
#include "support/gl_context.h"
#include "support/sandbox.h"

// What a window's callbacks would record, into the process's key table.
inline WindowEvents& windowEvents() {
    static WindowEvents events(Input::instance());
    return events;
}

// Keys as GLFW reports them to the game.
inline void pressKey(int key) { windowEvents().key(key, GLFW_PRESS, 0, glfwGetTime()); }
inline void releaseKey(int key) { windowEvents().key(key, GLFW_RELEASE, 0, glfwGetTime()); }
inline void tapKey(int key) {
    pressKey(key);
    releaseKey(key);
}

// Every key up, no tap pending, taps kept for 3 game updates as the main
// loop sets it.
inline void resetInput() {
    Input::instance() = Input{};
    Input::instance().releaseFrames = 3;
}

inline int pendingOf(Action a) { return Input::instance().pending[static_cast<int>(a)]; }

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
// keyboard and log. The shared plate renderer goes before its context.
class GameGlTest : public ShipTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(ctx.ok()) << "no GL context (run under xvfb-run)";
        ShipTest::SetUp();
    }

    GlContext ctx{1280, 720};
    // The best the screens show and the runs are offered to.
    BestScore best;
};
