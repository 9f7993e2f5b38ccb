#include "support/gl_context.h"

#include <GLFW/glfw3.h>

#include <vector>

#include <stb_image_write.h>

#include "game/font.h"
#include "game/mainloop.h"
#include "game/plate.h"

GlContext::GlContext(int w, int h) : width(w), height(h), font(&Font::withGlObjects) {
    if (!glfwInit()) return;
    setContextHints();
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    window = glfwCreateWindow(width, height, "Vimbrot test", nullptr, nullptr);
    if (window == nullptr) return;
    glfwMakeContextCurrent(window);
    setInitialGlState(width, height);
}

GlContext::~GlContext() {
    // The services' GL objects go while their context is current.
    plates.reset();
    font.reset();
    if (window != nullptr) glfwDestroyWindow(window);
    glfwTerminate();
}

glm::ivec3 GlContext::pixel(int x, int y) const {
    unsigned char rgba[4] = {};
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return {rgba[0], rgba[1], rgba[2]};
}

void GlContext::savePng(const char* path) const {
    std::vector<unsigned char> rgb(static_cast<size_t>(width) * height * 3);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    stbi_flip_vertically_on_write(1);
    stbi_write_png(path, width, height, 3, rgb.data(), width * 3);
}

void GlContext::swap() { glfwSwapBuffers(window); }
