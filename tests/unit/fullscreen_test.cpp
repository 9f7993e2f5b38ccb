// Fullscreen without a window: where the picture lands on a screen and how
// it is filtered, which monitor a window is on, and the keys that ask for
// the switch (F11, Alt+Enter) without ever making a Jump.
#include <gtest/gtest.h>

#include "game/presenter.h"  // epoxy before GLFW's own GL header

#include <GLFW/glfw3.h>

#include <vector>

#include "game/displaymode.h"
#include "game/input.h"

namespace {

struct FitCase {
    const char* name;
    int pictureWidth, pictureHeight, screenWidth, screenHeight;
    ScreenRect expected;
};

const FitCase kFits[] = {
    // Bars above and below.
    {"1280x720 on 1920x1200", 1280, 720, 1920, 1200, {0, 60, 1920, 1080}},
    {"1280x720 on 1280x1024", 1280, 720, 1280, 1024, {0, 152, 1280, 720}},
    {"1920x1080 on 2560x1600", 1920, 1080, 2560, 1600, {0, 80, 2560, 1440}},
    {"1920x1080 on 1920x1200", 1920, 1080, 1920, 1200, {0, 60, 1920, 1080}},
    {"1280x720 on 800x600, smaller", 1280, 720, 800, 600, {0, 75, 800, 450}},
    // Bars left and right.
    {"1280x720 on 2560x1080", 1280, 720, 2560, 1080, {320, 0, 1920, 1080}},
    {"1920x1080 on 3440x1440", 1920, 1080, 3440, 1440, {440, 0, 2560, 1440}},
    // The same shape: no bar at all, whatever the scale.
    {"1280x720 on 1920x1080", 1280, 720, 1920, 1080, {0, 0, 1920, 1080}},
    {"1920x1080 on 3840x2160", 1920, 1080, 3840, 2160, {0, 0, 3840, 2160}},
    {"1280x720 on 1280x720", 1280, 720, 1280, 720, {0, 0, 1280, 720}},
    // An odd pixel left over goes to the top bar; sizes round to nearest.
    {"1280x720 on 1280x1025", 1280, 720, 1280, 1025, {0, 152, 1280, 720}},
    {"1280x720 on 1366x768", 1280, 720, 1366, 768, {0, 0, 1365, 768}},
    {"1280x720 on 1000x1000", 1280, 720, 1000, 1000, {0, 218, 1000, 563}},
    // Nothing to fit: the whole screen, never a negative size.
    {"no screen", 1280, 720, 0, 0, {0, 0, 0, 0}},
    {"no picture", 0, 0, 800, 600, {0, 0, 800, 600}},
};

TEST(FitPicture, KeepsTheAspectCentredWithBars) {
    for (const FitCase& c : kFits) {
        SCOPED_TRACE(c.name);
        const ScreenRect r = fitPicture(c.pictureWidth, c.pictureHeight, c.screenWidth, c.screenHeight);
        EXPECT_EQ(r.x, c.expected.x);
        EXPECT_EQ(r.y, c.expected.y);
        EXPECT_EQ(r.width, c.expected.width);
        EXPECT_EQ(r.height, c.expected.height);
        // Inside the screen, and bars of equal size but for one pixel.
        EXPECT_GE(r.x, 0);
        EXPECT_GE(r.y, 0);
        EXPECT_LE(r.x + r.width, c.screenWidth);
        EXPECT_LE(r.y + r.height, c.screenHeight);
        EXPECT_LE(c.screenWidth - r.width - 2 * r.x, 1);
        EXPECT_LE(c.screenHeight - r.height - 2 * r.y, 1);
    }
}

TEST(FitPicture, FilterFollowsTheScale) {
    EXPECT_EQ(filterFor(1280, 720, {0, 152, 1280, 720}), PresentFilter::Copy);
    EXPECT_EQ(filterFor(1280, 720, {0, 60, 1920, 1080}), PresentFilter::Bilinear);
    EXPECT_EQ(filterFor(1920, 1080, {0, 80, 2560, 1440}), PresentFilter::Bilinear);
    EXPECT_EQ(filterFor(1280, 720, {0, 75, 800, 450}), PresentFilter::AreaMean);
    EXPECT_EQ(filterFor(1920, 1080, {0, 0, 1366, 768}), PresentFilter::AreaMean);
}

TEST(MonitorAt, TheMonitorHoldingThePointElseTheNearest) {
    // Two monitors side by side, the second smaller and lower; one left
    // out by having no mode.
    const std::vector<MonitorArea> monitors = {{0, 0, 1920, 1200}, {1920, 300, 1280, 1024}, {5000, 0, 0, 0}};
    struct Case {
        int x, y, expected;
    } cases[] = {
        {960, 600, 0},    {0, 0, 0},       {1919, 1199, 0},  // inside the first, to its last pixel
        {1920, 300, 1},   {2560, 800, 1},  {3199, 1323, 1},  // inside the second
        {1920, 100, 0},                                       // beside the second's top: the first is nearer
        {3300, 800, 1},   {-50, 600, 0},   {2500, 2000, 1},  // off every monitor: the nearest
        {5000, 0, 1},                                         // the empty one is never chosen
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.x << ", " << c.y << ")");
        EXPECT_EQ(monitorAt(monitors, c.x, c.y), c.expected);
    }
    EXPECT_EQ(monitorAt({}, 0, 0), -1);
}

class DisplayKeys : public testing::Test {
protected:
    void SetUp() override {
        input = Input{};
        input.releaseFrames = 3;
        events.takeCommands();
    }

    void key(int key, int action, int mods = 0) { events.key(key, action, mods, 0.0); }
    int takeDisplayToggles() { return events.takeCommands().displayToggles; }
    int jumpTap() const { return input.pending[static_cast<int>(Action::Jump)]; }
    bool jumpHeld() const { return input.isHeld(Action::Jump); }

    Input input;
    WindowEvents events{input};
};

TEST_F(DisplayKeys, F11AsksOnceAndIsNoAction) {
    key(GLFW_KEY_F11, GLFW_PRESS);
    key(GLFW_KEY_F11, GLFW_REPEAT);
    key(GLFW_KEY_F11, GLFW_RELEASE);
    EXPECT_EQ(takeDisplayToggles(), 1);
    EXPECT_EQ(takeDisplayToggles(), 0);
    EXPECT_EQ(input.held, (std::array<bool, kActionCount>{}));
    EXPECT_EQ(input.pending, (std::array<int, kActionCount>{}));
}

TEST_F(DisplayKeys, EveryPressWithinAFrameCounts) {
    // A storm of presses between two frames: each one is a switch, so an
    // even number ends where it began and an odd one in the other mode.
    for (int presses : {1, 2, 3, 200}) {
        SCOPED_TRACE(presses);
        for (int i = 0; i < presses; ++i) {
            key(i % 2 == 0 ? GLFW_KEY_F11 : GLFW_KEY_ENTER, GLFW_PRESS, i % 2 == 0 ? 0 : GLFW_MOD_ALT);
            key(i % 2 == 0 ? GLFW_KEY_F11 : GLFW_KEY_ENTER, GLFW_RELEASE, i % 2 == 0 ? 0 : GLFW_MOD_ALT);
        }
        EXPECT_EQ(takeDisplayToggles(), presses);
    }
    EXPECT_EQ(input.pending, (std::array<int, kActionCount>{})) << "no press was a Jump";
}

TEST_F(DisplayKeys, AltEnterAsksAndNeverMakesAJump) {
    // The orders a player's fingers may take: Enter up first, Alt up first,
    // and held long enough to repeat.
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> events;  // (action, mods) of Enter
    } cases[] = {
        {"Enter up, then Alt", {{GLFW_PRESS, GLFW_MOD_ALT}, {GLFW_RELEASE, GLFW_MOD_ALT}}},
        {"Alt up, then Enter", {{GLFW_PRESS, GLFW_MOD_ALT}, {GLFW_RELEASE, 0}}},
        {"repeats", {{GLFW_PRESS, GLFW_MOD_ALT}, {GLFW_REPEAT, GLFW_MOD_ALT}, {GLFW_REPEAT, 0}, {GLFW_RELEASE, 0}}},
        {"with Shift too", {{GLFW_PRESS, GLFW_MOD_ALT | GLFW_MOD_SHIFT}, {GLFW_RELEASE, GLFW_MOD_SHIFT}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        for (auto [action, mods] : c.events) {
            key(GLFW_KEY_ENTER, action, mods);
            EXPECT_FALSE(jumpHeld());
        }
        EXPECT_EQ(takeDisplayToggles(), 1);
        EXPECT_EQ(jumpTap(), 0);
        // The next Enter without Alt is a Jump again.
        key(GLFW_KEY_ENTER, GLFW_PRESS);
        EXPECT_TRUE(jumpHeld());
        key(GLFW_KEY_ENTER, GLFW_RELEASE);
        EXPECT_EQ(jumpTap(), 3);
        EXPECT_EQ(takeDisplayToggles(), 0);
    }
}

TEST_F(DisplayKeys, EnterDownBeforeAltStaysAJump) {
    // Enter went down alone: Alt arriving before it goes up changes nothing.
    key(GLFW_KEY_ENTER, GLFW_PRESS);
    key(GLFW_KEY_ENTER, GLFW_RELEASE, GLFW_MOD_ALT);
    EXPECT_FALSE(jumpHeld());
    EXPECT_EQ(jumpTap(), 3);
    EXPECT_EQ(takeDisplayToggles(), 0);
    // Alt with Space or J is still a Jump: only Enter is taken.
    key(GLFW_KEY_SPACE, GLFW_PRESS, GLFW_MOD_ALT);
    EXPECT_TRUE(jumpHeld());
    EXPECT_EQ(takeDisplayToggles(), 0);
}

}  // namespace
