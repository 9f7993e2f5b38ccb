#pragma once
// Keeps the XInput library loaded for the whole process. GLFW loads it at
// glfwInit and frees it at glfwTerminate; Wine's XInput runs a thread of its
// own in that library's code, which can still be running when the code is
// unmapped, and the process then faults on its way out. One reference of our
// own, never given back, keeps the code mapped; on Windows it costs nothing.
#include <windows.h>

#include <initializer_list>

// The XInput libraries in GLFW's order of choice: it takes the first that loads.
inline constexpr std::initializer_list<const char*> kXInputLibraries = {
    "xinput1_4.dll", "xinput1_3.dll", "xinput9_1_0.dll", "xinput1_2.dll", "xinput1_1.dll"};

inline void keepXInputLoaded() {
    for (const char* name : kXInputLibraries) {
        if (LoadLibraryA(name) != nullptr) return;
    }
}
