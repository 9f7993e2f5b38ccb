#pragma once
// Keeps the XInput library loaded for the whole process. GLFW loads it at
// glfwInit and frees it at glfwTerminate; Wine's XInput runs a thread of its
// own in that library's code, which can still be running when the code is
// unmapped, and the process then faults on its way out. One reference of our
// own, never given back, keeps the code mapped; on Windows it costs nothing.
#include <windows.h>

#include <initializer_list>

inline void keepXInputLoaded() {
    // The library GLFW picks: the first of these that loads.
    for (const char* name : {"xinput1_4.dll", "xinput1_3.dll", "xinput9_1_0.dll", "xinput1_2.dll", "xinput1_1.dll"}) {
        if (LoadLibraryA(name) != nullptr) return;
    }
}
