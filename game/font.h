#pragma once
// The built-in vector font: every glyph is a few thin filled triangles on an
// 8 x 8 grid, all held in one static vertex buffer. Text is laid out in a
// virtual screen of 1920 x 864 units (origin bottom-left, y up) stretched
// over the whole viewport, and drawn in one flat, opaque colour.

#include <cstdint>
#include <memory>
#include <vector>

#include <glm/glm.hpp>

#include "orvo3d/opengl.h"
#include "orvo3d/shader.h"

constexpr int kGlyphCodes = 128;        // codes 0..127; higher bytes have no glyph
constexpr int kGlyphMaxTriangles = 10;

struct Glyph {
    std::uint32_t triangleCount = 0;  // 0: the character draws nothing
    std::uint32_t firstTriangle = 0;  // in triangles, into the shared buffer
    std::int32_t width = 8;           // advance in grid units
    float triangles[kGlyphMaxTriangles][3][2] = {};  // corners (x, y) in grid units
};

class Font {
public:
    // The table with its buffer, vertex array and shader, as the screens draw
    // with it; needs a current GL context. Throws Orvo3D::LoggedException
    // when a GL object cannot be made.
    static std::unique_ptr<Font> withGlObjects();

    // Fills the glyph table only; no GL call, and nothing is drawn.
    Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // Left edge at x - width / 2, baseline at y.
    void drawCentered(const char* text, float x, float y, float height, glm::vec3 color);
    // Ends at x, baseline at y.
    void drawRightAligned(const char* text, float x, float y, float height, glm::vec3 color);

    // Walks the text once, drawing each visible glyph when draw is true, and
    // returns the width. With draw false no GL call is made. When pens is
    // given, the pen position (relative to x) of every visible glyph is
    // appended to it, whether drawn or only measured.
    float layoutText(const char* text, float x, float y, float height, glm::vec3 color, bool draw,
                     std::vector<float>* pens = nullptr);

    // Total triangles of the table (the buffer holds three vertices each).
    std::uint32_t triangleTotal() const;

    GlBuffer vbo;
    GlVertexArray vao;
    std::unique_ptr<Shader> shader;
    Glyph glyphs[kGlyphCodes];

private:
    void createGlObjects();
    void drawGlyph(const Glyph& glyph, float x, float y, float size, glm::vec3 color);
};
