// What fullscreen adds to a frame: resolving the window-sized target and
// scaling it onto the screen, at the sizes the game meets (the picture's
// width and the screen's width and height as arguments), ending in glFinish.
#include <benchmark/benchmark.h>

#include "orvo3d/opengl.h"  // epoxy before GLFW's own GL header

#include "game/presenter.h"
#include "support/gl_context.h"

namespace {

void BM_Present(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = width * 9 / 16;
    const int screenWidth = static_cast<int>(state.range(1));
    const int screenHeight = static_cast<int>(state.range(2));
    GlContext ctx(64, 64);
    if (!ctx.ok()) {
        state.SkipWithError("no GL context");
        return;
    }
    Presenter presenter(width, height);
    // A screen-sized framebuffer stands in for the monitor.
    GlTexture colour = createGlObject<GlTextureKind>();
    glBindTexture(GL_TEXTURE_2D, colour.get());
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, screenWidth, screenHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    GlFramebuffer screen = createGlObject<GlFramebufferKind>();
    glBindFramebuffer(GL_FRAMEBUFFER, screen.get());
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour.get(), 0);
    glBindFramebuffer(GL_FRAMEBUFFER, presenter.framebuffer());
    glClearColor(0.58f, 0.67f, 0.83f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    presenter.present(screen.get(), screenWidth, screenHeight);  // compiles outside the measurement
    glFinish();
    for (auto _ : state) {
        presenter.present(screen.get(), screenWidth, screenHeight);
        glFinish();
    }
}
BENCHMARK(BM_Present)
    ->Args({1920, 1920, 1200})  // a copy between bars
    ->Args({1920, 2560, 1600})  // made larger
    ->Args({1280, 1920, 1080})  // made larger, no bars
    ->Args({1280, 800, 600})    // made smaller
    ->Unit(benchmark::kMillisecond);

}  // namespace
