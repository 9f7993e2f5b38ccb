#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <glm/glm.hpp>

#include "game/gameloop.h"
#include "game/mainloop.h"
#include "game/plate.h"
#include "game/track.h"
#include "road_fixture.h"
#include "sim/road.h"
#include "support/sandbox.h"

namespace {

const glm::vec3 kSky(0.58f, 0.67f, 0.83f);

// The shadow map exactly as the game sets it up.
struct ShadowMap {
    GlFramebuffer framebuffer;
    GlTexture depthTexture;
    bool complete = createShadowMap(framebuffer, depthTexture);
};

// One frame of the game's two passes into the window with only the road in
// the scene. castShadows false leaves the map cleared, so nothing is in
// shadow.
void renderFrame(TrackView& view, const Road& road, const RenderTarget& target, const ShadowMap& shadow,
                 glm::vec3 clear, bool castShadows = true) {
    const RenderContext shadowPass = setUpShadowPass(shadow.framebuffer.get());
    if (castShadows) view.render(road, shadowPass);
    const RenderContext mainPass = setUpMainPass(target, shadow.depthTexture.get(), clear);
    view.render(road, mainPass);
    glFinish();
}

// The window's pixel of a point in draw space.
glm::ivec2 toPixel(glm::vec3 p, const RenderTarget& target) {
    glm::vec4 clip = projectionMatrix(RenderPass::Main) * viewMatrix(RenderPass::Main) * glm::vec4(p, 1.0f);
    glm::vec3 ndc = glm::vec3(clip) / clip.w;
    return {static_cast<int>((ndc.x * 0.5f + 0.5f) * static_cast<float>(target.width)),
            static_cast<int>((ndc.y * 0.5f + 0.5f) * static_cast<float>(target.height))};
}

// Render-space box of a plate at the track's distance.
struct Box {
    glm::vec3 lo, hi;
};
Box renderBox(const Plate& plate, float distance) {
    glm::vec3 c(plate.position.x, plate.position.y, 2.5f - (plate.position.z - distance));
    return {c - plate.size * 0.5f, c + plate.size * 0.5f};
}

// Does the segment from the camera to p pass through the box (slab test)?
bool segmentHits(glm::vec3 from, glm::vec3 to, const Box& box, float margin) {
    glm::vec3 dir = to - from;
    float t0 = 0.0f, t1 = 1.0f;
    for (int a = 0; a < 3; ++a) {
        float lo = box.lo[a] - margin, hi = box.hi[a] + margin;
        if (std::fabs(dir[a]) < 1e-9f) {
            if (from[a] < lo || from[a] > hi) return false;
            continue;
        }
        float ta = (lo - from[a]) / dir[a], tb = (hi - from[a]) / dir[a];
        if (ta > tb) std::swap(ta, tb);
        t0 = std::max(t0, ta);
        t1 = std::min(t1, tb);
        if (t0 > t1) return false;
    }
    return true;
}

void keepScreenshot(const GlContext& ctx, const char* name) {
    ctx.savePng(name);
    // Copies for looking at by eye, when asked for.
    if (const char* dir = std::getenv("VIMBROT_SCREENSHOT_DIR")) {
        std::filesystem::copy_file(name, std::filesystem::path(dir) / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }
}

class GLTrackRender : public RoadGlTest {
protected:
    glm::ivec2 toPixel(glm::vec3 p) const { return ::toPixel(p, ctx.target()); }
};

}  // namespace

TEST_F(GLTrackRender, BothPassesShowLitRoadBlackHorizonAndTranslucentSheet) {
    ShadowMap shadow;
    ASSERT_TRUE(shadow.complete);
    TrackView view(ctx.plates.get());
    Road road;

    renderFrame(view, road, ctx.target(), shadow, kSky);
    keepScreenshot(ctx, "track.png");
    EXPECT_EQ(readLog(), "");

    // The road under the ship (track z = distance, render z = 2.5): lit
    // metal, grey and clearly brighter than black, not the sky.
    // Averaged over a small patch, so a seam line of the texture does not
    // decide it.
    glm::ivec2 under = toPixel({0.0f, -0.535f, 2.5f});
    ASSERT_GT(under.y, 8);
    glm::vec3 metal(0.0f);
    for (int dy = -8; dy <= 8; ++dy) {
        for (int dx = -8; dx <= 8; ++dx) metal += glm::vec3(ctx.pixel(under.x + dx, under.y + dy));
    }
    metal /= 17.0f * 17.0f;
    EXPECT_GT(metal.g, 50.0f) << metal.r << "," << metal.g << "," << metal.b;
    EXPECT_LT(std::fabs(metal.r - metal.g), 25.0f);
    EXPECT_LT(std::fabs(metal.b - metal.g), 25.0f);
    EXPECT_GT(glm::length(metal - kSky * 255.0f), 60.0f);

    // Far up the road, beyond 90 units from the camera, the floor plate
    // spanning z 80.1 .. 99.3 at x -1.44 .. 2.96 is black.
    const glm::vec3 far(2.5f, -0.535f, 2.5f - 91.0f);
    ASSERT_GT(glm::distance(far, cameraPosition()), 90.0f);
    bool covered = false;
    for (const auto& p : road.plates) {
        Box b = renderBox(*p, road.distance);
        covered |= p->isFloor && far.x > b.lo.x && far.x < b.hi.x && far.z > b.lo.z && far.z < b.hi.z;
    }
    ASSERT_TRUE(covered);
    glm::ivec2 farPixel = toPixel(far);
    glm::ivec3 farColour = ctx.pixel(farPixel.x, farPixel.y);
    EXPECT_LE(farColour.r + farColour.g + farColour.b, 3) << farColour.r << "," << farColour.g << "," << farColour.b;

    // The nebula sheet (y = -2, x -10 .. 10, render z -65 .. 5): wherever
    // nothing else is in front of it, it blends with the clear colour. With
    // the clear colour black, the same pixel shows the sheet's own
    // contribution; the difference is the sky showing through.
    std::vector<glm::ivec2> sheetOnly;
    std::map<std::pair<int, int>, bool> taken;
    for (float z = -60.0f; z <= 4.0f; z += 0.5f) {
        for (float x = -9.5f; x <= 9.5f; x += 0.25f) {
            glm::vec3 point(x, -2.0f, z);
            bool hidden = false;
            for (const auto& p : road.plates) hidden |= segmentHits(cameraPosition(), point, renderBox(*p, 0.0f), 0.1f);
            if (hidden) continue;
            glm::ivec2 px = toPixel(point);
            if (px.x < 2 || px.y < 2 || px.x >= ctx.width - 2 || px.y >= ctx.height - 2) continue;
            if (taken.emplace(std::make_pair(px.x, px.y), true).second) sheetOnly.push_back(px);
        }
    }
    ASSERT_GT(sheetOnly.size(), 200u);
    std::vector<glm::vec3> overSky;
    for (glm::ivec2 px : sheetOnly) overSky.push_back(glm::vec3(ctx.pixel(px.x, px.y)));

    renderFrame(view, road, ctx.target(), shadow, glm::vec3(0.0f));
    float maxAlpha = 0.0f;
    float maxSkyDifference = 0.0f;
    for (std::size_t i = 0; i < sheetOnly.size(); ++i) {
        glm::vec3 overBlack(ctx.pixel(sheetOnly[i].x, sheetOnly[i].y));
        glm::vec3 throughSheet = overSky[i] - overBlack;  // = sky * (1 - alpha)
        float alpha = 1.0f - throughSheet.b / (kSky.b * 255.0f);
        maxAlpha = std::max(maxAlpha, alpha);
        maxSkyDifference = std::max(maxSkyDifference, glm::length(overSky[i] - kSky * 255.0f));
        // Every channel shows the sky through it: the sheet is never opaque.
        EXPECT_GT(throughSheet.b, 0.25f * kSky.b * 255.0f) << "at " << sheetOnly[i].x << "," << sheetOnly[i].y;
    }
    // ... and it is there: somewhere it visibly tints the sky.
    EXPECT_GT(maxSkyDifference, 8.0f);
    EXPECT_GT(maxAlpha, 0.05f);
    EXPECT_LE(maxAlpha, 0.75f);
}

TEST_F(GLTrackRender, ShadowPassDarkensTheRoadBehindCasters) {
    ShadowMap shadow;
    ASSERT_TRUE(shadow.complete);
    TrackView view(ctx.plates.get());
    Road road;
    // A block on the first floor plate, just ahead of the ship: the light
    // comes from the right, above and behind, so its shadow falls onto the
    // road to its left and further ahead.
    road.plates.push_back(std::make_unique<Plate>(1.0f, 0.52f, 5.0f, 0.8f, 2.0f, 0.8f, false, false));
    const Plate& block = *road.plates.back();

    renderFrame(view, road, ctx.target(), shadow, kSky, false);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    std::vector<unsigned char> unshadowed(static_cast<std::size_t>(ctx.width) * ctx.height * 3);
    glReadPixels(0, 0, ctx.width, ctx.height, GL_RGB, GL_UNSIGNED_BYTE, unshadowed.data());

    renderFrame(view, road, ctx.target(), shadow, kSky, true);
    keepScreenshot(ctx, "track-shadows.png");
    std::vector<unsigned char> shadowed(unshadowed.size());
    glReadPixels(0, 0, ctx.width, ctx.height, GL_RGB, GL_UNSIGNED_BYTE, shadowed.data());

    auto sum = [&](const std::vector<unsigned char>& image, glm::ivec2 p) {
        std::size_t i = (static_cast<std::size_t>(p.y) * ctx.width + p.x) * 3;
        return image[i] + image[i + 1] + image[i + 2];
    };
    // The road just behind-left of the block (as the light sees it) is in
    // its shadow: ambient light only.
    glm::vec3 blockBase = renderBox(block, 0.0f).lo;
    glm::ivec2 inShadow = toPixel({blockBase.x - 0.3f, -0.535f, blockBase.z - 0.3f});
    EXPECT_LT(sum(shadowed, inShadow), sum(unshadowed, inShadow) * 0.6f);
    // The road in front of it is not.
    glm::ivec2 lit = toPixel({0.0f, -0.535f, 2.5f});
    EXPECT_EQ(sum(shadowed, lit), sum(unshadowed, lit));

    int darker = 0, brighter = 0;
    for (std::size_t i = 0; i < shadowed.size(); i += 3) {
        int before = unshadowed[i] + unshadowed[i + 1] + unshadowed[i + 2];
        int after = shadowed[i] + shadowed[i + 1] + shadowed[i + 2];
        darker += after < before - 15;
        brighter += after > before + 15;
    }
    // A shadow covers a patch of road and never lightens anything.
    EXPECT_GT(darker, 1000);
    EXPECT_EQ(brighter, 0);
    EXPECT_EQ(readLog(), "");
}
