#include "game/track.h"

#include "game/plate.h"
#include "orvo3d/log.h"

namespace {

constexpr const char* kModule = "game/track";

// The unit square at y = 0 as two triangles, counter-clockwise seen from
// above; position then an (unused) up normal per vertex.
constexpr float kSheet[6][6] = {
    {-0.5f, 0.0f, -0.5f, 0.0f, 1.0f, 0.0f}, {-0.5f, 0.0f, 0.5f, 0.0f, 1.0f, 0.0f},
    {0.5f, 0.0f, 0.5f, 0.0f, 1.0f, 0.0f},   {0.5f, 0.0f, 0.5f, 0.0f, 1.0f, 0.0f},
    {0.5f, 0.0f, -0.5f, 0.0f, 1.0f, 0.0f},  {-0.5f, 0.0f, -0.5f, 0.0f, 1.0f, 0.0f},
};

}  // namespace

TrackView::TrackView(PlateRenderer& plateRenderer) : plates(plateRenderer) {
    vbo = makeVertexBuffer(kSheet, sizeof(kSheet), "track", kModule, __LINE__);
    vao = makeVertexArray("track", kModule, __LINE__);
    shader = std::make_unique<Shader>("shaders/track.vert", "shaders/track.frag");
    bindAttribute(shader->program.get(), "inPosition", 3, GL_FLOAT, GL_FALSE, 6 * sizeof(float), 0, kModule, __LINE__);
    checkGLError(kModule, __LINE__);
}

void TrackView::render(const Road& road, const RenderContext& context) {
    glBindBuffer(GL_ARRAY_BUFFER, vbo.get());
    glBindVertexArray(vao.get());
    glUseProgram(shader->program.get());
    glUniformMatrix4fv(shader->uniformLocation(UNIFORM("view")), 1, GL_FALSE, &context.view[0][0]);
    glUniformMatrix4fv(shader->uniformLocation(UNIFORM("projection")), 1, GL_FALSE, &context.projection[0][0]);

    // Blended without the depth test: it leaves the depth buffer (and the
    // shadow map) untouched, and the plates drawn next cover it.
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    // 20 x 70 units at y = -2, fixed before the camera; only its pattern moves.
    const glm::mat4 model(glm::vec4(20.0f, 0.0f, 0.0f, 0.0f), glm::vec4(0.0f, 1.0f, 0.0f, 0.0f),
                          glm::vec4(0.0f, 0.0f, 70.0f, 0.0f), glm::vec4(0.0f, -2.0f, -30.0f, 1.0f));
    glUniformMatrix4fv(shader->uniformLocation(UNIFORM("model")), 1, GL_FALSE, &model[0][0]);
    glUniform1f(shader->uniformLocation(UNIFORM("distance")), road.distance);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);

    for (const auto& plate : road.plates) renderPlate(plates, *plate, road.distance, context);
    checkGLError(kModule, __LINE__);
}
