#pragma once
// The picture in fullscreen. The game still draws at its window size, into
// an offscreen 4x multisampled target of that size; the target is resolved
// and scaled onto the whole screen with its shape kept, black bars where the
// shapes differ. In a window none of this runs: the game draws straight into
// the window's own framebuffer.

#include <memory>

#include "orvo3d/opengl.h"

class Shader;

// A rectangle of the screen in pixels, origin bottom-left.
struct ScreenRect {
    int x;
    int y;
    int width;
    int height;
};

// Where a picture lands on a screen: as large as fits with its aspect kept,
// centred (a bar's odd pixel goes to the top or the right).
ScreenRect fitPicture(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight);

// How the picture is sampled onto the screen, by its scale: a copy at 1,
// bilinear when made larger, the area mean when made smaller (bilinear
// would skip texels there and thin strokes of the text would break up).
enum class PresentFilter : int { Copy = 0, Bilinear = 1, AreaMean = 2 };
PresentFilter filterFor(int pictureWidth, int pictureHeight, const ScreenRect& placed);

class Presenter {
public:
    // Makes the target of width x height and the program that scales it.
    // Throws Orvo3D::LoggedException when either cannot be had.
    Presenter(int width, int height);
    ~Presenter();
    Presenter(const Presenter&) = delete;
    Presenter& operator=(const Presenter&) = delete;

    // The multisampled framebuffer the screens draw into.
    GLuint framebuffer() const { return target.get(); }

    // Resolves the target and draws it onto `destination`, a framebuffer of
    // screenWidth x screenHeight, bars black. The GL state the screens rely
    // on (viewport, tests, bindings, clear colour) is left as it was.
    void present(GLuint destination, int screenWidth, int screenHeight);

    int width;
    int height;

private:
    GlTexture samples;       // 4x multisampled colour
    GlTexture sampleDepth;   // and its depth and stencil
    GlFramebuffer target;
    GlTexture resolved;      // one sample per pixel, what is scaled
    GlFramebuffer resolvedFramebuffer;
    GlBuffer vbo;
    GlVertexArray vao;
    std::unique_ptr<Shader> shader;
};
