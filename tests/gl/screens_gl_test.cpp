// The screens as drawn into a real window: the menu's texts and selection
// over white stars, the game-over screen over red stars with its best line
// bright or dim, the game with its score at the top right, and the pause
// veil over the game. With VIMBROT_SCREENSHOTS set, every screen is saved.
#include "gl/game_fixture.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "game/font.h"
#include "game/gameloop.h"
#include "game/bestscore.h"
#include "game/gameover.h"
#include "game/highscore.h"
#include "game/menu.h"
#include "game/screenmachine.h"
#include "gl/frame.h"
#include "sim/player.h"

namespace {

using Rgb = glm::ivec3;

Rgb rgbOf(glm::vec3 c) { return {channel(c.r), channel(c.g), channel(c.b)}; }

const Rgb kTitle = rgbOf({0.2f, 0.5f, 0.26f});
const Rgb kMenuBest = rgbOf({0.12f, 0.3f, 0.156f});
const Rgb kSelected = rgbOf({0.5f, 0.5f, 0.75f});
const Rgb kUnselected = rgbOf({0.2f, 0.2f, 0.25f});
const Rgb kLabel = rgbOf({0.16f, 0.4f, 0.208f});
const Rgb kDim = rgbOf(0.6f * glm::vec3(0.2f, 0.5f, 0.26f));
const Rgb kBright = rgbOf(1.75f * glm::vec3(0.2f, 0.5f, 0.26f));

bool near(Rgb a, Rgb b, int tolerance = 1) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

// A pixel rectangle, inclusive.
struct Box {
    int x0, y0, x1, y1;
    bool contains(int x, int y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

// Where a text may put ink, in window pixels: its measured extent plus room
// for the kerning that draws left of the pen and the last glyph's cell.
Box textBox(GlContext& ctx, const char* text, float x, float baseline, float height, bool centred) {
    Font& font = ctx.font.get();
    const float width = font.layoutText(text, 0.0f, 0.0f, height, glm::vec3(1.0f), false);
    const float left = (centred ? x - 0.5f * width : x - width) - 0.25f * height;
    const float right = left + width + 0.5f * height;
    const glm::vec2 a = textToPixel(ctx, left, baseline - 0.05f * height);
    const glm::vec2 b = textToPixel(ctx, right, baseline + 1.05f * height);
    return {static_cast<int>(std::floor(a.x)) - 2, static_cast<int>(std::floor(a.y)) - 2,
            static_cast<int>(std::ceil(b.x)) + 2, static_cast<int>(std::ceil(b.y)) + 2};
}

long countIn(const Frame& frame, const Box& box, Rgb colour) {
    long n = 0;
    for (int y = std::max(0, box.y0); y <= std::min(frame.height - 1, box.y1); ++y) {
        for (int x = std::max(0, box.x0); x <= std::min(frame.width - 1, box.x1); ++x) n += near(frame.at(x, y), colour);
    }
    return n;
}

// Pixels outside every text: the star field alone.
template <class Check>
void forBackground(const Frame& frame, const std::vector<Box>& texts, Check check) {
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            bool inText = false;
            for (const Box& b : texts) inText = inText || b.contains(x, y);
            if (!inText) check(x, y, frame.at(x, y));
        }
    }
}

std::string sizeName(const testing::TestParamInfo<glm::ivec2>& info) {
    return std::to_string(info.param.x) + "x" + std::to_string(info.param.y);
}

// A context of the size under test; everything else as in the fixture.
class SizedGlTest : public testing::TestWithParam<glm::ivec2> {
protected:
    void SetUp() override {
        EffectProbe::useDiskDriver();
        ASSERT_TRUE(ctx.ok()) << "no GL context (run under xvfb-run)";
        resetInput();
        writeFile("message.log", "");
    }
    void TearDown() override {
        EXPECT_EQ(countOf(readLog(), "ERROR"), 0) << readLog();
    }

    GlContext ctx{GetParam().x, GetParam().y};
    BestScore best;
};

const glm::ivec2 kSizes[] = {{1920, 1080}, {1280, 720}};

class GLMenuScreen : public SizedGlTest {};

TEST_P(GLMenuScreen, TitleBestAndTheSelectedEntryOverWhiteStars) {
    HighScore::save(4321);
    BestScore best;
    Menu menu{ctx.font.get()};
    const std::vector<Box> boxes = {
        textBox(ctx, "Vimbrot", 960, 570, 224, true),
        textBox(ctx, "Best 4321", 960, 460, 64, true),
        textBox(ctx, "START", 960, 260, 100, true),
        textBox(ctx, "EXIT", 960, 120, 100, true),
    };
    for (int selection : {0, 1}) {
        SCOPED_TRACE(selection == 0 ? "START selected" : "EXIT selected");
        menu.selection = selection;
        menu.render(ctx.target(), best.value());
        const Frame frame = readFrame(ctx);
        saveScreenshot(ctx, "menu_" + std::to_string(ctx.width) + (selection == 0 ? "_start" : "_exit"));

        EXPECT_GT(countIn(frame, boxes[0], kTitle), 3000 * ctx.width / 1920);
        EXPECT_GT(countIn(frame, boxes[1], kMenuBest), 500 * ctx.width / 1920);
        const Box& chosen = boxes[2 + selection];
        const Box& other = boxes[3 - selection];
        EXPECT_GT(countIn(frame, chosen, kSelected), 1000 * ctx.width / 1920);
        EXPECT_EQ(countIn(frame, chosen, kUnselected), 0);
        EXPECT_GT(countIn(frame, other, kUnselected), 1000 * ctx.width / 1920);
        EXPECT_EQ(countIn(frame, other, kSelected), 0);

        // Around the texts only stars: grey to white on black, none missing.
        long lit = 0;
        long coloured = 0;
        forBackground(frame, boxes, [&](int, int, Rgb p) {
            lit += p.r > 0;
            coloured += p.r != p.g || p.g != p.b;
        });
        EXPECT_EQ(coloured, 0);
        EXPECT_GT(lit, static_cast<long>(frame.width) * frame.height / 2000);
    }
}

INSTANTIATE_TEST_SUITE_P(Windows, GLMenuScreen, testing::ValuesIn(kSizes), sizeName);

struct BestCase {
    const char* name;
    std::int64_t stored;
    std::int64_t score;
    bool bright;
};

void PrintTo(const BestCase& c, std::ostream* os) { *os << c.name; }

const BestCase kBestCases[] = {
    {"NewBestIsBright", 1234, 1234, true},
    {"BelowTheBestIsDim", 2000, 1234, false},
    {"NoScoreAtAllIsBright", 0, 0, true},
};

class GLGameOverScreenTest : public testing::TestWithParam<BestCase> {
protected:
    void SetUp() override {
        EffectProbe::useDiskDriver();
        ASSERT_TRUE(ctx.ok()) << "no GL context (run under xvfb-run)";
        writeFile("message.log", "");
    }

    GlContext ctx{1920, 1080};
};

TEST_P(GLGameOverScreenTest, ScoreAndBestOverRedStars) {
    const BestCase& c = GetParam();
    HighScore::save(c.stored);
    BestScore best;
    GameOver gameOver{ctx.font.get()};
    gameOver.setScore(c.score);
    gameOver.render(ctx.target(), best.value());
    const Frame frame = readFrame(ctx);
    saveScreenshot(ctx, std::string("gameover_") + c.name);

    const std::string score = std::to_string(c.score);
    const std::string bestText = std::to_string(c.stored);
    const std::vector<Box> boxes = {
        textBox(ctx, "Game Over", 960, 570, 200, true), textBox(ctx, "Score", 960, 420, 72, true),
        textBox(ctx, score.c_str(), 960, 300, 100, true), textBox(ctx, "Best", 960, 180, 64, true),
        textBox(ctx, bestText.c_str(), 960, 110, 48, true),
    };
    EXPECT_GT(countIn(frame, boxes[0], kTitle), 3000);
    EXPECT_GT(countIn(frame, boxes[1], kLabel), 500);
    EXPECT_GT(countIn(frame, boxes[2], kDim), 300) << "the score line";
    EXPECT_GT(countIn(frame, boxes[3], kLabel), 400);
    EXPECT_GT(countIn(frame, boxes[4], c.bright ? kBright : kDim), 150) << "the best line";
    EXPECT_EQ(countIn(frame, boxes[4], c.bright ? kDim : kBright), 0) << "the best line";

    long red = 0;
    long notRed = 0;
    forBackground(frame, boxes, [&](int, int, Rgb p) {
        red += p.r > 0 && p.g == 0 && p.b == 0;
        notRed += p.g != 0 || p.b != 0;
    });
    EXPECT_EQ(notRed, 0);
    EXPECT_GT(red, 1000);
    EXPECT_EQ(countOf(readLog(), "ERROR"), 0) << readLog();
}

INSTANTIATE_TEST_SUITE_P(Runs, GLGameOverScreenTest, testing::ValuesIn(kBestCases),
                         [](const testing::TestParamInfo<BestCase>& info) { return std::string(info.param.name); });

class GLGameScreen : public SizedGlTest {
protected:
    // A run a few seconds in: the ship resting on the first plate.
    std::unique_ptr<Game> newGameInARun(int updates) { return newGameInARun(updates, best); }
    std::unique_ptr<Game> newGameInARun(int updates, BestScore& stored) {
        auto game = std::make_unique<Game>(ctx.plates.get(), ctx.font.get(), stored.value());
        for (int i = 0; i < updates; ++i) {
            FrameInput frame = collectFrame(testInput(), ScreenState::Playing, kFrameDt);
            EXPECT_EQ(game->update(frame).next, ScreenState::Playing) << i;
        }
        return game;
    }
};

// Ink of one colour in the top right corner (above y = 690 of 864).
struct Ink {
    long count = 0;
    int minX = 1 << 30, maxX = -1, minY = 1 << 30, maxY = -1;
};

Ink inkTopRight(const Frame& frame, Rgb colour) {
    Ink ink;
    for (int y = frame.height * 690 / 864; y < frame.height; ++y) {
        for (int x = frame.width / 2; x < frame.width; ++x) {
            if (!near(frame.at(x, y), colour)) continue;
            ++ink.count;
            ink.minX = std::min(ink.minX, x);
            ink.maxX = std::max(ink.maxX, x);
            ink.minY = std::min(ink.minY, y);
            ink.maxY = std::max(ink.maxY, y);
        }
    }
    return ink;
}

// Both score lines end at x = 1910 of 1920: the last glyph's cell (8 of its
// 8.53 advance units) ends 1/15 of the height before that. The score line
// stands on y = 760 and is 80 high, the best line on 700 and 40 high.
void expectRightAligned(const GlContext& ctx, const Ink& ink, float baseline, float height, const char* what) {
    SCOPED_TRACE(what);
    ASSERT_GT(ink.count, 50);
    const float px = static_cast<float>(ctx.width) / 1920.0f;
    const float py = static_cast<float>(ctx.height) / 864.0f;
    EXPECT_LE(ink.maxX, (1910.0f - height / 15.0f) * px + 1.0f);
    EXPECT_GE(ink.maxX, (1910.0f - height / 15.0f - 0.1f * height) * px);
    EXPECT_GE(ink.minY, baseline * py - 1.0f);
    EXPECT_LE(ink.maxY, (baseline + height) * py + 1.0f);
    EXPECT_GE(ink.maxY, (baseline + 0.9f * height) * py - 1.0f);
}

TEST_P(GLGameScreen, ScoreAndBestAreRightAlignedAtTheTopRight) {
    HighScore::save(99999);
    BestScore stored;
    auto game = newGameInARun(120, stored);
    game->player->z = 1234.75f;  // the score the corner shows; the road stays where it is
    game->render(ctx.target());
    const Frame dim = readFrame(ctx);

    const Ink score = inkTopRight(dim, kTitle);
    expectRightAligned(ctx, score, 760, 80, "score 1234");
    // Four advances of 8/7.5 x 80 end at 1910; the stroke of the leading 1
    // begins 2.5 of its 8 grid units into the cell.
    EXPECT_NEAR(score.minX,
                (1910.0f - 4.0f * 80.0f * 8.0f / 7.5f + 2.5f * 10.0f) * static_cast<float>(ctx.width) / 1920.0f,
                0.01f * 80.0f * static_cast<float>(ctx.width) / 1920.0f + 1.0f);
    expectRightAligned(ctx, inkTopRight(dim, kDim), 700, 40, "stored best 99999, dim");
    EXPECT_EQ(inkTopRight(dim, kBright).count, 0);

    // Past the stored best the second line shows the score itself, bright.
    game->player->best = 1000;
    game->render(ctx.target());
    const Frame bright = readFrame(ctx);
    saveScreenshot(ctx, "game_score_" + std::to_string(ctx.width));
    expectRightAligned(ctx, inkTopRight(bright, kBright), 700, 40, "score past the best, bright");
    EXPECT_EQ(inkTopRight(bright, kDim).count, 0);
}

TEST_P(GLGameScreen, PauseVeilLeavesTheSceneAt35PercentWithOpaqueTexts) {
    auto game = newGameInARun(150);
    game->render(ctx.target());
    const Frame scene = readFrame(ctx);
    saveScreenshot(ctx, "game_" + std::to_string(ctx.width));

    game->paused = true;
    game->render(ctx.target());
    const Frame paused = readFrame(ctx);
    saveScreenshot(ctx, "paused_" + std::to_string(ctx.width));

    const std::vector<Box> texts = {textBox(ctx, "Paused", 960, 500, 224, true),
                                    textBox(ctx, "RESUME", 960, 260, 80, true)};
    long checked = 0;
    long wrong = 0;
    long bright = 0;
    std::string firstWrong;
    forBackground(paused, texts, [&](int x, int y, Rgb p) {
        const Rgb s = scene.at(x, y);
        ++checked;
        bright += s.r + s.g + s.b > 300;
        for (int i = 0; i < 3; ++i) {
            if (std::abs(p[i] - s[i] * 0.35) <= 1.01) continue;
            if (wrong++ == 0) {
                firstWrong = std::to_string(x) + "," + std::to_string(y) + " channel " + std::to_string(i) + ": " +
                             std::to_string(p[i]) + " under the veil, " + std::to_string(s[i]) + " without";
            }
            return;
        }
    });
    EXPECT_EQ(wrong, 0) << "first: " << firstWrong;
    EXPECT_GT(checked, static_cast<long>(ctx.width) * ctx.height * 8 / 10);
    EXPECT_GT(bright, 1000) << "the scene must have something to dim";

    // The texts are opaque: exactly their colours, whatever lies below.
    EXPECT_GT(countIn(paused, texts[0], kTitle), 3000 * ctx.width / 1920);
    EXPECT_GT(countIn(paused, texts[1], kSelected), 800 * ctx.width / 1920);

    // The frame leaves the GL state as the main loop set it.
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint cull = 0;
    glGetIntegerv(GL_CULL_FACE_MODE, &cull);
    EXPECT_EQ(cull, GL_BACK);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], ctx.width);
    EXPECT_EQ(viewport[3], ctx.height);
}

INSTANTIATE_TEST_SUITE_P(Windows, GLGameScreen, testing::ValuesIn(kSizes), sizeName);

}  // namespace
