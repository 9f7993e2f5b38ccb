#include "game/pause.h"

#include <glm/glm.hpp>

#include "game/font.h"
#include "game/screen.h"
#include "orvo3d/log.h"
#include "orvo3d/shader.h"

namespace {

constexpr const char* kModule = "game/pause";

}  // namespace

Pause::Pause(Font& textFont) : font(textFont) {
    vbo = makeVertexBuffer(kScreenQuad, sizeof(kScreenQuad), "pause", kModule, __LINE__);
    vao = makeVertexArray("pause", kModule, __LINE__);
    shader = std::make_unique<Shader>("shaders/pause.vert", "shaders/pause.frag");
    bindAttribute(shader->program.get(), "inPosition", 3, GL_FLOAT, GL_FALSE, 6 * sizeof(float), 0, kModule, __LINE__);
    checkGLError(kModule, __LINE__);
}

void Pause::render() {
    glBindBuffer(GL_ARRAY_BUFFER, vbo.get());
    glBindVertexArray(vao.get());
    glUseProgram(shader->program.get());
    glDrawArrays(GL_TRIANGLES, 0, 6);

    font.drawCentered("Paused", 960.0f, 500.0f, 224.0f, kTitleColor);
    font.drawCentered("RESUME", 960.0f, 260.0f, 80.0f, kSelectedColor);
    checkGLError(kModule, __LINE__);
}
