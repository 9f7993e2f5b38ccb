#pragma once
// The space background: one screen-filling rectangle whose fragment shader
// scatters two layers of stars from value noise. Fixed to the screen; the
// density follows the window width.

#include <memory>

#include "orvo3d/opengl.h"
#include "orvo3d/shader.h"

class Stars {
public:
    // Needs a current GL context. Throws Orvo3D::LoggedException when the
    // buffer, the vertex array or the shader cannot be made.
    Stars();
    Stars(const Stars&) = delete;
    Stars& operator=(const Stars&) = delete;

    // distance is a colour weight: 1 gives white stars, 0 red ones; about
    // one dense-layer cell per pixel across `width`, the picture's width.
    // The caller switches the depth test off around the call.
    void render(float distance, int width);

    GlBuffer vbo;
    GlVertexArray vao;
    std::unique_ptr<Shader> shader;
};
