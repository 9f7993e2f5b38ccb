// The pause overlay: a Jump or pad Start tap resumes and nothing else does;
// the veil leaves the scene at 35 % brightness with the texts opaque on top.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "game/font.h"
#include "game/pause.h"
#include "game/screenrules.h"
#include "game/stars.h"
#include "gl/frame.h"
#include "support/sandbox.h"

namespace {

int index(Action a) { return static_cast<int>(a); }

TEST(PauseRule, OnlyAJumpOrPadStartTapResumes) {
    InputSnapshot none;
    EXPECT_FALSE(pauseResumes(none));

    for (Action other :
         {Action::Left, Action::Right, Action::Up, Action::Down, Action::Back, Action::ClearLog, Action::PadBack}) {
        InputSnapshot step;
        step.tapped[index(other)] = true;
        step.held[index(Action::Jump)] = true;  // a held key is no tap
        step.held[index(Action::PadStart)] = true;
        EXPECT_FALSE(pauseResumes(step)) << index(other);
        EXPECT_TRUE(step.tapped[index(other)]) << "the pause looks at no other action";
        EXPECT_EQ(step.taken, InputSnapshot{}.taken) << index(other);
    }

    for (Action resume : {Action::Jump, Action::PadStart}) {
        InputSnapshot step;
        step.tapped[index(resume)] = true;
        step.tapped[index(Action::Back)] = true;
        EXPECT_TRUE(pauseResumes(step)) << index(resume);
        EXPECT_FALSE(step.tapped[index(resume)]) << "the tap is used up";
        EXPECT_TRUE(step.taken[index(resume)]);
        EXPECT_TRUE(step.tapped[index(Action::Back)]);
        EXPECT_FALSE(step.taken[index(Action::Back)]);
        EXPECT_FALSE(pauseResumes(step)) << "one tap resumes once";
    }

    // Both taps of one step are taken, so neither is left to pause again.
    InputSnapshot both;
    both.tapped[index(Action::Jump)] = true;
    both.tapped[index(Action::PadStart)] = true;
    EXPECT_TRUE(pauseResumes(both));
    EXPECT_TRUE(both.taken[index(Action::Jump)]);
    EXPECT_TRUE(both.taken[index(Action::PadStart)]);
    EXPECT_FALSE(both.tapped[index(Action::PadStart)]);
}

struct Rgb {
    float r, g, b;
};

// The overlay exactly as the running game draws it after its scene.
void drawOverlay(Pause& pause) {
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    pause.render();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
}

void expectColour(glm::ivec3 p, Rgb c, double tolerance, const char* what) {
    EXPECT_NEAR(p.r, c.r * 255.0, tolerance) << what;
    EXPECT_NEAR(p.g, c.g * 255.0, tolerance) << what;
    EXPECT_NEAR(p.b, c.b * 255.0, tolerance) << what;
}

TEST(GLPause, VeilDimsTheSceneAndTextStaysOpaque) {
    GlContext ctx(1280, 720);
    ASSERT_TRUE(ctx.ok());
    Pause pause{ctx.font.get()};
    const Rgb scene{0.8f, 0.6f, 0.4f};
    glClearColor(scene.r, scene.g, scene.b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawOverlay(pause);
    Frame frame = readFrame(ctx);
    saveScreenshot(ctx, "pause_flat");

    const Rgb dimmed{scene.r * 0.35f, scene.g * 0.35f, scene.b * 0.35f};
    expectColour(frame.at(10, 10), dimmed, 1.5, "corner");
    expectColour(frame.at(1270, 710), dimmed, 1.5, "corner");
    expectColour(frame.at(640, 50), dimmed, 1.5, "below the texts");

    // "Paused" is 30.18 x 224 / 7.5 wide, so it starts at 960 - 450.69; the
    // stem of its P fills x 0.5 to 1 of the cell four grid units up.
    glm::vec2 p = textToPixel(ctx, 509.31f + 0.75f * 28.0f, 500.0f + 4.0f * 28.0f);
    expectColour(frame.at(static_cast<int>(p.x), static_cast<int>(p.y)), {0.2f, 0.5f, 0.26f}, 1.0, "Paused");
    // "RESUME" is 512 wide and starts at 704; the R stem and its bowl meet at
    // x 0.75, four grid units (of 10) up.
    glm::vec2 r = textToPixel(ctx, 704.0f + 0.75f * 10.0f, 260.0f + 4.0f * 10.0f);
    expectColour(frame.at(static_cast<int>(r.x), static_cast<int>(r.y)), {0.5f, 0.5f, 0.75f}, 1.0, "RESUME");

    // Every pixel is the dimmed scene, one of the two text colours, or an
    // anti-aliased edge between them: the veil never brightens anything.
    long titleInk = 0;
    long entryInk = 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            glm::ivec3 q = frame.at(x, y);
            titleInk += std::abs(q.r - 51) <= 1 && std::abs(q.g - 128) <= 1 && std::abs(q.b - 66) <= 1;
            entryInk += std::abs(q.r - 128) <= 1 && std::abs(q.g - 128) <= 1 && std::abs(q.b - 191) <= 1;
            ASSERT_LE(q.r, 130) << x << "," << y;
        }
    }
    EXPECT_GT(titleInk, 2000);
    EXPECT_GT(entryInk, 300);
    EXPECT_EQ(countOf(readLog(), "ERROR"), 0) << readLog();
}

TEST(GLPause, OverlayOnAStarField) {
    // For the eye: the overlay over the game's background.
    GlContext ctx(1280, 720);
    ASSERT_TRUE(ctx.ok());
    Stars stars;
    Pause pause{ctx.font.get()};
    glClearColor(0.58f, 0.67f, 0.83f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    stars.render(1.0f, ctx.width);
    glEnable(GL_DEPTH_TEST);
    Frame before = readFrame(ctx);
    drawOverlay(pause);
    Frame after = readFrame(ctx);
    saveScreenshot(ctx, "pause_stars");

    // A lit star away from the texts keeps 35 % of its brightness.
    int checked = 0;
    for (int y = 0; y < 150 && checked < 50; ++y) {
        for (int x = 0; x < ctx.width && checked < 50; ++x) {
            int v = before.at(x, y).r;
            if (v < 100) continue;
            EXPECT_NEAR(after.at(x, y).r, v * 0.35, 1.5) << x << "," << y;
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
    // The GL state the game expects after the overlay is restored by the caller.
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

struct FailureCase {
    const char* name;
    const char* message;
    // Given a font without GL objects, so that making it calls no GL.
    void (*construct)(Font& glyphs);
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

const FailureCase kFailureCases[] = {
    {"stars", "Failed to init stars: VBO generation", [](Font&) { Stars stars; }},
    {"pause", "Failed to init pause: VBO generation", [](Font& glyphs) { Pause pause{glyphs}; }},
    {"text", "Failed to init text: VBO generation", [](Font&) { (void)Font::withGlObjects(); }},
};

class GLScreenQuadFailure : public testing::TestWithParam<FailureCase> {};

// The upload check reads glGetError, so an error left pending before the
// construction is reported there and the construction is refused.
TEST_P(GLScreenQuadFailure, PendingGlErrorStopsConstructionWithALoggedReason) {
    GlContext ctx(1280, 720);
    ASSERT_TRUE(ctx.ok());
    Font glyphs;
    glEnable(0x7FFF);  // not a capability: GL_INVALID_ENUM stays pending
    EXPECT_THROW(GetParam().construct(glyphs), std::exception);
    std::string log = readLog();
    EXPECT_EQ(countOf(log, GetParam().message), 1) << log;
}

INSTANTIATE_TEST_SUITE_P(Renderers, GLScreenQuadFailure, testing::ValuesIn(kFailureCases),
                         [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

}  // namespace
