#include "game/presenter.h"

#include <algorithm>
#include <cmath>

#include "game/screen.h"
#include "orvo3d/log.h"
#include "orvo3d/shader.h"

namespace {

constexpr const char* kModule = "game/presenter";
constexpr GLsizei kStride = 6 * sizeof(float);
// As many samples as the window's own framebuffer has.
constexpr GLsizei kSamples = 4;

// The state present() changes and gives back, so that the frame after it
// draws as every frame in a window does.
struct SavedState {
    SavedState() {
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor);
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray);
        glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
        glGetIntegerv(GL_ACTIVE_TEXTURE, &activeTexture);
        glActiveTexture(GL_TEXTURE0);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &texture);
        depthTest = glIsEnabled(GL_DEPTH_TEST);
        cullFace = glIsEnabled(GL_CULL_FACE);
        blend = glIsEnabled(GL_BLEND);
    }
    ~SavedState() {
        glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
        glClearColor(clearColor[0], clearColor[1], clearColor[2], clearColor[3]);
        glUseProgram(static_cast<GLuint>(program));
        glBindVertexArray(static_cast<GLuint>(vertexArray));
        glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBuffer));
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
        glActiveTexture(static_cast<GLenum>(activeTexture));
        enable(GL_DEPTH_TEST, depthTest);
        enable(GL_CULL_FACE, cullFace);
        enable(GL_BLEND, blend);
    }
    static void enable(GLenum capability, GLboolean on) {
        if (on) {
            glEnable(capability);
        } else {
            glDisable(capability);
        }
    }

    GLint viewport[4] = {};
    GLfloat clearColor[4] = {};
    GLint program = 0, vertexArray = 0, arrayBuffer = 0, activeTexture = GL_TEXTURE0, texture = 0;
    GLboolean depthTest = GL_FALSE, cullFace = GL_FALSE, blend = GL_FALSE;
};

GlTexture multisampledTexture(GLenum format, int width, int height) {
    GlTexture texture = createGlObject<GlTextureKind>();
    glBindTexture(GL_TEXTURE_2D_MULTISAMPLE, texture.get());
    glTexImage2DMultisample(GL_TEXTURE_2D_MULTISAMPLE, kSamples, format, width, height, GL_TRUE);
    glBindTexture(GL_TEXTURE_2D_MULTISAMPLE, 0);
    return texture;
}

[[noreturn]] void fail(int line, const char* what) {
    throw Orvo3D::LoggedException(kModule, line, "Failed to set up the fullscreen picture: %s", what);
}

}  // namespace

ScreenRect fitPicture(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0 || screenWidth <= 0 || screenHeight <= 0) {
        return {0, 0, std::max(screenWidth, 0), std::max(screenHeight, 0)};
    }
    // Compared in integers, so that a screen of exactly the picture's shape
    // gets no bar of a stray pixel.
    int width = screenWidth;
    int height = screenHeight;
    const long long across = static_cast<long long>(pictureWidth) * screenHeight;
    const long long down = static_cast<long long>(pictureHeight) * screenWidth;
    if (across > down) {
        // The screen is taller than the picture: bars above and below.
        height = static_cast<int>((static_cast<long long>(screenWidth) * pictureHeight + pictureWidth / 2) / pictureWidth);
    } else if (across < down) {
        // The screen is wider: bars left and right.
        width = static_cast<int>((static_cast<long long>(screenHeight) * pictureWidth + pictureHeight / 2) / pictureHeight);
    }
    return {(screenWidth - width) / 2, (screenHeight - height) / 2, width, height};
}

PresentFilter filterFor(int pictureWidth, int pictureHeight, const ScreenRect& placed) {
    if (placed.width == pictureWidth && placed.height == pictureHeight) return PresentFilter::Copy;
    if (placed.width > pictureWidth) return PresentFilter::Bilinear;
    return PresentFilter::AreaMean;
}

Presenter::Presenter(int w, int h) : width(w), height(h) {
    if (width <= 0 || height <= 0) fail(__LINE__, "no picture size");
    // The target has the formats of the window's own framebuffer (8-bit
    // RGBA, 24-bit depth with stencil, 4 samples), so the game draws the
    // very same picture into it.
    samples = multisampledTexture(GL_RGBA8, width, height);
    sampleDepth = multisampledTexture(GL_DEPTH24_STENCIL8, width, height);
    target = createGlObject<GlFramebufferKind>();
    glBindFramebuffer(GL_FRAMEBUFFER, target.get());
    // Mesa keeps a window's buffer upside down in memory, and the positions
    // of its 4 samples are mirrored with it; a target kept the same way
    // takes the very same samples, so the edges come out as in the window.
    if (epoxy_has_gl_extension("GL_MESA_framebuffer_flip_y")) {
        glFramebufferParameteri(GL_FRAMEBUFFER, GL_FRAMEBUFFER_FLIP_Y_MESA, GL_TRUE);
    }
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D_MULTISAMPLE, samples.get(), 0);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_TEXTURE_2D_MULTISAMPLE, sampleDepth.get(),
                           0);
    const bool targetComplete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;

    resolved = createGlObject<GlTextureKind>();
    glBindTexture(GL_TEXTURE_2D, resolved.get());
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    resolvedFramebuffer = createGlObject<GlFramebufferKind>();
    glBindFramebuffer(GL_FRAMEBUFFER, resolvedFramebuffer.get());
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, resolved.get(), 0);
    const bool resolvedComplete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (!targetComplete || !resolvedComplete) fail(__LINE__, "incomplete framebuffer");

    vbo = makeVertexBuffer(kScreenQuad, sizeof(kScreenQuad), "presenter", kModule, __LINE__);
    vao = makeVertexArray("presenter", kModule, __LINE__);
    shader = std::make_unique<Shader>("shaders/present.vert", "shaders/present.frag");
    bindAttribute(shader->program.get(), "inPosition", 3, GL_FLOAT, GL_FALSE, kStride, 0, kModule, __LINE__);
    bindAttribute(shader->program.get(), "inTexCoords", 3, GL_FLOAT, GL_FALSE, kStride, 3 * sizeof(float), kModule,
                  __LINE__);
    glBindVertexArray(0);
    if (glGetError() != GL_NO_ERROR) fail(__LINE__, "OpenGL error");
}

Presenter::~Presenter() = default;

void Presenter::present(GLuint destination, int screenWidth, int screenHeight) {
    const SavedState saved;

    // One sample per pixel, as the window's framebuffer is resolved when
    // it is shown.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, target.get());
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolvedFramebuffer.get());
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);

    glBindFramebuffer(GL_FRAMEBUFFER, destination);
    glViewport(0, 0, screenWidth, screenHeight);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

    const ScreenRect placed = fitPicture(width, height, screenWidth, screenHeight);
    glViewport(placed.x, placed.y, placed.width, placed.height);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, resolved.get());
    glBindBuffer(GL_ARRAY_BUFFER, vbo.get());
    glBindVertexArray(vao.get());
    glUseProgram(shader->program.get());
    glUniform1i(shader->uniformLocation(UNIFORM("picture")), 0);
    glUniform1i(shader->uniformLocation(UNIFORM("filterMode")),
                static_cast<int>(filterFor(width, height, placed)));
    glUniform1f(shader->uniformLocation(UNIFORM("footprint")),
                static_cast<float>(width) / static_cast<float>(std::max(placed.width, 1)));
    glUniform2f(shader->uniformLocation(UNIFORM("origin")), static_cast<float>(placed.x),
                static_cast<float>(placed.y));
    glDrawArrays(GL_TRIANGLES, 0, 6);
    checkGLError(kModule, __LINE__);

    // The next frame's screens draw into the target again.
    glBindFramebuffer(GL_FRAMEBUFFER, target.get());
}
