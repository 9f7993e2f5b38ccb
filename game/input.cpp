#include "game/input.h"

#include <GLFW/glfw3.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <string>

#include "game/padmappings.h"
#include "orvo3d/log.h"

namespace {

int index(Action a) { return static_cast<int>(a); }

struct KeyBinding {
    int key;
    Action action;
};

// Every bound key; a key's place here is its bit in Input::keysDown.
constexpr KeyBinding kKeyBindings[] = {
    {GLFW_KEY_A, Action::Left},      {GLFW_KEY_LEFT, Action::Left}, {GLFW_KEY_D, Action::Right},
    {GLFW_KEY_RIGHT, Action::Right}, {GLFW_KEY_W, Action::Up},      {GLFW_KEY_UP, Action::Up},
    {GLFW_KEY_S, Action::Down},      {GLFW_KEY_DOWN, Action::Down}, {GLFW_KEY_SPACE, Action::Jump},
    {GLFW_KEY_J, Action::Jump},      {GLFW_KEY_ENTER, Action::Jump}, {GLFW_KEY_ESCAPE, Action::Back},
    {GLFW_KEY_F12, Action::ClearLog},
};
static_assert(std::size(kKeyBindings) <= 32, "one bit per key in Input::keysDown");

// The key's bit in Input::keysDown, or 0 for an unbound key.
std::uint32_t keyBit(int key) {
    for (std::size_t i = 0; i < std::size(kKeyBindings); ++i) {
        if (kKeyBindings[i].key == key) return 1u << i;
    }
    return 0;
}

// The bits of every key bound to the action.
std::uint32_t keysOf(int action) {
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < std::size(kKeyBindings); ++i) {
        if (index(kKeyBindings[i].action) == action) bits |= 1u << i;
    }
    return bits;
}

// One stick direction with hysteresis: it goes down past kStickPress and
// up again only under kStickRelease, so a stick resting near the threshold
// cannot flicker between the two.
bool stickDirection(bool wasHeld, float travel) {
    return wasHeld ? travel > kStickRelease : travel > kStickPress;
}

}  // namespace

bool Input::isHeld(Action a) const { return held[index(a)]; }

bool Input::isHeldOver(Action a, Action b) const {
    return held[index(a)] && (!held[index(b)] || pressTime[index(a)] > pressTime[index(b)]);
}

bool Input::consumeTap(Action a) {
    if (pending[index(a)] < 1) return false;
    pending[index(a)] = 0;
    return true;
}

void Input::tick() {
    for (int& p : pending) {
        if (p > 0) --p;
    }
}

InputSnapshot Input::snapshot() const {
    InputSnapshot step;
    step.held = held;
    for (int a = 0; a < kActionCount; ++a) step.tapped[a] = pending[a] >= 1;
    const double left = pressTime[index(Action::Left)];
    const double right = pressTime[index(Action::Right)];
    if (left > right) step.laterOfLeftRight = Action::Left;
    if (right > left) step.laterOfLeftRight = Action::Right;
    return step;
}

void Input::dropTaken(const InputSnapshot& step) {
    for (int a = 0; a < kActionCount; ++a) {
        if (step.taken[a]) pending[a] = 0;
    }
}

void Input::press(int action, double time) {
    held[action] = true;
    pressTime[action] = time;
    pending[action] = 0;
}

void Input::release(int action) {
    held[action] = stillDown(action);
    pending[action] = releaseFrames;
}

bool Input::stillDown(int action) const { return (keysDown & keysOf(action)) != 0 || padHeld[action]; }

void Input::pressKey(int key, double time) {
    const int a = actionForKey(key);
    if (a < 0) return;
    keysDown |= keyBit(key);
    keysWithoutTap &= ~keyBit(key);
    press(a, time);
}

void Input::releaseKey(int key) {
    const int a = actionForKey(key);
    if (a < 0) return;
    if ((keysWithoutTap & keyBit(key)) != 0) {
        letGoKey(key);
        return;
    }
    keysDown &= ~keyBit(key);
    release(a);
}

void Input::letGoKey(int key) {
    const int a = actionForKey(key);
    if (a < 0) return;
    keysDown &= ~keyBit(key);
    keysWithoutTap &= ~keyBit(key);
    held[a] = stillDown(a);
}

void Input::startAfresh(Action a) {
    pending[index(a)] = 0;
    keysWithoutTap |= keysDown & keysOf(index(a));
    padWithoutTap[index(a)] = padHeld[index(a)];
}

void Input::applyGamepad(const GamepadState& pad, double time) {
    if (!pad.connected) {
        // Unplugged: let go of what the pad held, with no taps.
        for (int a = 0; a < kActionCount; ++a) {
            if (!padHeld[a]) continue;
            padHeld[a] = false;
            held[a] = stillDown(a);
        }
        padWithoutTap.fill(false);
        stickHeld.fill(false);
        return;
    }

    const float x = pad.axes[GLFW_GAMEPAD_AXIS_LEFT_X];
    const float y = pad.axes[GLFW_GAMEPAD_AXIS_LEFT_Y];  // negative is up
    stickHeld[0] = stickDirection(stickHeld[0], -x);
    stickHeld[1] = stickDirection(stickHeld[1], x);
    stickHeld[2] = stickDirection(stickHeld[2], -y);
    stickHeld[3] = stickDirection(stickHeld[3], y);

    std::array<bool, kActionCount> now{};
    const auto& b = pad.buttons;
    now[index(Action::Left)] = b[GLFW_GAMEPAD_BUTTON_DPAD_LEFT] || stickHeld[0];
    now[index(Action::Right)] = b[GLFW_GAMEPAD_BUTTON_DPAD_RIGHT] || stickHeld[1];
    now[index(Action::Up)] = b[GLFW_GAMEPAD_BUTTON_DPAD_UP] || stickHeld[2];
    now[index(Action::Down)] = b[GLFW_GAMEPAD_BUTTON_DPAD_DOWN] || stickHeld[3];
    now[index(Action::Jump)] = b[GLFW_GAMEPAD_BUTTON_A];
    now[index(Action::PadBack)] = b[GLFW_GAMEPAD_BUTTON_B];
    now[index(Action::PadStart)] = b[GLFW_GAMEPAD_BUTTON_START];

    for (int a = 0; a < kActionCount; ++a) {
        const bool was = padHeld[a];
        padHeld[a] = now[a];
        if (now[a] && !was) {
            padWithoutTap[a] = false;
            press(a, time);
        }
        if (!now[a] && was) {
            if (padWithoutTap[a]) {
                padWithoutTap[a] = false;
                held[a] = stillDown(a);
            } else {
                release(a);
            }
        }
    }
}

void Input::interrupt() {
    held.fill(false);
    keysDown = 0;
    keysWithoutTap = 0;
    // The pad's controls are let go as well; one still held when the focus
    // comes back counts as a new press.
    GamepadState none;
    applyGamepad(none, 0.0);
    interrupted = true;
}

bool Input::takeInterruption() {
    bool was = interrupted;
    interrupted = false;
    return was;
}

int actionForKey(int key) {
    for (const KeyBinding& binding : kKeyBindings) {
        if (binding.key == key) return index(binding.action);
    }
    return -1;
}

namespace {

WindowEvents& eventsOf(GLFWwindow* window) { return *static_cast<WindowEvents*>(glfwGetWindowUserPointer(window)); }

void keyCallback(GLFWwindow* window, int key, int, int action, int mods) {
    eventsOf(window).key(key, action, mods, glfwGetTime());
}

void focusCallback(GLFWwindow* window, int focused) { eventsOf(window).focus(focused == GLFW_TRUE); }

// A restored window is taken as focused, and a focus event that says
// otherwise follows.
void iconifyCallback(GLFWwindow* window, int iconified) { eventsOf(window).focus(iconified != GLFW_TRUE); }

}  // namespace

void WindowEvents::attach(GLFWwindow* window) {
    glfwSetWindowUserPointer(window, this);
    glfwSetKeyCallback(window, keyCallback);
    glfwSetWindowFocusCallback(window, focusCallback);
    glfwSetWindowIconifyCallback(window, iconifyCallback);
}

void WindowEvents::key(int key, int action, int mods, double time) {
    // M works on every screen, paused or not, and is no action of the table.
    if (key == GLFW_KEY_M) {
        if (action == GLFW_PRESS) ++commands.muteToggles;
        return;
    }
    // F11 and Alt+Enter ask for the switch between the window and
    // fullscreen, on every screen. An Enter that went down with Alt is no
    // Jump: neither its press nor its release (Alt may go up first) reaches
    // the table, so it never confirms a menu entry or resumes a pause.
    if (key == GLFW_KEY_F11) {
        if (action == GLFW_PRESS) ++commands.displayToggles;
        return;
    }
    if (key == GLFW_KEY_ENTER) {
        if (action == GLFW_PRESS) {
            enterWithAlt = (mods & GLFW_MOD_ALT) != 0;
            if (enterWithAlt) {
                ++commands.displayToggles;
                return;
            }
        } else if (enterWithAlt) {
            if (action == GLFW_RELEASE) enterWithAlt = false;
            return;
        }
    }
    if (actionForKey(key) < 0) return;
    if (action == GLFW_PRESS) {
        input.pressKey(key, time);
    } else if (action == GLFW_RELEASE) {
        // GLFW lets go of every held key right after the focus goes: those
        // releases are no taps (a Jump tap would end the pause at once).
        if (input.focused) {
            input.releaseKey(key);
        } else {
            input.letGoKey(key);
        }
    }
}

void WindowEvents::focus(bool focused) {
    input.focused = focused;
    if (!input.focused) input.interrupt();
}

FrameCommands WindowEvents::takeCommands() {
    const FrameCommands taken = commands;
    commands = {};
    return taken;
}

GamepadState readGamepads() {
    GamepadState merged;
    for (int jid = GLFW_JOYSTICK_1; jid <= GLFW_JOYSTICK_LAST; ++jid) {
        GLFWgamepadstate state;
        // Pads without a mapping, and pads that go away between the two
        // calls, give GLFW_FALSE here: they are simply not read.
        if (!glfwJoystickIsGamepad(jid) || !glfwGetGamepadState(jid, &state)) continue;
        merged.connected = true;
        for (std::size_t i = 0; i < merged.buttons.size(); ++i) {
            merged.buttons[i] = merged.buttons[i] || state.buttons[i] == GLFW_PRESS;
        }
        for (std::size_t i = 0; i < merged.axes.size(); ++i) {
            if (std::fabs(state.axes[i]) > std::fabs(merged.axes[i])) merged.axes[i] = state.axes[i];
        }
    }
    return merged;
}

void pollGamepads(Input& input, UnmappedPads& pads, double time) {
    reportUnmappedPads(pads);
    input.applyGamepad(input.focused ? readGamepads() : GamepadState{}, time);
}
