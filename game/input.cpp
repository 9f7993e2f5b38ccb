#include "game/input.h"

#include <GLFW/glfw3.h>

namespace {

int index(Action a) { return static_cast<int>(a); }

}  // namespace

Input& Input::instance() {
    static Input* input = new Input();  // never destroyed
    return *input;
}

void Input::attach(GLFWwindow* window, int frames) {
    glfwSetKeyCallback(window, keyCallback);
    releaseFrames = frames;
}

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

int actionForKey(int key) {
    switch (key) {
        case GLFW_KEY_A:
        case GLFW_KEY_LEFT: return index(Action::Left);
        case GLFW_KEY_D:
        case GLFW_KEY_RIGHT: return index(Action::Right);
        case GLFW_KEY_W:
        case GLFW_KEY_UP: return index(Action::Up);
        case GLFW_KEY_S:
        case GLFW_KEY_DOWN: return index(Action::Down);
        case GLFW_KEY_SPACE:
        case GLFW_KEY_J:
        case GLFW_KEY_ENTER: return index(Action::Jump);
        case GLFW_KEY_ESCAPE: return index(Action::Back);
        case GLFW_KEY_F12: return index(Action::ClearLog);
        default: return -1;
    }
}

void keyCallback(GLFWwindow*, int key, int, int action, int) {
    int a = actionForKey(key);
    if (a < 0) return;
    Input& input = Input::instance();
    if (action == GLFW_PRESS) {
        input.held[a] = true;
        input.pressTime[a] = glfwGetTime();
        input.pending[a] = 0;
    } else if (action == GLFW_RELEASE) {
        input.held[a] = false;
        input.pending[a] = input.releaseFrames;
    }
}
