#pragma once
// Keyboard and gamepad actions: GLFW key events and the gamepads' state
// folded into one small table per action. Keys arrive through the key
// callback during glfwPollEvents; the gamepads are read once per frame.

#include <array>
#include <cstdint>

#include "game/screenrules.h"
#include "sim/input.h"

struct GLFWwindow;

// What the connected gamepads show in one frame, in GLFW's gamepad layout
// (GLFW_GAMEPAD_BUTTON_* and GLFW_GAMEPAD_AXIS_* index the arrays).
struct GamepadState {
    bool connected = false;
    std::array<bool, 15> buttons{};
    std::array<float, 6> axes{};
};

class Input {
public:
    bool isHeld(Action a) const;
    // a is held and pressed after b (or b is up): the later key wins.
    bool isHeldOver(Action a, Action b) const;
    // Reports a pending tap once, to one caller.
    bool consumeTap(Action a);
    // Ages pending taps; called once per game update only.
    void tick();

    // The table as one step of the game sees it: held actions, pending taps,
    // and which of Left and Right went down later.
    InputSnapshot snapshot() const;
    // Drops the taps the step took from its snapshot, as consumeTap would.
    void dropTaken(const InputSnapshot& step);

    // A key or pad control of the action went down or up. A release makes
    // a tap, but leaves the action held while another of its keys or its pad
    // control is still down.
    void press(int action, double time);
    void release(int action);

    // Whether a key or the pad control of the action is down.
    bool stillDown(int action) const;

    // A bound key (a GLFW key code) went down or up: the key is remembered
    // as down until its release, then the action's press or release.
    void pressKey(int key, double time);
    void releaseKey(int key);
    // GLFW let go of a key while the window has no focus: up, with no tap.
    void letGoKey(int key);

    // For the screen that takes over from a run: drops a's pending tap, and
    // a key or pad control of a that is still down makes no tap when it is
    // released; it counts again once pressed anew.
    void startAfresh(Action a);

    // The pads' state for this frame. Each pad control acts as one more key
    // of its action, pressed and released on the frames where it changes.
    // A pad that goes away lets go of its controls without making taps.
    void applyGamepad(const GamepadState& pad, double time);

    // The window lost the keyboard focus or was iconified: every key and pad
    // control counts as released (without a tap, which could resume the
    // pause the loss brings), and the loss waits for takeInterruption.
    void interrupt();
    // True once after an interrupt.
    bool takeInterruption();

    std::array<bool, kActionCount> held{};
    std::array<double, kActionCount> pressTime{};
    std::array<int, kActionCount> pending{};
    int releaseFrames = 0;

    // The pads' share of the table: each action's pad control, and the
    // stick's four directions with their hysteresis.
    std::array<bool, kActionCount> padHeld{};
    std::array<bool, 4> stickHeld{};  // left, right, up, down
    // The bound keys that are down (bit i: the i-th key of the key table),
    // and those of them whose release makes no tap (startAfresh); the same
    // for each action's pad control.
    std::uint32_t keysDown = 0;
    std::uint32_t keysWithoutTap = 0;
    std::array<bool, kActionCount> padWithoutTap{};
    bool focused = true;
    bool interrupted = false;
};

// What the window's callbacks record between two frames: keys and the focus
// into the input table, commands for the frame loop, which carries them out.
// The loop owns it and gives it to the window as its user pointer; the
// callbacks only record.
class WindowEvents {
public:
    explicit WindowEvents(Input& table) : input(table) {}
    WindowEvents(const WindowEvents&) = delete;
    WindowEvents& operator=(const WindowEvents&) = delete;

    // Makes this the window's user pointer and installs the key, focus and
    // iconify callbacks.
    void attach(GLFWwindow* window);

    // A key event as GLFW reports it, at `time`; of the mods only Alt counts
    // (Alt+Enter switches the display).
    void key(int key, int action, int mods, double time);
    // The window gained or lost the keyboard focus: losing it interrupts
    // (see Input::interrupt). Iconified counts as unfocused.
    void focus(bool focused);

    // The commands recorded since the last call.
    FrameCommands takeCommands();

    Input& input;

private:
    FrameCommands commands;
    // Whether the Enter key down now went down with Alt held.
    bool enterWithAlt = false;
};

// The action bound to a GLFW key code, or -1 for an unbound key.
int actionForKey(int key);

// The merged state of every connected gamepad GLFW knows a mapping for:
// a button is down when it is down on any pad, and each axis takes the
// value farthest from rest.
GamepadState readGamepads();

class UnmappedPads;

// Feeds the pads to the table, or nothing while the window is unfocused,
// so a pad cannot play a game the player has switched away from. Names in
// the log each joystick GLFW has no mapping for, once per connection.
void pollGamepads(Input& input, UnmappedPads& pads, double time);

// The stick's travel past which it steers or moves the selection, and the
// travel it must come back under to let go.
constexpr float kStickPress = 0.5f;
constexpr float kStickRelease = 0.4f;
