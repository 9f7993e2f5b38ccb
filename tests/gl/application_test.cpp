// The application and the services it owns: each made on its first use by
// the Lazy that holds it, destroyed exactly once when that goes or is reset,
// GL objects while their context is current. Twice in one process, so a
// service left behind or destroyed twice shows in the second round.
#include <gtest/gtest.h>

#include "orvo3d/opengl.h"  // epoxy before GLFW's own GL header

#include <GLFW/glfw3.h>
#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <memory>
#include <stdexcept>

#include "game/application.h"
#include "game/font.h"
#include "game/plate.h"
#include "orvo3d/service.h"
#include "orvo3d/sound.h"
#include "support/gl_context.h"
#include "support/sandbox.h"

namespace {

// Nothing of the audio engine is left open.
bool audioClosed() {
    int frequency = 0, channels = 0;
    Uint16 format = 0;
    return SDL_WasInit(SDL_INIT_AUDIO) == 0 && Mix_QuerySpec(&frequency, &format, &channels) == 0;
}

TEST(Lazy, GlServicesAreMadeOnFirstUseAndGoWithTheirOwner) {
    GlContext ctx(1280, 720);
    ASSERT_TRUE(ctx.ok()) << "no GL context (run under xvfb-run)";
    writeFile("message.log", "");
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        GLuint fontBuffer = 0, plateBuffer = 0, plateTexture = 0;
        {
            Lazy<Font> font(&Font::withGlObjects);
            Lazy<PlateRenderer> plates;
            EXPECT_EQ(font.made(), nullptr) << "made before its first use";
            EXPECT_EQ(plates.made(), nullptr) << "made before its first use";
            Font* first = &font.get();
            EXPECT_EQ(first, font.made());
            EXPECT_EQ(&font.get(), first) << "made again on the second use";
            PlateRenderer* renderer = &plates.get();
            EXPECT_EQ(renderer, plates.made());
            fontBuffer = font.made()->vbo.get();
            plateBuffer = plates.made()->vbo.get();
            plateTexture = plates.made()->metalTexture.get();
            EXPECT_TRUE(glIsBuffer(fontBuffer));
            EXPECT_TRUE(glIsBuffer(plateBuffer));
            EXPECT_TRUE(glIsTexture(plateTexture));
        }
        EXPECT_FALSE(glIsBuffer(fontBuffer)) << "the font's buffer outlived its owner";
        EXPECT_FALSE(glIsBuffer(plateBuffer)) << "the plates' buffer outlived its owner";
        EXPECT_FALSE(glIsTexture(plateTexture)) << "the plates' texture outlived its owner";
        // The context's own services are apart from these: still unmade.
        EXPECT_EQ(ctx.font.made(), nullptr);
        EXPECT_EQ(ctx.plates.made(), nullptr);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    EXPECT_EQ(readLog(), "");
}

TEST(Lazy, ResetDestroysTheServiceAndTheNextUseMakesANewOne) {
    GlContext ctx(1280, 720);
    ASSERT_TRUE(ctx.ok()) << "no GL context (run under xvfb-run)";
    writeFile("message.log", "");
    Font& first = ctx.font.get();
    const GLuint firstBuffer = first.vbo.get();
    ASSERT_TRUE(glIsBuffer(firstBuffer));
    ctx.font.reset();
    EXPECT_EQ(ctx.font.made(), nullptr);
    EXPECT_FALSE(glIsBuffer(firstBuffer)) << "reset left the font's buffer";
    Font& second = ctx.font.get();
    EXPECT_EQ(ctx.font.made(), &second);
    EXPECT_TRUE(glIsBuffer(second.vbo.get()));
    ctx.font.reset();
    ctx.font.reset();  // a second reset has nothing left to destroy
    EXPECT_EQ(ctx.font.made(), nullptr);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(readLog(), "");
}

// A make that throws leaves nothing made; the next use tries again.
TEST(Lazy, AThrowingMakeLeavesNothingMade) {
    GlContext ctx(1280, 720);
    ASSERT_TRUE(ctx.ok()) << "no GL context (run under xvfb-run)";
    writeFile("message.log", "");
    glEnable(0x7FFF);  // not a capability: GL_INVALID_ENUM stays pending, and the font's check sees it
    EXPECT_THROW(ctx.font.get(), std::exception);
    EXPECT_EQ(ctx.font.made(), nullptr);
    EXPECT_EQ(countOf(readLog(), "Failed to init text"), 1) << readLog();

    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "the failed check took the error";
    Font& font = ctx.font.get();
    EXPECT_EQ(ctx.font.made(), &font);
    EXPECT_TRUE(glIsBuffer(font.vbo.get()));

    // The same without GL: each failed make is one call, the first success
    // is kept.
    int makes = 0;
    Lazy<int> counted([&makes]() -> std::unique_ptr<int> {
        if (++makes < 3) throw std::runtime_error("not yet");
        return std::make_unique<int>(makes);
    });
    EXPECT_THROW(counted.get(), std::runtime_error);
    EXPECT_EQ(counted.made(), nullptr);
    EXPECT_THROW(counted.get(), std::runtime_error);
    EXPECT_EQ(counted.made(), nullptr);
    EXPECT_EQ(counted.get(), 3);
    EXPECT_EQ(counted.get(), 3);
    EXPECT_EQ(makes, 3);
}

TEST(Lazy, TheSoundClosesTheEngineWhenItGoes) {
    setVariable("SDL_AUDIODRIVER", "dummy");
    writeFile("message.log", "");
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        {
            Lazy<Sound> sound;
            EXPECT_TRUE(audioClosed()) << "the engine started before the first use";
            ASSERT_TRUE(sound.get().engine);
            sound.get().play("data/jump.wav");
            EXPECT_EQ(Mix_Playing(-1), 1);
            sound.reset();
            EXPECT_TRUE(audioClosed()) << "reset left the engine open";
            ASSERT_TRUE(sound.get().engine) << "no new engine after the reset";
        }
        EXPECT_TRUE(audioClosed()) << "the engine outlived its Sound";
    }
    EXPECT_EQ(readLog(), "");
}

// The whole application, built, run for one frame and taken down, twice:
// GLFW, the window, the screens, the services and the start-up workers all
// go each time, and the second round starts from nothing.
TEST(Application, IsBuiltRunAndTakenDownTwiceInOneProcess) {
    setVariable("SDL_AUDIODRIVER", "dummy");
    writeFile("message.log", "");
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(glfwInit()) << "no display (run under xvfb-run)";
        {
            Application application;
            ASSERT_TRUE(application.openWindow(false));
            GLFWwindow* window = glfwGetCurrentContext();
            ASSERT_NE(window, nullptr) << "the game's window has no current context";
            application.buildScreens();
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
            // One frame: the close flag is seen in the frame's wait.
            glfwSetWindowShouldClose(window, GLFW_TRUE);
            application.run();
            EXPECT_EQ(glfwGetCurrentContext(), window);
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        }
        EXPECT_TRUE(audioClosed()) << "the application's Sound outlived it";
        // GLFW has ended: it has no window and no context left.
        EXPECT_EQ(glfwGetCurrentContext(), nullptr);
    }
    EXPECT_EQ(countOf(readLog(), "ERROR"), 0) << readLog();
}

}  // namespace
