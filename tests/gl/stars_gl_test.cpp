// The star field drawn into a real window: a mostly black screen with
// scattered grey-to-white stars, or the same stars in pure red.
#include <gtest/gtest.h>

#include <string>

#include "game/stars.h"
#include "gl/frame.h"
#include "support/sandbox.h"

namespace {

// The field over the whole window; `width` is the picture's width the
// density follows, the window's own unless given.
Frame drawStars(const GlContext& ctx, Stars& stars, float distance, int width = 0) {
    glClearColor(0.3f, 0.6f, 0.9f, 1.0f);  // any clear colour must be covered
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    stars.render(distance, width > 0 ? width : ctx.width);
    glEnable(GL_DEPTH_TEST);
    return readFrame(ctx);
}

struct Census {
    long lit = 0;
    long bright = 0;  // red channel 128 and above
    long total = 0;
};

Census count(const Frame& frame) {
    Census c;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            glm::ivec3 p = frame.at(x, y);
            ++c.total;
            if (p.r > 0) ++c.lit;
            if (p.r >= 128) ++c.bright;
        }
    }
    return c;
}

TEST(GLStars, WhiteFieldIsGreyStarsOnBlack) {
    GlContext ctx(1280, 720);
    ASSERT_TRUE(ctx.ok());
    Stars stars;
    Frame frame = drawStars(ctx, stars, 1.0f);
    saveScreenshot(ctx, "stars_white");

    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            glm::ivec3 p = frame.at(x, y);
            ASSERT_TRUE(p.r == p.g && p.g == p.b) << x << "," << y << ": " << p.r << " " << p.g << " " << p.b;
        }
    }
    Census c = count(frame);
    double litShare = static_cast<double>(c.lit) / static_cast<double>(c.total);
    RecordProperty("lit_permille", static_cast<int>(litShare * 1000.0));
    // About 0.14 % of the pixels: a real field of single-pixel stars, not an
    // empty sky and not a noisy screen.
    EXPECT_GT(litShare, 0.0007);
    EXPECT_LT(litShare, 0.01);
    EXPECT_GT(c.bright, 20);  // some stars stand out
    EXPECT_EQ(countOf(readLog(), "ERROR"), 0) << readLog();
}

TEST(GLStars, RedFieldHasTheSameStarsInPureRed) {
    GlContext ctx(1280, 720);
    ASSERT_TRUE(ctx.ok());
    Stars stars;
    Frame white = drawStars(ctx, stars, 1.0f);
    Frame red = drawStars(ctx, stars, 0.0f);
    saveScreenshot(ctx, "stars_red");

    long lit = 0;
    for (int y = 0; y < red.height; ++y) {
        for (int x = 0; x < red.width; ++x) {
            glm::ivec3 p = red.at(x, y);
            ASSERT_EQ(p.g, 0) << x << "," << y;
            ASSERT_EQ(p.b, 0) << x << "," << y;
            ASSERT_EQ(p.r, white.at(x, y).r) << x << "," << y;
            lit += p.r > 0;
        }
    }
    EXPECT_GT(lit, 1000);
}

TEST(GLStars, FieldIsStillAndFollowsTheWindowWidth) {
    GlContext ctx(1280, 720);
    ASSERT_TRUE(ctx.ok());
    Stars stars;
    Frame first = drawStars(ctx, stars, 1.0f);
    Frame again = drawStars(ctx, stars, 1.0f);
    EXPECT_EQ(first.rgb, again.rgb) << "no time input reaches the stars";

    // The density follows the width given at every draw.
    Frame denser = drawStars(ctx, stars, 1.0f, 1920);
    EXPECT_NE(first.rgb, denser.rgb);
    EXPECT_EQ(drawStars(ctx, stars, 1.0f, 1280).rgb, first.rgb);
    EXPECT_GT(count(denser).lit, count(first).lit);
}

}  // namespace
