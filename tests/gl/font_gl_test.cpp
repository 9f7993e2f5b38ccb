// The font drawn into a real 1280 x 720 window: strokes land where the layout
// rules put them, in the given colour, and nothing else is touched.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "game/font.h"
#include "gl/frame.h"
#include "support/sandbox.h"

namespace {

constexpr glm::vec3 kBackground{0.1f, 0.1f, 0.3f};
constexpr glm::vec3 kInk{1.0f, 0.8f, 0.2f};

void clearTo(glm::vec3 c) {
    glClearColor(c.r, c.g, c.b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

bool near(glm::ivec3 a, glm::vec3 c, int tolerance) {
    return std::abs(a.r - channel(c.r)) <= tolerance && std::abs(a.g - channel(c.g)) <= tolerance &&
           std::abs(a.b - channel(c.b)) <= tolerance;
}

// First run of pixels in row y that carry the ink colour: [first, last].
bool findInkSpan(const Frame& frame, int y, int& first, int& last) {
    first = -1;
    for (int x = 0; x < frame.width; ++x) {
        bool ink = near(frame.at(x, y), kInk, 6);
        if (ink && first < 0) first = x;
        if (!ink && first >= 0) {
            last = x - 1;
            return true;
        }
    }
    return false;
}

enum class Align { Left, Centre, Right };

struct StrokeCase {
    const char* name;
    const char* text;
    Align align;
    float x;
    float height;
    float cellUnit;   // the first glyph's grid unit: its size / 8
    float strokeLeft;   // text-space x of the first stroke's edges one grid
    float strokeRight;  // unit above the baseline
};

void PrintTo(const StrokeCase& c, std::ostream* os) { *os << c.name; }

constexpr float kBaseline = 300.0f;

// Edges worked out by hand from the glyph table and the kerning rules.
const StrokeCase kStrokeCases[] = {
    // Origin 600 - 1.7 x 40 = 532; the stroke runs from 3.5 to 4.375 there.
    {"I_left", "I", Align::Left, 600.0f, 300.0f, 37.5f, 663.25f, 696.06f},
    // Width 6.3 x 40 = 252, left edge 834, drawn 36 further left at 798;
    // the left leg runs from 0.5 to 1.375.
    {"A_centred", "A", Align::Centre, 960.0f, 300.0f, 37.5f, 816.75f, 849.56f},
    // Width 7.1 x 40 = 284, so the text starts at 1516 and the glyph at 1480.
    {"T_right", "T", Align::Right, 1800.0f, 300.0f, 37.5f, 1613.59f, 1646.41f},
    // A small capital: size 180, drawn 0.9 x 24 = 21.6 left of 600.
    {"a_small", "a", Align::Left, 600.0f, 300.0f, 22.5f, 589.65f, 609.34f},
};

class GLFontStroke : public testing::TestWithParam<StrokeCase> {};

TEST_P(GLFontStroke, FirstStrokeIsInkWhereTheLayoutPutsIt) {
    const StrokeCase& c = GetParam();
    GlContext ctx(1280, 720);
    ASSERT_TRUE(ctx.ok());
    Font& font = ctx.font.get();
    clearTo(kBackground);
    switch (c.align) {
        case Align::Left: font.layoutText(c.text, c.x, kBaseline, c.height, kInk, true); break;
        case Align::Centre: font.drawCentered(c.text, c.x, kBaseline, c.height, kInk); break;
        case Align::Right: font.drawRightAligned(c.text, c.x, kBaseline, c.height, kInk); break;
    }
    Frame frame = readFrame(ctx);
    saveScreenshot(ctx, std::string("font_") + c.name);

    glm::vec2 left = textToPixel(ctx, c.strokeLeft, kBaseline + c.cellUnit);
    glm::vec2 right = textToPixel(ctx, c.strokeRight, kBaseline + c.cellUnit);
    int row = static_cast<int>(left.y);
    int first = 0;
    int last = 0;
    ASSERT_TRUE(findInkSpan(frame, row, first, last)) << "no ink in row " << row;
    EXPECT_NEAR(first, left.x, 1.5);
    EXPECT_NEAR(last + 1, right.x, 1.5);
    // The middle of the stroke is exactly the ink; left of it the background.
    EXPECT_TRUE(near(frame.at((first + last) / 2, row), kInk, 1));
    EXPECT_TRUE(near(frame.at(first - 12, row), kBackground, 1));
    // Nothing below the baseline.
    int below = static_cast<int>(textToPixel(ctx, 0.0f, kBaseline - 10.0f).y);
    for (int x = 0; x < frame.width; ++x) ASSERT_TRUE(near(frame.at(x, below), kBackground, 1)) << x;
    EXPECT_EQ(countOf(readLog(), "ERROR"), 0) << readLog();
}

INSTANTIATE_TEST_SUITE_P(Glyphs, GLFontStroke, testing::ValuesIn(kStrokeCases),
                         [](const testing::TestParamInfo<StrokeCase>& info) { return std::string(info.param.name); });

// The context's font, as the application's, is built on its first use and
// kept: every later use gets the same table and buffer.
TEST(GLFont, OwnersFontIsBuiltOnceWithTheWholeTable) {
    GlContext ctx(1280, 720);
    ASSERT_TRUE(ctx.ok());
    ASSERT_EQ(ctx.font.made(), nullptr);
    Font& a = ctx.font.get();
    GLuint vbo = a.vbo.get();
    EXPECT_NE(vbo, 0u);
    Font& b = ctx.font.get();
    EXPECT_EQ(&a, &b);
    EXPECT_EQ(b.vbo.get(), vbo);
    GLint size = 0;
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    EXPECT_EQ(size, 98 * 3 * 2 * static_cast<GLint>(sizeof(float)));
}

TEST(GLFont, DrawingPlacesGlyphsAtTheMeasuredPens) {
    GlContext ctx(1280, 720);
    ASSERT_TRUE(ctx.ok());
    Font& font = ctx.font.get();
    clearTo(glm::vec3(0.0f));
    // Every text the game shows, as a sheet to look at.
    const struct {
        const char* text;
        float y;
        float height;
    } lines[] = {
        {"VIMBROT", 700.0f, 160.0f}, {"Game Over", 560.0f, 120.0f}, {"START  EXIT  RESUME", 430.0f, 80.0f},
        {"Paused  Score  Best", 310.0f, 80.0f}, {"0123456789", 190.0f, 80.0f}, {"ABCDEGIMOPRSTUVX", 70.0f, 80.0f},
    };
    for (const auto& line : lines) {
        std::vector<float> measured;
        std::vector<float> drawn;
        float width = font.layoutText(line.text, 0.0f, 0.0f, line.height, glm::vec3(1.0f), false, &measured);
        float drawnWidth = font.layoutText(line.text, 960.0f - 0.5f * width, line.y, line.height,
                                           glm::vec3(0.9f, 0.9f, 1.0f), true, &drawn);
        EXPECT_EQ(drawnWidth, width) << line.text;
        EXPECT_EQ(drawn, measured) << line.text;
    }
    saveScreenshot(ctx, "font_sheet");
    Frame frame = readFrame(ctx);
    int inked = 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) inked += near(frame.at(x, y), glm::vec3(0.9f, 0.9f, 1.0f), 1);
    }
    EXPECT_GT(inked, 10000);
    EXPECT_EQ(countOf(readLog(), "ERROR"), 0) << readLog();
}

TEST(GLFont, TextWithoutGlyphsDrawsNothing) {
    GlContext ctx(1280, 720);
    ASSERT_TRUE(ctx.ok());
    Font& font = ctx.font.get();
    clearTo(kBackground);
    font.drawCentered("\xC3\xA9%\x80\xFF fhjklnqwyz!", 960.0f, 300.0f, 120.0f, kInk);
    Frame frame = readFrame(ctx);
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) ASSERT_TRUE(near(frame.at(x, y), kBackground, 1)) << x << "," << y;
    }
    EXPECT_EQ(countOf(readLog(), "ERROR"), 0) << readLog();
}

}  // namespace
