// The application and the services it owns: each made on first use, reached
// through instance() while its owner lives, and destroyed exactly once with
// it, GL objects while their context is current. Twice in one process, so a
// service left behind or destroyed twice shows in the second round.
#include <gtest/gtest.h>

#include "orvo3d/opengl.h"  // epoxy before GLFW's own GL header

#include <GLFW/glfw3.h>
#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <cstdlib>
#include <stdexcept>

#include "game/application.h"
#include "game/font.h"
#include "game/input.h"
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

TEST(ServiceOwner, GlServicesGoWithTheirOwnerAndAreMadeAgainByTheNext) {
    GlContext ctx(1280, 720);
    ASSERT_TRUE(ctx.ok()) << "no GL context (run under xvfb-run)";
    writeFile("message.log", "");
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        GLuint fontBuffer = 0, plateBuffer = 0, plateTexture = 0;
        {
            ServiceOwner<Font> font(&Font::withGlObjects);
            ServiceOwner<PlateRenderer> plates;
            EXPECT_EQ(font.made(), nullptr) << "made before its first use";
            Font* first = &Font::instance();
            EXPECT_EQ(first, font.made());
            EXPECT_EQ(&Font::instance(), first) << "made again on the second use";
            PlateRenderer* renderer = &PlateRenderer::instance();
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
        // The context's own owners stand again, with nothing made.
        EXPECT_EQ(ServiceOwner<Font>::newest(), &ctx.font);
        EXPECT_EQ(ServiceOwner<PlateRenderer>::newest(), &ctx.plates);
        EXPECT_EQ(ctx.font.made(), nullptr);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    EXPECT_EQ(readLog(), "");
}

TEST(ServiceOwner, TheSoundClosesTheEngineWhenItGoes) {
    setVariable("SDL_AUDIODRIVER", "dummy");
    writeFile("message.log", "");
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        {
            ServiceOwner<Sound> sound;
            ASSERT_TRUE(Sound::instance().engine);
            Sound::instance().play("data/jump.wav");
            EXPECT_EQ(Mix_Playing(-1), 1);
        }
        EXPECT_TRUE(audioClosed()) << "the engine outlived its Sound";
    }
    EXPECT_EQ(readLog(), "");
}

TEST(ServiceOwner, AServiceWithoutAnOwnerIsAFaultOfTheProgram) {
    // No GlContext, so no owner of the GL services.
    EXPECT_EQ(ServiceOwner<Font>::newest(), nullptr);
    EXPECT_THROW(Font::instance(), std::logic_error);
    EXPECT_THROW(PlateRenderer::instance(), std::logic_error);
}

// The whole application, built, run for one frame and taken down, twice:
// GLFW, the window, the screens, the services and the start-up workers all
// go each time, and the second round starts from nothing.
TEST(Application, IsBuiltRunAndTakenDownTwiceInOneProcess) {
    setVariable("SDL_AUDIODRIVER", "dummy");
    writeFile("message.log", "");
    ServiceOwner<Input>* testInput = ServiceOwner<Input>::newest();
    ServiceOwner<Sound>* testSound = ServiceOwner<Sound>::newest();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(glfwInit()) << "no display (run under xvfb-run)";
        {
            Application application;
            ASSERT_TRUE(application.openWindow(false));
            application.buildScreens();
            EXPECT_NE(ServiceOwner<Font>::newest()->made(), nullptr) << "the menu did not build the font";
            EXPECT_NE(ServiceOwner<PlateRenderer>::newest()->made(), nullptr) << "the road did not build its renderer";
            // One frame: the close flag is seen in the frame's wait.
            glfwSetWindowShouldClose(glfwGetCurrentContext(), GLFW_TRUE);
            application.run();
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        }
        EXPECT_EQ(ServiceOwner<Font>::newest(), nullptr);
        EXPECT_EQ(ServiceOwner<PlateRenderer>::newest(), nullptr);
        EXPECT_EQ(ServiceOwner<Input>::newest(), testInput);
        EXPECT_EQ(ServiceOwner<Sound>::newest(), testSound);
        EXPECT_TRUE(audioClosed()) << "the application's Sound outlived it";
        // GLFW has ended: it has no window and no context left.
        EXPECT_EQ(glfwGetCurrentContext(), nullptr);
    }
    EXPECT_EQ(countOf(readLog(), "ERROR"), 0) << readLog();
}

}  // namespace
