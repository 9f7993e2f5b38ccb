#pragma once
// GL fixture for tests of the road's look: a 1280 x 720 context, whose
// plate renderer (ctx.plates) goes with it.

#include <gtest/gtest.h>

#include "game/plate.h"
#include "support/gl_context.h"
#include "support/sandbox.h"

class RoadGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ctx.ok()) << "no GL context (run under xvfb-run)";
        writeFile("message.log", "");  // each test sees only its own records
    }

    GlContext ctx{1280, 720};
};
