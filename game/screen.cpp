#include "game/screen.h"

#include "orvo3d/opengl.h"

namespace {

GLuint screens = 0;

}  // namespace

unsigned int screenFramebuffer() { return screens; }

void setScreenFramebuffer(unsigned int framebuffer) { screens = framebuffer; }

void clearScreen(glm::vec3 color) {
    glBindFramebuffer(GL_FRAMEBUFFER, screens);
    glClearColor(color.r, color.g, color.b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}
