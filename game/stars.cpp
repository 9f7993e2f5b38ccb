#include "game/stars.h"

#include "game/screen.h"
#include "orvo3d/log.h"
#include "orvo3d/shader.h"

namespace {

constexpr const char* kModule = "game/stars";

constexpr GLsizei kStride = 6 * sizeof(float);

}  // namespace

Stars::Stars() {
    vbo = makeVertexBuffer(kScreenQuad, sizeof(kScreenQuad), "stars", kModule, __LINE__);
    vao = makeVertexArray("stars", kModule, __LINE__);
    shader = std::make_unique<Shader>("shaders/stars.vert", "shaders/stars.frag");
    bindAttribute(shader->program.get(), "inPosition", 3, GL_FLOAT, GL_FALSE, kStride, 0, kModule, __LINE__);
    bindAttribute(shader->program.get(), "inTexCoords", 3, GL_FLOAT, GL_FALSE, kStride, 3 * sizeof(float), kModule,
                  __LINE__);
    checkGLError(kModule, __LINE__);
}

void Stars::render(float distance, int width) {
    glBindBuffer(GL_ARRAY_BUFFER, vbo.get());
    glBindVertexArray(vao.get());
    glUseProgram(shader->program.get());
    glUniform1f(shader->uniformLocation(UNIFORM("distance")), distance);
    // About one dense-layer cell per pixel across the window.
    glUniform1i(shader->uniformLocation(UNIFORM("stars")), width);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    checkGLError(kModule, __LINE__);
}
