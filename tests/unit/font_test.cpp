// Glyph table and text layout, without GL: a Font made directly has the
// table but no GL objects, and measuring never calls GL.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "game/font.h"

namespace {

TEST(FontGlyphs, TableHoldsTheTwentySixCountedClockwiseGlyphs) {
    Font font;
    std::string withTriangles;
    std::uint32_t running = 0;
    for (int code = 0; code < kGlyphCodes; ++code) {
        const Glyph& glyph = font.glyphs[code];
        SCOPED_TRACE(code);
        EXPECT_EQ(glyph.width, 8);
        EXPECT_EQ(glyph.firstTriangle, running);
        EXPECT_LE(glyph.triangleCount, static_cast<std::uint32_t>(kGlyphMaxTriangles));
        running += glyph.triangleCount;
        if (glyph.triangleCount != 0) withTriangles += static_cast<char>(code);
        for (std::uint32_t t = 0; t < glyph.triangleCount; ++t) {
            const auto& c = glyph.triangles[t];
            for (int k = 0; k < 3; ++k) {
                for (int axis = 0; axis < 2; ++axis) {
                    float v = c[k][axis];
                    EXPECT_GE(v, 0.0f);
                    EXPECT_LE(v, 8.0f);
                    EXPECT_EQ(v * 2.0f, std::floor(v * 2.0f)) << "not on the half grid";
                }
            }
            // Twice the signed area: positive when counter-clockwise with y up,
            // the winding that survives back-face culling.
            float area2 = (c[1][0] - c[0][0]) * (c[2][1] - c[0][1]) - (c[1][1] - c[0][1]) * (c[2][0] - c[0][0]);
            EXPECT_GT(area2, 0.0f) << "triangle " << t << " of '" << static_cast<char>(code) << "'";
        }
    }
    EXPECT_EQ(withTriangles, "0123456789ABCDEGIMOPRSTUVX");
    EXPECT_EQ(running, 98u);
    EXPECT_EQ(font.triangleTotal(), 98u);
    EXPECT_EQ(font.glyphs[static_cast<int>('A')].firstTriangle, 42u);  // after the digits' 42
}

struct LayoutCase {
    const char* name;
    const char* text;
    float height;
    float width;
    std::vector<float> pens;  // of the glyphs that have strokes
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

// Widths and pens worked out from the layout rules by hand, in units of
// height / 7.5 (or 0.6 x that for lower case).
const LayoutCase kLayoutCases[] = {
    {"start", "START", 100.0f, 486.6667f, {0.0f, 94.6667f, 189.3333f, 285.3333f, 380.0f}},
    {"resume", "RESUME", 80.0f, 512.0f, {0.0f, 85.3333f, 170.6667f, 256.0f, 341.3333f, 426.6667f}},
    {"empty", "", 100.0f, 0.0f, {}},
    {"space", " ", 75.0f, 40.0f, {}},
    {"capital_i", "I", 75.0f, 46.0f, {-17.0f}},
    {"capital_a", "A", 75.0f, 63.0f, {-9.0f}},
    {"capital_p", "P", 75.0f, 72.0f, {0.0f}},
    {"capital_t", "T", 75.0f, 71.0f, {-9.0f}},
    {"small_a", "a", 75.0f, 37.8f, {-5.4f}},
    {"small_i", "i", 75.0f, 27.6f, {-10.2f}},
    {"small_t_p", "tp", 75.0f, 85.8f, {-5.4f, 42.6f}},
    // The space always advances by the full height, even between small capitals.
    {"space_between_small", "a a", 75.0f, 115.6f, {-5.4f, 72.4f}},
    {"percent", "%", 75.0f, 80.0f, {}},
    {"letter_without_glyph", "F", 75.0f, 80.0f, {}},
    {"small_letter_without_glyph", "f", 75.0f, 48.0f, {}},
    // UTF-8 for e acute: two bytes above 127, each an ordinary advance.
    {"utf8_bytes", "\xC3\xA9", 75.0f, 160.0f, {}},
    {"high_byte_then_glyph", "\xFFI", 75.0f, 126.0f, {63.0f}},
    {"digits", "0123456789", 75.0f, 800.0f, {0, 80, 160, 240, 320, 400, 480, 560, 640, 720}},
};

class FontLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(FontLayout, WidthAndPensFollowTheKerningRules) {
    const LayoutCase& c = GetParam();
    Font font;
    std::vector<float> pens;
    float width = font.layoutText(c.text, 0.0f, 0.0f, c.height, glm::vec3(1.0f), false, &pens);
    EXPECT_NEAR(width, c.width, 0.01f);
    ASSERT_EQ(pens.size(), c.pens.size());
    for (std::size_t i = 0; i < pens.size(); ++i) EXPECT_NEAR(pens[i], c.pens[i], 0.01f) << "glyph " << i;

    // Measuring somewhere else changes neither the width nor the pens.
    std::vector<float> elsewhere;
    EXPECT_EQ(font.layoutText(c.text, 700.0f, 300.0f, c.height, glm::vec3(0.5f), false, &elsewhere), width);
    EXPECT_EQ(elsewhere, pens);
}

INSTANTIATE_TEST_SUITE_P(Texts, FontLayout, testing::ValuesIn(kLayoutCases),
                         [](const testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

TEST(FontLayoutBytes, EveryByteAbove127AdvancesWithoutAGlyph) {
    Font font;
    for (int b = 128; b < 256; ++b) {
        char text[3] = {static_cast<char>(b), static_cast<char>(b), '\0'};
        std::vector<float> pens;
        EXPECT_NEAR(font.layoutText(text, 0.0f, 0.0f, 60.0f, glm::vec3(1.0f), false, &pens), 128.0f, 0.001f)
            << "byte " << b;
        EXPECT_TRUE(pens.empty()) << "byte " << b;
    }
}

}  // namespace
