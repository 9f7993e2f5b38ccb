#include "game/screen.h"

#include "orvo3d/opengl.h"

void clearScreen(const RenderTarget& target, glm::vec3 color) {
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    glClearColor(color.r, color.g, color.b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
