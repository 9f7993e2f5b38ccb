#include "game/track.h"

#include <algorithm>
#include <cmath>

#include "game/gameloop.h"
#include "game/plate.h"
#include "orvo3d/log.h"
#include "orvo3d/shader.h"

std::uint32_t Track::updateCount = 0;

namespace {

constexpr const char* kModule = "game/track";
constexpr float kLookAhead = 200.0f;
constexpr float kCullBehind = 5.0f;
constexpr std::uint32_t kUpdatesPerGeneration = 50;

// The unit square at y = 0 as two triangles, counter-clockwise seen from
// above; position then an (unused) up normal per vertex.
constexpr float kSheet[6][6] = {
    {-0.5f, 0.0f, -0.5f, 0.0f, 1.0f, 0.0f}, {-0.5f, 0.0f, 0.5f, 0.0f, 1.0f, 0.0f},
    {0.5f, 0.0f, 0.5f, 0.0f, 1.0f, 0.0f},   {0.5f, 0.0f, 0.5f, 0.0f, 1.0f, 0.0f},
    {0.5f, 0.0f, -0.5f, 0.0f, 1.0f, 0.0f},  {-0.5f, 0.0f, -0.5f, 0.0f, 1.0f, 0.0f},
};

TrackRandom generator;

// A draw from the road's generator taken modulo n, as a float.
float draw(int n) { return static_cast<float>(generator.next() % n); }

}  // namespace

TrackRandom& trackRandom() { return generator; }

void seedTrackRandom(std::uint32_t seed) { generator.seed(seed); }

Track::Track() {
    try {
        glGenBuffers(1, &vbo);
        glBindBuffer(GL_ARRAY_BUFFER, vbo);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(sizeof(kSheet)), kSheet, GL_STATIC_DRAW);
        if (glGetError() != GL_NO_ERROR) {
            throw Orvo3D::LoggedException(kModule, __LINE__, "Failed to init track: VBO generation");
        }

        glGenVertexArrays(1, &vao);
        glBindVertexArray(vao);
        if (glGetError() != GL_NO_ERROR) {
            throw Orvo3D::LoggedException(kModule, __LINE__, "Failed to init track: VAO generation");
        }

        shader = new Shader("shaders/track.vert", "shaders/track.frag");

        GLint location = glGetAttribLocation(shader->program, "inPosition");
        if (location >= 0) {
            glEnableVertexAttribArray(static_cast<GLuint>(location));
            glVertexAttribPointer(static_cast<GLuint>(location), 3, GL_FLOAT, GL_FALSE, 6 * sizeof(float), nullptr);
        } else {
            Logger::error(kModule, __LINE__, "Failed to find attribute named: inPosition");
        }
        checkGLError(kModule, __LINE__);

        frontier = 10.0f;
        distance = 0.0f;
        // The fixed start: 20 units of road centred under the ship.
        plates.push_back(new Plate(0.0f, -0.635f, 0.0f, 3.0f, 0.2f, 20.0f, true, false));
        cullAndGenerate();
    } catch (...) {
        for (Plate* plate : plates) delete plate;
        delete shader;
        if (vao != 0) glDeleteVertexArrays(1, &vao);
        if (vbo != 0) glDeleteBuffers(1, &vbo);
        throw;
    }
}

Track::~Track() {
    delete shader;
    glDeleteVertexArrays(1, &vao);
    glDeleteBuffers(1, &vbo);
    for (Plate* plate : plates) delete plate;
}

void Track::update(float newDistance) {
    distance = newDistance;
    ++updateCount;
    if (updateCount % kUpdatesPerGeneration == 0) cullAndGenerate();
}

void Track::cullAndGenerate() {
    // Strictly more than 5 units past a plate's far end: a plate exactly 5
    // units behind is kept.
    auto behind = [this](Plate* plate) {
        bool gone = distance > plate->position.z + plate->size.z * 0.5f + kCullBehind;
        if (gone) delete plate;
        return gone;
    };
    plates.erase(std::remove_if(plates.begin(), plates.end(), behind), plates.end());
    generate();
}

void Track::generate() {
    while (distance + kLookAhead > frontier) {
        bool gap = generator.next() % 8 == 1;
        float zStart = 0.0f;
        float length = 0.0f;
        if (gap) {
            float gapLength = draw(100) / 20.0f + 2.0f;
            zStart = frontier + gapLength;
            length = draw(200) / 10.0f + 5.0f;
            if (generator.next() % 3 == 1) {
                float px = draw(601) / 100.0f - 3.0f;
                // Mid-gap, measured from the previous floor plate's end.
                plates.push_back(new Plate(px, 0.0f, gapLength * 0.5f + frontier, 1.0f, 6.0f, 1.0f, false, true));
            }
        } else {
            zStart = frontier + 0.0f;
            length = draw(200) / 10.0f + 5.0f;
        }
        frontier = length + zStart;
        float halfLength = length * 0.5f;
        float zCentre = zStart + halfLength;

        float x = draw(601) / 100.0f - 3.0f;
        float width = draw(50) / 15.0f + 2.0f;
        plates.push_back(new Plate(x, -0.635f, zCentre, width, 0.2f, length, true, false));

        // Blocks get more frequent with distance: 1 in 5, 4, 3, 2, then always.
        int n = 5 - static_cast<int>(std::floor(distance / 300.0f));
        if (n >= 2 && generator.next() % n != 0) continue;

        float bw = (draw(10) + 1.0f) / 20.0f * width + 0.3f;
        float bl = (draw(7) + 1.0f) / 10.0f * length;
        float bh = draw(80) / 40.0f + 0.5f;
        float tx = draw(100) / 100.0f;
        float bx = tx * (width - bw) + ((x - width * 0.5f) + bw * 0.5f);
        float tz = draw(100) / 100.0f;
        float bz = tz * (length - bl) + ((zCentre - halfLength) + bl * 0.5f);
        plates.push_back(new Plate(bx, bh * 0.5f - 0.48f, bz, bw, bh, bl, false, false));
    }
}

void Track::render() {
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBindVertexArray(vao);
    glUseProgram(shader->program);
    glm::mat4 view = viewMatrix();
    glm::mat4 projection = projectionMatrix();
    glUniformMatrix4fv(shader->uniformLocation(UNIFORM("view")), 1, GL_FALSE, &view[0][0]);
    glUniformMatrix4fv(shader->uniformLocation(UNIFORM("projection")), 1, GL_FALSE, &projection[0][0]);

    // Blended without the depth test: it leaves the depth buffer (and the
    // shadow map) untouched, and the plates drawn next cover it.
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // 20 x 70 units at y = -2, fixed before the camera; only its pattern moves.
    const glm::mat4 model(glm::vec4(20.0f, 0.0f, 0.0f, 0.0f), glm::vec4(0.0f, 1.0f, 0.0f, 0.0f),
                          glm::vec4(0.0f, 0.0f, 70.0f, 0.0f), glm::vec4(0.0f, -2.0f, -30.0f, 1.0f));
    glUniformMatrix4fv(shader->uniformLocation(UNIFORM("model")), 1, GL_FALSE, &model[0][0]);
    glUniform1f(shader->uniformLocation(UNIFORM("distance")), distance);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);

    for (const Plate* plate : plates) plate->render(distance);
    checkGLError(kModule, __LINE__);
}
