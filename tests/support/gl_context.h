#pragma once
// A hidden GLFW window with the game's own context settings (4.3 core,
// forward-compatible, 4x MSAA) and the game's initial GL state, for tests
// and benchmarks that draw and read back real pixels. Like the application,
// it owns the GL services (the font and the plate renderer), made on first
// use and destroyed before its window, so each context gets its own.

#include <glm/glm.hpp>

#include "game/screen.h"
#include "orvo3d/opengl.h"
#include "orvo3d/service.h"

struct GLFWwindow;
class Font;
class PlateRenderer;

class GlContext {
public:
    GlContext(int width, int height);
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    bool ok() const { return window != nullptr; }

    // RGB of the default framebuffer at (x, y), origin bottom-left, 0..255.
    glm::ivec3 pixel(int x, int y) const;

    // Writes the default framebuffer as a PNG (for looking at by eye).
    void savePng(const char* path) const;

    void swap();

    // The window's own framebuffer, as the screens draw into it.
    RenderTarget target() const { return {0, width, height}; }

    GLFWwindow* window = nullptr;
    int width;
    int height;
    Lazy<Font> font;
    Lazy<PlateRenderer> plates;
};
