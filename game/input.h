#pragma once
// Keyboard actions: GLFW key events folded into one small table per action,
// filled by the key callback during glfwPollEvents.

#include <array>

struct GLFWwindow;

enum class Action : int { Left = 0, Right = 1, Up = 2, Down = 3, Jump = 4, Back = 5, ClearLog = 6 };

constexpr int kActionCount = 7;

class Input {
public:
    static Input& instance();

    // Installs the key callback; a released key stays pending as a tap for
    // releaseFrames game updates.
    void attach(GLFWwindow* window, int releaseFrames);

    bool isHeld(Action a) const;
    // a is held and pressed after b (or b is up): the later key wins.
    bool isHeldOver(Action a, Action b) const;
    // Reports a pending tap once, to one caller.
    bool consumeTap(Action a);
    // Ages pending taps; called once per game update only.
    void tick();

    std::array<bool, kActionCount> held{};
    std::array<double, kActionCount> pressTime{};
    std::array<int, kActionCount> pending{};
    int releaseFrames = 0;
};

// GLFW key callback; scancode and mods are ignored.
void keyCallback(GLFWwindow* window, int key, int scancode, int action, int mods);

// The action bound to a GLFW key code, or -1 for an unbound key.
int actionForKey(int key);
