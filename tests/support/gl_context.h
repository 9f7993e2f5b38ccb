#pragma once
// A hidden GLFW window with the game's own context settings (4.3 core,
// forward-compatible, 4x MSAA) and the game's initial GL state, for tests
// and benchmarks that draw and read back real pixels. Like the application,
// it owns the GL services (the font and the plate renderer), made on first
// use and destroyed before its window, so each context gets its own.

#include <glm/glm.hpp>

#include "orvo3d/opengl.h"
#include "orvo3d/service.h"

struct GLFWwindow;
class Font;
class PlateRenderer;

class GlContext {
public:
    GlContext(int width, int height);  // sets windowWidth/windowHeight too
    ~GlContext();
    GlContext(const GlContext&) = delete;
    GlContext& operator=(const GlContext&) = delete;

    bool ok() const { return window != nullptr; }

    // RGB of the default framebuffer at (x, y), origin bottom-left, 0..255.
    glm::ivec3 pixel(int x, int y) const;

    // Writes the default framebuffer as a PNG (for looking at by eye).
    void savePng(const char* path) const;

    void swap();

    GLFWwindow* window = nullptr;
    int width;
    int height;
    ServiceOwner<Font> font;
    ServiceOwner<PlateRenderer> plates;
};
