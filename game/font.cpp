#include "game/font.h"

#include <vector>

#include "orvo3d/log.h"
#include "orvo3d/shader.h"

namespace {

constexpr const char* kModule = "game/font";

struct GlyphSource {
    char code;
    std::uint32_t triangleCount;
    float triangles[kGlyphMaxTriangles][3][2];
};

// The strokes of every character the game's texts need, in grid units, each
// triangle counter-clockwise with y up so back-face culling keeps it.
constexpr GlyphSource kGlyphSources[] = {
    {'0', 6, {{{4, 8}, {4, 7}, {7, 6}},
              {{7, 6}, {6, 6}, {8, 4}},
              {{8, 4}, {8, 5}, {4, 0}},
              {{4, 0}, {4, 1}, {0, 2}},
              {{0, 2}, {1, 2}, {1, 6}},
              {{1, 6}, {4, 8}, {1, 7}}}},
    {'1', 2, {{{3.5, 0}, {4.5, 0}, {3.5, 8}}, {{3.5, 8}, {2.5, 7}, {2.5, 6}}}},
    {'2', 4, {{{0, 6}, {0, 5}, {4, 8}},
              {{4, 8}, {8, 6}, {5, 8}},
              {{8, 6}, {0, 0}, {8, 5}},
              {{0, 0}, {8, 0}, {1, 1}}}},
    {'3', 6, {{{0, 6}, {0, 5}, {4, 8}},
              {{4, 8}, {8, 6}, {5, 8}},
              {{8, 6}, {3, 4}, {8, 5}},
              {{3, 4}, {8, 2}, {4, 4}},
              {{8, 3}, {4, 0}, {8, 2}},
              {{4, 0}, {0, 2}, {3, 0}}}},
    {'4', 3, {{{6, 0}, {7, 0}, {6.5, 8}}, {{6.5, 8}, {1, 4}, {6.5, 7}}, {{1, 4}, {1, 3}, {8, 3.5}}}},
    {'5', 5, {{{0, 2}, {4, 0}, {1, 2}},
              {{4, 0}, {5, 0}, {8, 3}},
              {{8, 3}, {8, 4}, {0, 4}},
              {{0, 4}, {1, 4}, {3, 8}},
              {{3, 8}, {3, 7}, {8, 8}}}},
    {'6', 4, {{{0, 0}, {6, 8}, {0, 1}},
              {{0, 0}, {7, 1}, {1, 1}},
              {{7, 1}, {8, 1}, {8, 3}},
              {{8, 3}, {8, 4}, {3, 4}}}},
    {'7', 2, {{{0, 8}, {0, 7}, {8, 8}}, {{8, 8}, {0, 0}, {8, 7}}}},
    {'8', 6, {{{0, 2}, {4, 0}, {1, 2}},
              {{4, 0}, {8, 2}, {4, 1}},
              {{8, 2}, {8, 3}, {0, 6}},
              {{0, 6}, {1, 6}, {4, 8}},
              {{4, 8}, {4, 7}, {8, 6}},
              {{8, 6}, {7, 6}, {0, 2}}}},
    {'9', 4, {{{2, 0}, {8, 7}, {2, 1}},
              {{8, 7}, {8, 8}, {2, 6}},
              {{2, 6}, {0, 4}, {3, 6}},
              {{0, 4}, {5, 3}, {1, 5}}}},
    {'A', 3, {{{0, 0}, {1, 0}, {4, 8}}, {{4, 8}, {8, 0}, {5, 7}}, {{7, 3}, {1, 4}, {1, 3}}}},
    {'B', 5, {{{0, 0}, {1, 0}, {1, 8}},
              {{1, 8}, {0, 7}, {8, 5}},
              {{8, 5}, {0, 4}, {1, 3}},
              {{0, 4}, {1, 3}, {8, 2}},
              {{1, 1}, {1, 0}, {8, 2}}}},
    {'C', 4, {{{8, 3}, {4, 0}, {8, 2}},
              {{4, 0}, {4, 1}, {0, 4}},
              {{0, 5}, {0, 4}, {5, 8}},
              {{4, 8}, {8, 5}, {5, 8}}}},
    {'D', 4, {{{0, 0}, {1, 0}, {1, 8}},
              {{1, 8}, {0, 7}, {7.5, 5}},
              {{8, 5}, {7.5, 5}, {8, 2}},
              {{1, 1}, {1, 0}, {8, 2}}}},
    {'E', 4, {{{0, 0}, {1, 0}, {0.5, 8}},
              {{1, 8}, {1, 7}, {8, 7}},
              {{1, 4}, {8, 4}, {1, 5}},
              {{1, 0}, {8, 1}, {1, 1}}}},
    {'G', 6, {{{4, 4}, {4, 3}, {8, 4}},
              {{8, 4}, {7, 4}, {7, 2}},
              {{7, 2}, {7, 3}, {4, 0}},
              {{4, 0}, {4, 1}, {0, 4}},
              {{0, 4}, {1, 4}, {2.5, 8}},
              {{2.5, 8}, {2.5, 7}, {8, 6.5}}}},
    {'I', 1, {{{3.5, 0}, {4.5, 0}, {3.5, 8}}}},
    {'M', 4, {{{0, 0}, {1, 0}, {1, 8}},
              {{1, 8}, {1, 7}, {4, 1}},
              {{7, 8}, {4, 1}, {7, 7}},
              {{8, 0}, {7, 8}, {7, 0}}}},
    {'O', 4, {{{4, 0}, {4, 1}, {0, 4}},
              {{0, 4}, {1, 3}, {4, 8}},
              {{4, 8}, {8, 4}, {5, 8}},
              {{8, 4}, {4, 0}, {8, 3}}}},
    {'P', 3, {{{0, 0}, {1, 0}, {1, 8}}, {{1, 8}, {0, 7}, {8, 5}}, {{8, 5}, {0, 4}, {1, 3}}}},
    {'R', 4, {{{0, 0}, {1, 0}, {1, 8}},
              {{1, 8}, {0, 7}, {8, 5}},
              {{8, 5}, {0, 4}, {1, 3}},
              {{1, 4}, {1, 3}, {8, 0}}}},
    {'S', 5, {{{0, 3}, {4, 0}, {1, 3}},
              {{4, 0}, {8, 3}, {4, 1}},
              {{8, 3}, {8, 4}, {0, 5}},
              {{0, 5}, {1, 5}, {4, 8}},
              {{4, 8}, {4, 7}, {8, 5}}}},
    {'T', 2, {{{3.5, 0}, {4.5, 0}, {4, 8}}, {{0, 8}, {0, 7}, {8, 8}}}},
    {'U', 3, {{{0, 8}, {3, 0}, {1, 7}}, {{6, 1}, {7, 2}, {8, 8}}, {{3, 1}, {3, 0}, {6, 1}}}},
    {'V', 2, {{{0, 8}, {4, 0}, {1, 8}}, {{3, 1}, {4, 0}, {8, 8}}}},
    {'X', 2, {{{0, 0}, {1, 0}, {8, 8}}, {{0, 8}, {7, 0}, {8, 0}}}},
};

// All advances and kerning are in units of size / 7.5.
constexpr double kUnit = 7.5;

}  // namespace

std::unique_ptr<Font> Font::withGlObjects() {
    auto font = std::make_unique<Font>();
    font->createGlObjects();
    return font;
}

Font::Font() {
    for (const GlyphSource& source : kGlyphSources) {
        Glyph& glyph = glyphs[static_cast<unsigned char>(source.code)];
        glyph.triangleCount = source.triangleCount;
        for (std::uint32_t t = 0; t < source.triangleCount; ++t) {
            for (int corner = 0; corner < 3; ++corner) {
                glyph.triangles[t][corner][0] = source.triangles[t][corner][0];
                glyph.triangles[t][corner][1] = source.triangles[t][corner][1];
            }
        }
    }
    std::uint32_t first = 0;
    for (Glyph& glyph : glyphs) {
        glyph.firstTriangle = first;
        first += glyph.triangleCount;
    }
}

std::uint32_t Font::triangleTotal() const {
    const Glyph& last = glyphs[kGlyphCodes - 1];
    return last.firstTriangle + last.triangleCount;
}

void Font::createGlObjects() {
    // The cell becomes the unit square: every grid coordinate times 1/8.
    std::vector<float> vertices;
    vertices.reserve(static_cast<std::size_t>(triangleTotal()) * 3 * 2);
    for (const Glyph& glyph : glyphs) {
        for (std::uint32_t t = 0; t < glyph.triangleCount; ++t) {
            for (int corner = 0; corner < 3; ++corner) {
                vertices.push_back(glyph.triangles[t][corner][0] * 0.125f);
                vertices.push_back(glyph.triangles[t][corner][1] * 0.125f);
            }
        }
    }

    vbo = makeVertexBuffer(vertices.data(), vertices.size() * sizeof(float), "text", kModule, __LINE__);
    vertices = {};
    vao = makeVertexArray("text", kModule, __LINE__);
    shader = std::make_unique<Shader>("shaders/text.vert", "shaders/text.frag");
    bindAttribute(shader->program.get(), "inPosition", 2, GL_FLOAT, GL_FALSE, 2 * sizeof(float), 0, kModule, __LINE__);
    checkGLError(kModule, __LINE__);
}

void Font::drawCentered(const char* text, float x, float y, float height, glm::vec3 color) {
    float width = layoutText(text, 0.0f, 0.0f, height, glm::vec3(1.0f), false);
    layoutText(text, x - 0.5f * width, y, height, color, true);
}

void Font::drawRightAligned(const char* text, float x, float y, float height, glm::vec3 color) {
    float width = layoutText(text, 0.0f, 0.0f, height, glm::vec3(1.0f), false);
    layoutText(text, x - width, y, height, color, true);
}

float Font::layoutText(const char* text, float x, float y, float height, glm::vec3 color, bool draw,
                       std::vector<float>* pens) {
    if (text == nullptr || text[0] == '\0') return 0.0f;

    // The pen stays single precision; each step is worked out in double.
    float pen = 0.0f;
    for (const char* p = text; *p != '\0'; ++p) {
        // Text bytes are signed chars; look at them as codes 0..255.
        unsigned int c = static_cast<unsigned char>(*p);
        if (c == ' ') {
            pen = static_cast<float>(pen + static_cast<double>(height) * 4.0 / kUnit);
            continue;
        }

        // Lower case is drawn as small capitals.
        unsigned int code = c;
        float size = height;
        if (c >= 'a' && c <= 'z') {
            code = c - 32;
            size = static_cast<float>(0.6 * height);
        }
        // Bytes of 128 and above have no entry: nothing drawn, ordinary advance.
        const Glyph* glyph = code < kGlyphCodes ? &glyphs[code] : nullptr;
        double unit = static_cast<double>(size) / kUnit;

        if (code == 'A' || code == 'T') {
            pen = static_cast<float>(pen - 0.9 * unit);
        } else if (code == 'I') {
            pen = static_cast<float>(pen - 1.7 * unit);
        }

        if (glyph != nullptr && glyph->triangleCount != 0) {
            if (pens != nullptr) pens->push_back(pen);
            if (draw) drawGlyph(*glyph, x + pen, y, size, color);
        }

        std::int32_t width = glyph != nullptr ? glyph->width : 8;
        pen = static_cast<float>(pen + width * unit);

        if (code == 'A' || code == 'P') {
            pen = static_cast<float>(pen - 0.8 * unit);
        } else if (code == 'I') {
            pen = static_cast<float>(pen - 1.7 * unit);
        }
    }
    return pen;
}

void Font::drawGlyph(const Glyph& glyph, float x, float y, float size, glm::vec3 color) {
    // A font made without withGlObjects() has no GL objects and draws nothing.
    if (shader == nullptr) return;
    glBindBuffer(GL_ARRAY_BUFFER, vbo.get());
    glBindVertexArray(vao.get());
    glUseProgram(shader->program.get());
    glBindTexture(GL_TEXTURE_2D, 0);
    glUniform2f(shader->uniformLocation(UNIFORM("position")), x, y);
    glUniform1f(shader->uniformLocation(UNIFORM("height")), size);
    glUniform3f(shader->uniformLocation(UNIFORM("color")), color.r, color.g, color.b);
    glDrawArrays(GL_TRIANGLES, static_cast<GLint>(glyph.firstTriangle * 3), static_cast<GLsizei>(glyph.triangleCount * 3));
    checkGLError(kModule, __LINE__);
}
