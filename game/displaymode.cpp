#include "game/displaymode.h"

#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include <climits>
#include <cstdlib>

#include "game/presenter.h"
#include "orvo3d/log.h"

namespace {

constexpr const char* kModule = "game/displaymode";

MonitorArea areaOf(GLFWmonitor* monitor) {
    MonitorArea area{0, 0, 0, 0};
    const GLFWvidmode* mode = glfwGetVideoMode(monitor);
    if (mode == nullptr) return area;
    glfwGetMonitorPos(monitor, &area.x, &area.y);
    area.width = mode->width;
    area.height = mode->height;
    return area;
}

// The monitor holding the window's centre, else the nearest, else the
// primary one (null when there is no monitor at all).
GLFWmonitor* monitorOf(GLFWwindow* window) {
    int count = 0;
    GLFWmonitor** monitors = glfwGetMonitors(&count);
    std::vector<MonitorArea> areas;
    for (int i = 0; i < count; ++i) areas.push_back(areaOf(monitors[i]));
    int x = 0, y = 0, width = 0, height = 0;
    glfwGetWindowPos(window, &x, &y);
    glfwGetWindowSize(window, &width, &height);
    const int found = monitorAt(areas, x + width / 2, y + height / 2);
    return found >= 0 ? monitors[found] : glfwGetPrimaryMonitor();
}

}  // namespace

int monitorAt(const std::vector<MonitorArea>& monitors, int x, int y) {
    int best = -1;
    long long bestDistance = LLONG_MAX;
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        const MonitorArea& m = monitors[i];
        if (m.width <= 0 || m.height <= 0) continue;
        // How far the point is outside the area along each axis (0 inside).
        const long long dx = x < m.x ? m.x - x : x >= m.x + m.width ? x - (m.x + m.width - 1) : 0;
        const long long dy = y < m.y ? m.y - y : y >= m.y + m.height ? y - (m.y + m.height - 1) : 0;
        const long long distance = dx * dx + dy * dy;
        if (distance < bestDistance) {
            best = static_cast<int>(i);
            bestDistance = distance;
        }
    }
    return best;
}

DisplayMode::DisplayMode(GLFWwindow* w, WindowSize windowSize, bool fullscreen) : window(w), size(windowSize) {
    // Fullscreen must not iconify when another window takes the focus: the
    // run pauses on the focus loss, as it does in a window, and stays on
    // the screen under its pause overlay.
    glfwSetWindowAttrib(window, GLFW_AUTO_ICONIFY, GLFW_FALSE);
    if (fullscreen) enter();
    glfwShowWindow(window);
}

DisplayMode::~DisplayMode() = default;

bool DisplayMode::fullscreen() const { return glfwGetWindowMonitor(window) != nullptr; }

void DisplayMode::toggle() {
    if (fullscreen()) {
        leave();
    } else {
        enter();
    }
}

void DisplayMode::enter() {
    GLFWmonitor* monitor = monitorOf(window);
    const GLFWvidmode* mode = monitor != nullptr ? glfwGetVideoMode(monitor) : nullptr;
    if (mode == nullptr) {
        Logger::error(kModule, __LINE__, "No monitor to go fullscreen on");
        return;
    }
    // The monitor's own mode: no mode change, the desktop stays as it is.
    glfwSetWindowMonitor(window, monitor, 0, 0, mode->width, mode->height, mode->refreshRate);
}

void DisplayMode::leave() {
    GLFWmonitor* monitor = glfwGetWindowMonitor(window);
    if (monitor == nullptr) return;
    // Back to the window's size, centred on the monitor it was fullscreen on.
    const MonitorArea area = areaOf(monitor);
    glfwSetWindowMonitor(window, nullptr, area.x + (area.width - size.width) / 2,
                         area.y + (area.height - size.height) / 2, size.width, size.height, GLFW_DONT_CARE);
}

RenderTarget DisplayMode::beginFrame(int toggles) {
    // Switching twice within a frame ends where it began.
    if (toggles % 2 != 0) toggle();
    if (fullscreen() && !presenter) {
        try {
            presenter = std::make_unique<Presenter>(size.width, size.height);
        } catch (const Orvo3D::LoggedException&) {
            // Recorded; the game goes on in its window.
            leave();
        }
    } else if (!fullscreen() && presenter) {
        presenter.reset();
    }
    return {presenter ? presenter->framebuffer() : 0u, size.width, size.height};
}

void DisplayMode::endFrame() {
    if (!presenter) return;
    int width = 0, height = 0;
    glfwGetFramebufferSize(window, &width, &height);
    presenter->present(0, width, height);
}
