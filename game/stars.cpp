#include "game/stars.h"

#include "game/mainloop.h"
#include "orvo3d/log.h"
#include "orvo3d/shader.h"

namespace {

constexpr const char* kModule = "game/stars";

constexpr GLsizei kStride = 6 * sizeof(float);

}  // namespace

Stars::Stars() {
    glGenBuffers(1, &vbo);
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof(kScreenQuad), kScreenQuad, GL_STATIC_DRAW);
    if (glGetError() != GL_NO_ERROR) {
        throw Orvo3D::LoggedException(kModule, __LINE__, "Failed to init stars: VBO generation");
    }

    glGenVertexArrays(1, &vao);
    glBindVertexArray(vao);
    if (glGetError() != GL_NO_ERROR) {
        throw Orvo3D::LoggedException(kModule, __LINE__, "Failed to init stars: VAO generation");
    }

    shader = new Shader("shaders/stars.vert", "shaders/stars.frag");

    GLint position = glGetAttribLocation(shader->program, "inPosition");
    if (position >= 0) {
        glEnableVertexAttribArray(static_cast<GLuint>(position));
        glVertexAttribPointer(static_cast<GLuint>(position), 3, GL_FLOAT, GL_FALSE, kStride, nullptr);
    }
    GLint texCoords = glGetAttribLocation(shader->program, "inTexCoords");
    if (texCoords >= 0) {
        glEnableVertexAttribArray(static_cast<GLuint>(texCoords));
        glVertexAttribPointer(static_cast<GLuint>(texCoords), 3, GL_FLOAT, GL_FALSE, kStride,
                              reinterpret_cast<const void*>(3 * sizeof(float)));
    }
    checkGLError(kModule, __LINE__);
}

void Stars::render(float distance) {
    glBindBuffer(GL_ARRAY_BUFFER, vbo);
    glBindVertexArray(vao);
    glUseProgram(shader->program);
    glUniform1f(shader->uniformLocation(UNIFORM("distance")), distance);
    // About one dense-layer cell per pixel across the window.
    glUniform1i(shader->uniformLocation(UNIFORM("stars")), windowWidth);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    checkGLError(kModule, __LINE__);
}
