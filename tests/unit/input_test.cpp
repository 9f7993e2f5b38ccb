#include <gtest/gtest.h>

#include <GLFW/glfw3.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "game/input.h"

namespace {

// One change of a key, a pad button or the stick's x (code -1: full left).
struct Event {
    enum Device { Key, Pad, Stick, Unplug } device;
    int code;
    bool down;
    double time;
};

class Keys : public testing::Test {
protected:
    void SetUp() override {
        // A fresh table, as the process starts with one.
        input = Input{};
        input.releaseFrames = 3;
    }

    WindowEvents& events() { return recorded; }
    void press(int key) { events().key(key, GLFW_PRESS, 0, glfwGetTime()); }
    void release(int key) { events().key(key, GLFW_RELEASE, 0, glfwGetTime()); }
    void repeat(int key) { events().key(key, GLFW_REPEAT, 0, glfwGetTime()); }
    void tap(int key) {
        press(key);
        release(key);
    }

    // The table the window's events are recorded into, as the
    // application's.
    Input input;
    WindowEvents recorded{input};
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

// The gamepad reaches the table through Input::applyGamepad, one state per
// frame; here the states are made by hand, as no pad can be plugged in.
class Pad : public Keys {
protected:
    void SetUp() override {
        Keys::SetUp();
        state = GamepadState{};
        state.connected = true;
    }

    void frame(double time = 1.0) { input.applyGamepad(state, time); }
    void button(int b, bool down, double time = 1.0) {
        state.buttons[b] = down;
        frame(time);
    }
    void stick(float x, float y, double time = 1.0) {
        state.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = x;
        state.axes[GLFW_GAMEPAD_AXIS_LEFT_Y] = y;
        frame(time);
    }

    GamepadState state;
};

TEST_F(Pad, EveryPadControlDrivesItsActionOnly) {
    struct Case {
        const char* name;
        int button;   // -1: the stick instead
        float x, y;   // the stick's position
        int action;   // -1: no action at all
    };
    const Case cases[] = {
        {"d-pad left", GLFW_GAMEPAD_BUTTON_DPAD_LEFT, 0, 0, int(Action::Left)},
        {"d-pad right", GLFW_GAMEPAD_BUTTON_DPAD_RIGHT, 0, 0, int(Action::Right)},
        {"d-pad up", GLFW_GAMEPAD_BUTTON_DPAD_UP, 0, 0, int(Action::Up)},
        {"d-pad down", GLFW_GAMEPAD_BUTTON_DPAD_DOWN, 0, 0, int(Action::Down)},
        {"stick left", -1, -1.0f, 0, int(Action::Left)},
        {"stick right", -1, 1.0f, 0, int(Action::Right)},
        {"stick up", -1, 0, -1.0f, int(Action::Up)},
        {"stick down", -1, 0, 1.0f, int(Action::Down)},
        {"A", GLFW_GAMEPAD_BUTTON_A, 0, 0, int(Action::Jump)},
        {"Start", GLFW_GAMEPAD_BUTTON_START, 0, 0, int(Action::PadStart)},
        {"B", GLFW_GAMEPAD_BUTTON_B, 0, 0, int(Action::PadBack)},
        {"X", GLFW_GAMEPAD_BUTTON_X, 0, 0, -1},
        {"Y", GLFW_GAMEPAD_BUTTON_Y, 0, 0, -1},
        {"Back", GLFW_GAMEPAD_BUTTON_BACK, 0, 0, -1},
        {"Guide", GLFW_GAMEPAD_BUTTON_GUIDE, 0, 0, -1},
        {"left bumper", GLFW_GAMEPAD_BUTTON_LEFT_BUMPER, 0, 0, -1},
        {"right thumb", GLFW_GAMEPAD_BUTTON_RIGHT_THUMB, 0, 0, -1},
        {"stick inside half its travel", -1, -0.5f, 0.5f, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        if (c.button >= 0) {
            button(c.button, true, 2.0);
        } else {
            stick(c.x, c.y, 2.0);
        }
        for (int a = 0; a < kActionCount; ++a) {
            EXPECT_EQ(input.held[a], a == c.action) << "action " << a;
            EXPECT_EQ(input.pressTime[a], a == c.action ? 2.0 : 0.0) << "action " << a;
        }
        frame(3.0);  // held on: no new press
        if (c.action >= 0) {
            EXPECT_EQ(input.pressTime[c.action], 2.0);
        }
        if (c.button >= 0) {
            button(c.button, false);
        } else {
            stick(0, 0);
        }
        for (int a = 0; a < kActionCount; ++a) {
            EXPECT_FALSE(input.held[a]) << "action " << a;
            EXPECT_EQ(input.pending[a], a == c.action ? 3 : 0) << "a release is one tap, action " << a;
        }
    }
}

TEST_F(Pad, RightStickAndTriggersAreNotBound) {
    for (int axis : {GLFW_GAMEPAD_AXIS_RIGHT_X, GLFW_GAMEPAD_AXIS_RIGHT_Y, GLFW_GAMEPAD_AXIS_LEFT_TRIGGER,
                     GLFW_GAMEPAD_AXIS_RIGHT_TRIGGER}) {
        for (float v : {-1.0f, 1.0f}) {
            state.axes[axis] = v;
            frame();
            EXPECT_EQ(input.held, decltype(input.held){}) << axis << " " << v;
            state.axes[axis] = 0;
            frame();
        }
    }
    EXPECT_EQ(input.pending, decltype(input.pending){});
}

TEST_F(Pad, StickPressesPastHalfAndLetsGoOnlyBelowTheHysteresis) {
    // The stick's x over successive frames, and whether Right is held after
    // each: down past 0.5, up again only under 0.4.
    const std::pair<float, bool> frames[] = {
        {0.3f, false}, {0.5f, false}, {0.51f, true}, {0.45f, true}, {0.49f, true},  {0.41f, true},
        {0.39f, false}, {0.45f, false}, {0.5f, false}, {0.9f, true}, {0.42f, true}, {-0.2f, false},
    };
    int presses = 0, taps = 0;
    double time = 1.0;
    for (auto [x, heldAfter] : frames) {
        SCOPED_TRACE(x);
        const bool was = input.isHeld(Action::Right);
        stick(x, 0.0f, time += 1.0);
        EXPECT_EQ(input.isHeld(Action::Right), heldAfter);
        if (!was && heldAfter) ++presses;
        if (input.consumeTap(Action::Right)) ++taps;
        EXPECT_FALSE(input.isHeld(Action::Left));
    }
    EXPECT_EQ(presses, 2);
    EXPECT_EQ(taps, 2);

    // The same on the left and on the vertical axis.
    stick(-0.6f, 0.6f);
    EXPECT_TRUE(input.isHeld(Action::Left));
    EXPECT_TRUE(input.isHeld(Action::Down));
    stick(-0.45f, 0.45f);
    EXPECT_TRUE(input.isHeld(Action::Left));
    EXPECT_TRUE(input.isHeld(Action::Down));
    stick(-0.35f, 0.35f);
    EXPECT_FALSE(input.isHeld(Action::Left));
    EXPECT_FALSE(input.isHeld(Action::Down));
}

TEST_F(Pad, DpadAndStickTogetherAreOneControl) {
    button(GLFW_GAMEPAD_BUTTON_DPAD_LEFT, true, 2.0);
    stick(-1.0f, 0.0f, 3.0);
    EXPECT_EQ(input.pressTime[int(Action::Left)], 2.0) << "the stick joining in is no new press";
    button(GLFW_GAMEPAD_BUTTON_DPAD_LEFT, false);
    EXPECT_TRUE(input.isHeld(Action::Left)) << "the stick still holds it";
    EXPECT_FALSE(input.consumeTap(Action::Left));
    stick(0.0f, 0.0f);
    EXPECT_FALSE(input.isHeld(Action::Left));
    EXPECT_TRUE(input.consumeTap(Action::Left));
}

TEST_F(Pad, KeysAndPadMixAndTheLaterPressWins) {
    press(GLFW_KEY_LEFT);
    input.pressTime[int(Action::Left)] = 5.0;
    button(GLFW_GAMEPAD_BUTTON_DPAD_RIGHT, true, 6.0);
    EXPECT_TRUE(input.isHeldOver(Action::Right, Action::Left));
    EXPECT_FALSE(input.isHeldOver(Action::Left, Action::Right));
    button(GLFW_GAMEPAD_BUTTON_DPAD_RIGHT, false);
    EXPECT_TRUE(input.isHeldOver(Action::Left, Action::Right)) << "the key still steers left";

    // The other way round: the pad first, the key later.
    stick(-1.0f, 0.0f, 7.0);
    press(GLFW_KEY_D);
    input.pressTime[int(Action::Right)] = 8.0;
    EXPECT_TRUE(input.isHeldOver(Action::Right, Action::Left));

    // Holding Jump on both: the pad letting go makes a tap, and the key
    // still holds the action.
    press(GLFW_KEY_SPACE);
    button(GLFW_GAMEPAD_BUTTON_A, true);
    button(GLFW_GAMEPAD_BUTTON_A, false);
    EXPECT_TRUE(input.isHeld(Action::Jump));
    EXPECT_TRUE(input.consumeTap(Action::Jump));
    release(GLFW_KEY_SPACE);
    EXPECT_FALSE(input.isHeld(Action::Jump));
}

TEST_F(Pad, PadTapsAgeLikeKeyTaps) {
    for (int ticks : {0, 1, 2, 3}) {
        SCOPED_TRACE(ticks);
        button(GLFW_GAMEPAD_BUTTON_START, true);
        button(GLFW_GAMEPAD_BUTTON_START, false);
        for (int i = 0; i < ticks; ++i) input.tick();
        EXPECT_EQ(input.consumeTap(Action::PadStart), ticks < 3);
        EXPECT_FALSE(input.consumeTap(Action::Back)) << "the pad never makes an Escape tap";
    }
}

TEST_F(Pad, UnpluggingLetsGoWithoutTapsAndPluggingInPicksUp) {
    button(GLFW_GAMEPAD_BUTTON_A, true);
    stick(1.0f, 0.0f);
    ASSERT_TRUE(input.isHeld(Action::Jump));
    ASSERT_TRUE(input.isHeld(Action::Right));
    input.applyGamepad(GamepadState{}, 2.0);  // unplugged
    EXPECT_FALSE(input.isHeld(Action::Jump));
    EXPECT_FALSE(input.isHeld(Action::Right));
    EXPECT_EQ(input.pending, decltype(input.pending){});

    frame(3.0);  // plugged in again with A and the stick still down
    EXPECT_TRUE(input.isHeld(Action::Jump));
    EXPECT_EQ(input.pressTime[int(Action::Jump)], 3.0);
    EXPECT_TRUE(input.isHeld(Action::Right));
}

TEST_F(Pad, FocusLossReleasesEverythingWithoutTapsOnce) {
    struct Case {
        const char* name;
        void (*lose)(WindowEvents&);
        void (*regain)(WindowEvents&);
    };
    const Case cases[] = {
        {"focus", [](WindowEvents& events) { events.focus(false); }, [](WindowEvents& events) { events.focus(true); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        press(GLFW_KEY_SPACE);
        press(GLFW_KEY_RIGHT);
        button(GLFW_GAMEPAD_BUTTON_DPAD_LEFT, true);
        input.pending[int(Action::Up)] = 2;  // a tap made before the loss stays

        c.lose(events());
        EXPECT_EQ(input.held, decltype(input.held){});
        // GLFW then releases the keys it saw held: still no taps, so no
        // Jump tap can resume the pause the loss brings.
        release(GLFW_KEY_SPACE);
        release(GLFW_KEY_RIGHT);
        EXPECT_EQ(input.pending[int(Action::Jump)], 0);
        EXPECT_EQ(input.pending[int(Action::Right)], 0);
        EXPECT_EQ(input.pending[int(Action::Left)], 0);
        EXPECT_EQ(input.pending[int(Action::Up)], 2);
        EXPECT_TRUE(input.takeInterruption());
        EXPECT_FALSE(input.takeInterruption()) << "reported once";

        c.regain(events());
        EXPECT_FALSE(input.takeInterruption()) << "getting the window back is no interruption";
        tap(GLFW_KEY_ENTER);
        EXPECT_TRUE(input.consumeTap(Action::Jump)) << "taps count again once the window is back";
    }
}


// An action stays held while any of its keys or its pad control is down; every
// release still makes a tap, and every press stamps the press time.
struct HeldCase {
    const char* name;
    std::vector<Event> events;
    Action action;
    bool held;
    int pending;
    double pressTime;
};

void PrintTo(const HeldCase& c, std::ostream* os) { *os << c.name; }

const HeldCase kHeldCases[] = {
    {"AAndLeftArrowHeldThenALetGo", {{Event::Key, GLFW_KEY_A, true, 1.0}, {Event::Key, GLFW_KEY_LEFT, true, 2.0},
                                     {Event::Key, GLFW_KEY_A, false, 3.0}},
     Action::Left, true, 3, 2.0},
    {"ArrowLetGoWhileAHeld", {{Event::Key, GLFW_KEY_A, true, 1.0}, {Event::Key, GLFW_KEY_LEFT, true, 2.0},
                              {Event::Key, GLFW_KEY_LEFT, false, 3.0}},
     Action::Left, true, 3, 2.0},
    {"BothLetGo", {{Event::Key, GLFW_KEY_A, true, 1.0}, {Event::Key, GLFW_KEY_LEFT, true, 2.0},
                   {Event::Key, GLFW_KEY_LEFT, false, 3.0}, {Event::Key, GLFW_KEY_A, false, 4.0}},
     Action::Left, false, 3, 2.0},
    {"TwoOfThreeJumpKeysLetGo", {{Event::Key, GLFW_KEY_SPACE, true, 1.0}, {Event::Key, GLFW_KEY_J, true, 2.0},
                                 {Event::Key, GLFW_KEY_ENTER, true, 3.0}, {Event::Key, GLFW_KEY_J, false, 4.0},
                                 {Event::Key, GLFW_KEY_SPACE, false, 5.0}},
     Action::Jump, true, 3, 3.0},
    {"DpadLeftLetGoWhileTheLeftKeyHeld", {{Event::Key, GLFW_KEY_LEFT, true, 1.0},
                                          {Event::Pad, GLFW_GAMEPAD_BUTTON_DPAD_LEFT, true, 2.0},
                                          {Event::Pad, GLFW_GAMEPAD_BUTTON_DPAD_LEFT, false, 3.0}},
     Action::Left, true, 3, 2.0},
    {"KeyLetGoWhileTheStickHolds", {{Event::Stick, -1, true, 1.0}, {Event::Key, GLFW_KEY_A, true, 2.0},
                                    {Event::Key, GLFW_KEY_A, false, 3.0}},
     Action::Left, true, 3, 2.0},
    {"PadUnpluggedWhileAKeyHolds", {{Event::Key, GLFW_KEY_D, true, 1.0},
                                    {Event::Pad, GLFW_GAMEPAD_BUTTON_DPAD_RIGHT, true, 2.0},
                                    {Event::Unplug, 0, false, 3.0}},
     Action::Right, true, 0, 2.0},
    {"KeyAndPadBothLetGo", {{Event::Pad, GLFW_GAMEPAD_BUTTON_A, true, 1.0}, {Event::Key, GLFW_KEY_SPACE, true, 2.0},
                            {Event::Pad, GLFW_GAMEPAD_BUTTON_A, false, 3.0},
                            {Event::Key, GLFW_KEY_SPACE, false, 4.0}},
     Action::Jump, false, 3, 2.0},
    {"ARepressedWhileTheArrowHolds", {{Event::Key, GLFW_KEY_LEFT, true, 1.0}, {Event::Key, GLFW_KEY_A, true, 2.0},
                                      {Event::Key, GLFW_KEY_A, false, 3.0}, {Event::Key, GLFW_KEY_A, true, 4.0}},
     Action::Left, true, 0, 4.0},
    {"ReleaseOfAKeyNeverSeenDown", {{Event::Key, GLFW_KEY_ESCAPE, false, 1.0}}, Action::Back, false, 3, 0.0},
    {"OtherActionsKeysDoNotHold", {{Event::Key, GLFW_KEY_A, true, 1.0}, {Event::Key, GLFW_KEY_D, true, 2.0},
                                   {Event::Key, GLFW_KEY_A, false, 3.0}},
     Action::Left, false, 3, 1.0},
};

class HeldKeys : public Keys, public testing::WithParamInterface<HeldCase> {};

TEST_P(HeldKeys, ReleaseKeepsTheActionHeldWhileAnotherOfItsControlsIsDown) {
    const HeldCase& c = GetParam();
    GamepadState pad;
    pad.connected = true;
    for (const Event& e : c.events) {
        switch (e.device) {
            case Event::Key:
                if (e.down) {
                    input.pressKey(e.code, e.time);
                } else {
                    input.releaseKey(e.code);
                }
                break;
            case Event::Pad:
                pad.buttons[e.code] = e.down;
                input.applyGamepad(pad, e.time);
                break;
            case Event::Stick:
                pad.axes[GLFW_GAMEPAD_AXIS_LEFT_X] = e.down ? static_cast<float>(e.code) : 0.0f;
                input.applyGamepad(pad, e.time);
                break;
            case Event::Unplug:
                input.applyGamepad(GamepadState{}, e.time);
                break;
        }
    }
    EXPECT_EQ(input.isHeld(c.action), c.held);
    EXPECT_EQ(input.pending[static_cast<int>(c.action)], c.pending);
    EXPECT_EQ(input.pressTime[static_cast<int>(c.action)], c.pressTime);
}

INSTANTIATE_TEST_SUITE_P(Controls, HeldKeys, testing::ValuesIn(kHeldCases),
                         [](const testing::TestParamInfo<HeldCase>& info) { return std::string(info.param.name); });

// Keys through the real callback: steering goes on while the arrow is down.
TEST_F(Keys, SteeringGoesOnWhileTheOtherKeyIsDown) {
    press(GLFW_KEY_A);
    press(GLFW_KEY_LEFT);
    release(GLFW_KEY_A);
    EXPECT_TRUE(input.isHeldOver(Action::Left, Action::Right));
    EXPECT_TRUE(input.consumeTap(Action::Left));
    release(GLFW_KEY_LEFT);
    EXPECT_FALSE(input.isHeld(Action::Left));
    EXPECT_TRUE(input.consumeTap(Action::Left));
}

// A screen taking over drops the action's tap, and a key or pad control
// still down makes no tap when let go; pressed again, it counts.
TEST_F(Pad, StartAfreshWaitsForAFreshPress) {
    press(GLFW_KEY_SPACE);
    tap(GLFW_KEY_J);
    button(GLFW_GAMEPAD_BUTTON_A, true);
    press(GLFW_KEY_ESCAPE);
    input.pending[int(Action::Up)] = 2;
    for (Action a : {Action::Jump, Action::Back}) input.startAfresh(a);
    EXPECT_EQ(input.pending[int(Action::Jump)], 0);
    EXPECT_EQ(input.pending[int(Action::Up)], 2) << "other actions keep their taps";
    EXPECT_TRUE(input.isHeld(Action::Jump)) << "the keys are still down";

    release(GLFW_KEY_SPACE);
    button(GLFW_GAMEPAD_BUTTON_A, false);
    release(GLFW_KEY_ESCAPE);
    EXPECT_FALSE(input.isHeld(Action::Jump));
    EXPECT_FALSE(input.isHeld(Action::Back));
    EXPECT_FALSE(input.consumeTap(Action::Jump));
    EXPECT_FALSE(input.consumeTap(Action::Back));

    tap(GLFW_KEY_SPACE);
    EXPECT_TRUE(input.consumeTap(Action::Jump)) << "pressed again, the key counts";
    button(GLFW_GAMEPAD_BUTTON_A, true);
    button(GLFW_GAMEPAD_BUTTON_A, false);
    EXPECT_TRUE(input.consumeTap(Action::Jump)) << "so does the pad";
    tap(GLFW_KEY_ESCAPE);
    EXPECT_TRUE(input.consumeTap(Action::Back));

    // A key still down when the focus goes is let go by GLFW; once the
    // window is back, its next press counts as any other.
    press(GLFW_KEY_ENTER);
    input.startAfresh(Action::Jump);
    events().focus(false);
    release(GLFW_KEY_ENTER);
    events().focus(true);
    tap(GLFW_KEY_ENTER);
    EXPECT_TRUE(input.consumeTap(Action::Jump));
}


}  // namespace
