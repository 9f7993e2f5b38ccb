// The fullscreen picture on real GL: a known picture drawn into the
// offscreen target at the window's size and presented onto screens of other
// sizes, read back pixel by pixel; and the switch itself on the virtual
// display, with the choice remembered. (That the game's frames come out the
// same as in the window is checked on the real screen by e2e/fullscreen.)
#include <gtest/gtest.h>

#include "orvo3d/opengl.h"  // epoxy before GLFW's own GL header

#include <GLFW/glfw3.h>

#include <cstdlib>
#include <vector>

#include "game/displaymode.h"
#include "game/mainloop.h"
#include "game/presenter.h"
#include "game/screen.h"
#include "gl/frame.h"
#include "support/sandbox.h"

namespace {

// A framebuffer standing in for a screen of the given size.
struct Screen {
    Screen(int w, int h) : width(w), height(h) {
        colour = createGlObject<GlTextureKind>();
        glBindTexture(GL_TEXTURE_2D, colour.get());
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glBindTexture(GL_TEXTURE_2D, 0);
        framebuffer = createGlObject<GlFramebufferKind>();
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer.get());
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour.get(), 0);
        // Anything but black, so that a bar left undrawn shows.
        glClearColor(0.5f, 0.25f, 0.75f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }

    Frame read() const {
        Frame frame{width, height, std::vector<unsigned char>(static_cast<std::size_t>(width) * height * 3)};
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer.get());
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, frame.rgb.data());
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        return frame;
    }

    int width, height;
    GlTexture colour;
    GlFramebuffer framebuffer;
};

void fill(int x, int y, int w, int h, glm::vec3 c) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, w, h);
    glClearColor(c.r, c.g, c.b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

constexpr glm::vec3 kRed{1, 0, 0}, kGreen{0, 1, 0}, kBlue{0, 0, 1}, kWhite{1, 1, 1}, kBlack{0, 0, 0};
const glm::ivec3 kBar{0, 0, 0};

glm::ivec3 rgb(glm::vec3 c) { return glm::ivec3(c * 255.0f + 0.5f); }

// Quadrants of the 1280 x 720 picture: red bottom left, green bottom right,
// blue top left, white top right.
void drawQuadrants(const Presenter& presenter) {
    glBindFramebuffer(GL_FRAMEBUFFER, presenter.framebuffer());
    fill(0, 0, 640, 360, kRed);
    fill(640, 0, 640, 360, kGreen);
    fill(0, 360, 640, 360, kBlue);
    fill(640, 360, 640, 360, kWhite);
}

class PresenterTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ctx.ok()) << "no GL context (run under xvfb-run)";
        writeFile("message.log", "");
    }
    void TearDown() override { EXPECT_EQ(countOf(readLog(), "ERROR"), 0) << readLog(); }

    GlContext ctx{1280, 720};
};

// Rows of the screen that are bars must be black from edge to edge, and the
// rows of the picture must start and end with its own colours.
void expectBars(const Frame& f, const ScreenRect& r) {
    long wrong = 0;
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
            const bool inPicture = x >= r.x && x < r.x + r.width && y >= r.y && y < r.y + r.height;
            if (!inPicture && f.at(x, y) != kBar) ++wrong;
            if (inPicture && f.at(x, y) == kBar) ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0) << "pixels on the wrong side of the picture's edge " << r.x << "," << r.y << " " << r.width
                        << "x" << r.height;
}

TEST_F(PresenterTest, QuadrantsScaleIntoTheMiddleBetweenBlackBars) {
    Presenter presenter(1280, 720);
    struct Case {
        int width, height;
        ScreenRect picture;
    } cases[] = {{1920, 1200, {0, 60, 1920, 1080}}, {1280, 1024, {0, 152, 1280, 720}}, {2560, 1080, {320, 0, 1920, 1080}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        drawQuadrants(presenter);
        Screen screen(c.width, c.height);
        presenter.present(screen.framebuffer.get(), c.width, c.height);
        const Frame f = screen.read();
        expectBars(f, c.picture);

        // Each quadrant's colour, exactly, up to a pixel from the seams
        // between them (where the scale-up blends them) and right to the
        // picture's own edges.
        const ScreenRect& p = c.picture;
        const int midX = p.x + p.width / 2, midY = p.y + p.height / 2;
        const int left = p.x, right = p.x + p.width - 1, bottom = p.y, top = p.y + p.height - 1;
        struct Probe {
            int x, y;
            glm::vec3 colour;
        } probes[] = {
            {left, bottom, kRed},    {midX - 2, midY - 2, kRed},   {right, bottom, kGreen}, {midX + 1, midY - 2, kGreen},
            {left, top, kBlue},      {midX - 2, midY + 1, kBlue},  {right, top, kWhite},    {midX + 1, midY + 1, kWhite},
            {left + 5, midY - 2, kRed}, {right - 5, midY + 1, kWhite},
        };
        for (const Probe& probe : probes) {
            EXPECT_EQ(f.at(probe.x, probe.y), rgb(probe.colour)) << "at " << probe.x << "," << probe.y;
        }
        saveScreenshot(ctx, "presenter");
    }
}

TEST_F(PresenterTest, SameSizeIsAnExactCopy) {
    // Single-pixel lines and dots survive a copy where they are.
    Presenter presenter(1280, 720);
    glBindFramebuffer(GL_FRAMEBUFFER, presenter.framebuffer());
    fill(0, 0, 1280, 720, kBlack);
    fill(100, 0, 1, 720, kWhite);
    fill(0, 200, 1280, 1, kRed);
    fill(1279, 719, 1, 1, kGreen);
    fill(0, 0, 1, 1, kBlue);
    Screen screen(1280, 1024);
    presenter.present(screen.framebuffer.get(), 1280, 1024);
    const Frame f = screen.read();
    long wrong = 0;
    for (int y = 0; y < 720; ++y) {
        for (int x = 0; x < 1280; ++x) {
            glm::ivec3 expected = rgb(kBlack);
            if (x == 100) expected = rgb(kWhite);
            if (y == 200) expected = rgb(kRed);
            if (x == 1279 && y == 719) expected = rgb(kGreen);
            if (x == 0 && y == 0) expected = rgb(kBlue);
            if (f.at(x, y + 152) != expected) ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);
    for (int x = 0; x < 1280; ++x) {
        EXPECT_EQ(f.at(x, 151), kBar);
        EXPECT_EQ(f.at(x, 152 + 720), kBar);
    }
}

TEST_F(PresenterTest, MadeSmallerEveryThinLineKeepsItsShareOfLight) {
    // 1280 x 720 onto 800 x 600: 0.625 of the size. A white line one texel
    // wide must come out as 0.625 of its light summed across the lines of
    // pixels it falls on, wherever it lies against the pixel grid; point or
    // bilinear sampling would lose some lines and keep others whole.
    Presenter presenter(1280, 720);
    glBindFramebuffer(GL_FRAMEBUFFER, presenter.framebuffer());
    fill(0, 0, 1280, 720, kBlack);
    const int firstLine = 320;
    for (int i = 0; i < 8; ++i) fill(firstLine + 16 * i + i % 8, 0, 1, 720, kWhite);
    Screen screen(800, 600);
    presenter.present(screen.framebuffer.get(), 800, 600);
    const Frame f = screen.read();
    // The bars: 75 rows below and above, black; the lines reach both.
    for (int x = 0; x < 800; ++x) {
        EXPECT_EQ(f.at(x, 74), kBar);
        EXPECT_EQ(f.at(x, 525), kBar);
    }
    EXPECT_GT(f.at(firstLine * 5 / 8, 75).r + f.at(firstLine * 5 / 8 + 1, 75).r, 100);
    EXPECT_GT(f.at(firstLine * 5 / 8, 524).r + f.at(firstLine * 5 / 8 + 1, 524).r, 100);
    for (int i = 0; i < 8; ++i) {
        const int texel = firstLine + 16 * i + i % 8;
        SCOPED_TRACE(testing::Message() << "line at texel " << texel);
        const int around = texel * 5 / 8;
        int light = 0;
        for (int x = around - 2; x <= around + 2; ++x) light += f.at(x, 300).r;
        EXPECT_NEAR(light, 255 * 0.625, 3);
    }
}

TEST_F(PresenterTest, GameStateIsGivenBackAfterPresenting) {
    Presenter presenter(1280, 720);
    clearScreen(RenderTarget{presenter.framebuffer(), 1280, 720});
    Screen screen(1920, 1200);
    presenter.present(screen.framebuffer.get(), 1920, 1200);
    GLint viewport[4] = {}, draw = 0;
    glGetIntegerv(GL_VIEWPORT, viewport);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
    EXPECT_EQ(viewport[2], 1280);
    EXPECT_EQ(viewport[3], 720);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_EQ(static_cast<GLuint>(draw), presenter.framebuffer());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

// The switch on the virtual display (1920 x 1200 in the test run).
class DisplayModeTest : public PresenterTest {
protected:
    void SetUp() override {
        PresenterTest::SetUp();
        unsetVariable("XDG_CONFIG_HOME");  // the sandbox's HOME/.config
    }

    void windowRect(int& x, int& y, int& w, int& h) {
        glfwPollEvents();
        glfwGetWindowPos(ctx.window, &x, &y);
        glfwGetWindowSize(ctx.window, &w, &h);
    }

    // A fullscreen frame's target: the presenter's 4x multisampled picture
    // of the window's size, not the window's framebuffer.
    static void expectPresentersTarget(const RenderTarget& target) {
        ASSERT_NE(target.framebuffer, 0u);
        EXPECT_TRUE(glIsFramebuffer(target.framebuffer));
        EXPECT_EQ(target.width, 1280);
        EXPECT_EQ(target.height, 720);
        glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
        GLint samples = 0;
        glGetIntegerv(GL_SAMPLES, &samples);
        EXPECT_EQ(samples, 4);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
};

// The switch itself; remembering the mode is the application's (the settings
// writer), so nothing is written here.
TEST_F(DisplayModeTest, ToggleCoversTheMonitorAndComesBackCentred) {
    GLFWmonitor* monitor = glfwGetPrimaryMonitor();
    ASSERT_NE(monitor, nullptr);
    const GLFWvidmode* mode = glfwGetVideoMode(monitor);
    ASSERT_NE(mode, nullptr);

    DisplayMode display(ctx.window, WindowSize{1280, 720}, false);
    EXPECT_FALSE(display.fullscreen());
    EXPECT_EQ(glfwGetWindowAttrib(ctx.window, GLFW_AUTO_ICONIFY), GLFW_FALSE);
    RenderTarget target = display.beginFrame();
    EXPECT_EQ(target.framebuffer, 0u);
    EXPECT_EQ(target.width, 1280);
    EXPECT_EQ(target.height, 720);

    target = display.beginFrame(true);
    EXPECT_TRUE(display.fullscreen());
    int x = -1, y = -1, w = 0, h = 0;
    windowRect(x, y, w, h);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(w, mode->width);
    EXPECT_EQ(h, mode->height);
    // The picture keeps the window's size, in the presenter's target: what
    // is drawn into it is what endFrame puts on the screen.
    expectPresentersTarget(target);
    clearScreen(target, kGreen);
    display.endFrame();
    EXPECT_EQ(ctx.pixel(640, 360), rgb(kGreen));

    display.toggle();
    target = display.beginFrame();
    EXPECT_FALSE(display.fullscreen());
    EXPECT_EQ(target.framebuffer, 0u);
    EXPECT_EQ(target.width, 1280);
    EXPECT_EQ(target.height, 720);
    windowRect(x, y, w, h);
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 720);
    EXPECT_EQ(x, (mode->width - 1280) / 2);
    EXPECT_EQ(y, (mode->height - 720) / 2);
    EXPECT_EQ(glfwGetWindowAttrib(ctx.window, GLFW_RESIZABLE), GLFW_FALSE);
}

TEST_F(DisplayModeTest, StartingFullscreenWritesNoSettings) {
    // The start's choice may come from the command line, which the file
    // never takes in.
    DisplayMode display(ctx.window, WindowSize{1280, 720}, true);
    const RenderTarget target = display.beginFrame();
    EXPECT_TRUE(display.fullscreen());
    expectPresentersTarget(target);
    EXPECT_EQ(readFile(sandboxDirectory() / "home/.config/Orvo/Vimbrot/settings"), "");
}

}  // namespace
