#pragma once
// The pause overlay: a translucent black veil over the frozen game scene with
// "Paused" and a highlighted "RESUME". A Jump tap (or the pad's Start) is the
// only way out (pauseResumes, game/screenrules).

#include <memory>

#include "orvo3d/opengl.h"
#include "orvo3d/shader.h"

class Font;

class Pause {
public:
    // Needs a current GL context; writes with `font`. Throws
    // Orvo3D::LoggedException when the buffer, the vertex array or the
    // shader cannot be made.
    explicit Pause(Font& font);
    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;

    // Draws the veil and the texts. The caller has switched the depth test off
    // and blending on with (SRC_ALPHA, ONE_MINUS_SRC_ALPHA).
    void render();

    GlBuffer vbo;
    GlVertexArray vao;
    std::unique_ptr<Shader> shader;

private:
    Font& font;
};
