#pragma once
// A GL fixture for tests of the running game, with the ship fixture's sounds,
// keys and roads.

#include <gtest/gtest.h>

#include "orvo3d/opengl.h"  // epoxy before GLFW's own GL header

#include "logic/ship_fixture.h"
#include "support/gl_context.h"

// A GL context for the game's objects, sounds on the probe's driver, a clean
// keyboard and log. The shared plate renderer goes before its context.
class GameGlTest : public ShipTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(ctx.ok()) << "no GL context (run under xvfb-run)";
        ShipTest::SetUp();
    }
    void TearDown() override {
        delete PlateRenderer::instance;
        PlateRenderer::instance = nullptr;
    }

    GlContext ctx{1280, 720};
};
