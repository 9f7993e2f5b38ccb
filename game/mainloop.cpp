#include "game/mainloop.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <climits>

#include <stb_image.h>

#include "game/input.h"
#include "game/padmappings.h"
#include "orvo3d/log.h"
#include "orvo3d/storage.h"
#include "platform/timing.h"

WindowSize chooseWindowSize(int monitorWidth, int monitorHeight) {
    if (monitorWidth >= 1920 && monitorHeight > 1080) return {1920, 1080};
    return {1280, 720};
}

void setInitialGlState(int width, int height) {
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glViewport(0, 0, width, height);
}

void setContextHints() {
    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 4);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 3);
    glfwWindowHint(GLFW_OPENGL_FORWARD_COMPAT, GLFW_TRUE);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_CORE_PROFILE);
    glfwWindowHint(GLFW_SAMPLES, 4);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);
}

GLFWwindow* openGameWindow(WindowSize& size, bool fullscreen) {
    setContextHints();
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    const GLFWvidmode* mode = monitor != nullptr ? glfwGetVideoMode(monitor) : nullptr;
    if (size.width <= 0 || size.height <= 0) {
        size = mode != nullptr ? chooseWindowSize(mode->width, mode->height) : chooseWindowSize(0, 0);
    }

    // Made hidden, placed and given its icon, then shown: the player never
    // sees it anywhere but centred.
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    GLFWwindow* window = glfwCreateWindow(size.width, size.height, "Vimbrot", nullptr, nullptr);
    glfwWindowHint(GLFW_VISIBLE, GLFW_TRUE);
    if (window == nullptr) return nullptr;
    if (mode != nullptr) {
        int monitorX = 0, monitorY = 0, width = 0, height = 0;
        glfwGetMonitorPos(monitor, &monitorX, &monitorY);
        glfwGetWindowSize(window, &width, &height);
        glfwSetWindowPos(window, monitorX + (mode->width - width) / 2, monitorY + (mode->height - height) / 2);
    }
    setWindowIcon(window);
    if (!fullscreen) glfwShowWindow(window);
    glfwMakeContextCurrent(window);
    setInitialGlState(size.width, size.height);
    return window;
}

double waitForFrame(GLFWwindow* window, double frameStart, bool& quit, Input& input, UnmappedPads& pads) {
    // 1/60 s plus the single-precision 1 ms widened to double: a frame period
    // of about 17.7 ms.
    constexpr double kFrame = 1.0 / 60.0;
    constexpr double kMargin = static_cast<double>(0.001f);
    double elapsed = 0.0;
    for (;;) {
        if (elapsed != 0.0) sleepOneMillisecond();
        glfwPollEvents();
        if (glfwWindowShouldClose(window)) quit = true;
        const double now = glfwGetTime();
        elapsed = now - frameStart;
        if (!(elapsed - kMargin < kFrame)) {
            // The pads are read once a frame, right before its update.
            pollGamepads(input, pads, now);
            return elapsed;
        }
    }
}

float frameStep(double elapsed) { return static_cast<float>(std::min(elapsed, 1.0 / 30.0)); }

void setWindowIcon(GLFWwindow* window) {
    const Storage::Blob encoded = Storage::loadBlob("data/icon.png");
    GLFWimage icon{};
    unsigned char* pixels = nullptr;
    if (encoded && encoded.size() <= static_cast<std::size_t>(INT_MAX)) {
        pixels = stbi_load_from_memory(encoded.data(), static_cast<int>(encoded.size()), &icon.width, &icon.height,
                                       nullptr, 4);
    }
    if (pixels == nullptr) {
        Logger::info("game/mainloop", __LINE__, "No window icon");
        return;
    }
    icon.pixels = pixels;
    glfwSetWindowIcon(window, 1, &icon);
    stbi_image_free(pixels);
}
