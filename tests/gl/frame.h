#pragma once
// Whole-frame read-back and optional screenshots for the GL tests.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "support/gl_context.h"

// RGB of every pixel of the default framebuffer, rows bottom-up.
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;

    glm::ivec3 at(int x, int y) const {
        std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

inline Frame readFrame(const GlContext& ctx) {
    Frame frame{ctx.width, ctx.height, std::vector<unsigned char>(static_cast<std::size_t>(ctx.width) * ctx.height * 3)};
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, ctx.width, ctx.height, GL_RGB, GL_UNSIGNED_BYTE, frame.rgb.data());
    return frame;
}

// Saves a PNG into $VIMBROT_SCREENSHOTS when that is set, for looking at by eye.
inline void saveScreenshot(const GlContext& ctx, const std::string& name) {
    const char* dir = std::getenv("VIMBROT_SCREENSHOTS");
    if (dir == nullptr || dir[0] == '\0') return;
    std::filesystem::create_directories(dir);
    ctx.savePng((std::filesystem::path(dir) / (name + ".png")).string().c_str());
}

// 8-bit value of a colour channel in 0..1.
inline int channel(float v) { return static_cast<int>(v * 255.0f + 0.5f); }

// A point of the 1920 x 864 text space as a pixel of the window.
inline glm::vec2 textToPixel(const GlContext& ctx, float x, float y) {
    return {x * static_cast<float>(ctx.width) / 1920.0f, y * static_cast<float>(ctx.height) / 864.0f};
}
