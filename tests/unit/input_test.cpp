#include <gtest/gtest.h>

#include <GLFW/glfw3.h>

#include <utility>

#include "game/input.h"

namespace {

class Keys : public testing::Test {
protected:
    void SetUp() override {
        Input& input = Input::instance();
        input.held.fill(false);
        input.pressTime.fill(0.0);
        input.pending.fill(0);
        input.releaseFrames = 3;
    }

    static void press(int key) { keyCallback(nullptr, key, 0, GLFW_PRESS, 0); }
    static void release(int key) { keyCallback(nullptr, key, 0, GLFW_RELEASE, 0); }
    static void repeat(int key) { keyCallback(nullptr, key, 0, GLFW_REPEAT, 0); }
    static void tap(int key) {
        press(key);
        release(key);
    }

    Input& input = Input::instance();
};

TEST_F(Keys, EveryBoundKeyDrivesItsActionOnly) {
    const std::pair<int, Action> bindings[] = {
        {GLFW_KEY_A, Action::Left},      {GLFW_KEY_LEFT, Action::Left},   {GLFW_KEY_D, Action::Right},
        {GLFW_KEY_RIGHT, Action::Right}, {GLFW_KEY_W, Action::Up},        {GLFW_KEY_UP, Action::Up},
        {GLFW_KEY_S, Action::Down},      {GLFW_KEY_DOWN, Action::Down},   {GLFW_KEY_SPACE, Action::Jump},
        {GLFW_KEY_J, Action::Jump},      {GLFW_KEY_ENTER, Action::Jump},  {GLFW_KEY_ESCAPE, Action::Back},
        {GLFW_KEY_F12, Action::ClearLog},
    };
    for (auto [key, action] : bindings) {
        SCOPED_TRACE(key);
        SetUp();
        press(key);
        for (int a = 0; a < kActionCount; ++a) {
            EXPECT_EQ(input.isHeld(static_cast<Action>(a)), a == static_cast<int>(action)) << "action " << a;
        }
        release(key);
        for (int a = 0; a < kActionCount; ++a) {
            EXPECT_EQ(input.pending[a], a == static_cast<int>(action) ? 3 : 0) << "action " << a;
        }
        EXPECT_FALSE(input.isHeld(action));
    }
}

TEST_F(Keys, UnboundKeysAndRepeatsChangeNothing) {
    press(GLFW_KEY_SPACE);
    input.pressTime[static_cast<int>(Action::Jump)] = 5.0;
    input.pending[static_cast<int>(Action::Back)] = 2;
    const Input before = input;

    const int unbound[] = {GLFW_KEY_UNKNOWN, GLFW_KEY_KP_ENTER, GLFW_KEY_Q, GLFW_KEY_F11, GLFW_KEY_LEFT_SHIFT, 0, 1000};
    for (int key : unbound) {
        press(key);
        release(key);
    }
    repeat(GLFW_KEY_SPACE);
    repeat(GLFW_KEY_ESCAPE);
    repeat(GLFW_KEY_A);

    EXPECT_EQ(input.held, before.held);
    EXPECT_EQ(input.pressTime, before.pressTime);
    EXPECT_EQ(input.pending, before.pending);
}

TEST_F(Keys, TapsAgeOutAfterReleaseFramesTicks) {
    // With releaseFrames 3, a tap survives two game updates and is gone at the third.
    const std::pair<int, bool> cases[] = {{0, true}, {1, true}, {2, true}, {3, false}, {10, false}};
    for (auto [ticks, consumable] : cases) {
        SCOPED_TRACE(ticks);
        tap(GLFW_KEY_ESCAPE);
        for (int i = 0; i < ticks; ++i) input.tick();
        EXPECT_EQ(input.consumeTap(Action::Back), consumable);
        EXPECT_FALSE(input.consumeTap(Action::Back));  // reported once only
        EXPECT_EQ(input.pending[static_cast<int>(Action::Back)], 0);
    }

    // Without ticks (menu, game over) a tap waits indefinitely.
    tap(GLFW_KEY_F12);
    EXPECT_TRUE(input.consumeTap(Action::ClearLog));

    // Ticking never takes a counter below zero, and releaseFrames is what a
    // release sets.
    for (int i = 0; i < 5; ++i) input.tick();
    EXPECT_EQ(input.pending, (std::array<int, kActionCount>{}));
    input.releaseFrames = 7;
    tap(GLFW_KEY_J);
    EXPECT_EQ(input.pending[static_cast<int>(Action::Jump)], 7);
}

TEST_F(Keys, TapCountsOnReleaseAndAPressCancelsIt) {
    press(GLFW_KEY_SPACE);
    for (int i = 0; i < 5; ++i) repeat(GLFW_KEY_SPACE);
    EXPECT_FALSE(input.consumeTap(Action::Jump));  // holding is no tap
    release(GLFW_KEY_SPACE);
    press(GLFW_KEY_ENTER);  // same action pressed again before the tap was read
    EXPECT_FALSE(input.consumeTap(Action::Jump));
    release(GLFW_KEY_ENTER);
    EXPECT_TRUE(input.consumeTap(Action::Jump));
}

TEST_F(Keys, TwoKeysShareOneActionEntry) {
    press(GLFW_KEY_A);
    press(GLFW_KEY_LEFT);
    EXPECT_TRUE(input.isHeld(Action::Left));
    release(GLFW_KEY_A);
    // The arrow is still down, but the action's one entry says up.
    EXPECT_FALSE(input.isHeld(Action::Left));
    EXPECT_TRUE(input.consumeTap(Action::Left));
    release(GLFW_KEY_LEFT);
    EXPECT_TRUE(input.consumeTap(Action::Left));
}

TEST_F(Keys, HeldOverComparesPressTimes) {
    const int left = static_cast<int>(Action::Left);
    const int right = static_cast<int>(Action::Right);
    struct Case {
        bool leftHeld, rightHeld;
        double leftTime, rightTime;
        bool leftWins, rightWins;
    };
    const Case cases[] = {
        {false, false, 1.0, 2.0, false, false},
        {true, false, 1.0, 2.0, true, false},   // the other is up: older press still wins
        {false, true, 3.0, 2.0, false, true},
        {true, true, 1.0, 2.0, false, true},    // later press wins
        {true, true, 2.0, 1.0, true, false},
        {true, true, 1.5, 1.5, false, false},   // equal times: neither wins
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.leftHeld << c.rightHeld << " " << c.leftTime << " " << c.rightTime);
        input.held[left] = c.leftHeld;
        input.held[right] = c.rightHeld;
        input.pressTime[left] = c.leftTime;
        input.pressTime[right] = c.rightTime;
        EXPECT_EQ(input.isHeldOver(Action::Left, Action::Right), c.leftWins);
        EXPECT_EQ(input.isHeldOver(Action::Right, Action::Left), c.rightWins);
    }
}

// Presses stamp the GLFW clock: the key pressed last steers, and releasing it
// hands steering back to the key still down.
TEST_F(Keys, LaterPressSteersUntilReleased) {
    if (!glfwInit()) GTEST_SKIP() << "GLFW needs a display for its clock";
    press(GLFW_KEY_A);
    const double leftTime = input.pressTime[static_cast<int>(Action::Left)];
    EXPECT_GT(leftTime, 0.0);
    while (glfwGetTime() == leftTime) {
    }
    press(GLFW_KEY_RIGHT);
    EXPECT_TRUE(input.isHeldOver(Action::Right, Action::Left));
    EXPECT_FALSE(input.isHeldOver(Action::Left, Action::Right));
    repeat(GLFW_KEY_A);  // a repeat is no new press
    EXPECT_EQ(input.pressTime[static_cast<int>(Action::Left)], leftTime);
    EXPECT_TRUE(input.isHeldOver(Action::Right, Action::Left));
    release(GLFW_KEY_RIGHT);
    EXPECT_TRUE(input.isHeldOver(Action::Left, Action::Right));
    EXPECT_FALSE(input.isHeldOver(Action::Right, Action::Left));
    glfwTerminate();
}

}  // namespace
