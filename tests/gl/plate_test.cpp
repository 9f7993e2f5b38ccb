#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <set>
#include <vector>

#include <glm/glm.hpp>

#include "game/gameloop.h"
#include "game/plate.h"
#include "game/track.h"
#include "orvo3d/image.h"
#include "orvo3d/log.h"
#include "orvo3d/shader.h"
#include "road_fixture.h"
#include "sim/road.h"
#include "support/sandbox.h"

namespace {

class GLPlate : public RoadGlTest {
protected:
    // The renderer the context owns, as the application owns the game's.
    PlateRenderer& renderer() { return ctx.plates.get(); }
};

// Window pixel of a render-space point under the main camera.
glm::ivec2 toPixel(glm::vec3 p, int width, int height) {
    glm::vec4 clip = projectionMatrix(RenderPass::Main) * viewMatrix(RenderPass::Main) * glm::vec4(p, 1.0f);
    glm::vec3 ndc = glm::vec3(clip) / clip.w;
    return {static_cast<int>((ndc.x * 0.5f + 0.5f) * static_cast<float>(width)),
            static_cast<int>((ndc.y * 0.5f + 0.5f) * static_cast<float>(height))};
}

// A 1 x 1 depth map at the far plane: nothing in shadow.
GLuint bindLitDepthMap() {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    float one = 1.0f;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, 1, 1, 0, GL_DEPTH_COMPONENT, GL_FLOAT, &one);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return texture;
}

}  // namespace

TEST_F(GLPlate, TheOwnersRendererOutlivesTheViewsDrawingWithIt) {
    // Plates and roads are plain records: making them builds nothing.
    Plate first(0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f, true, false);
    Road road;
    ASSERT_EQ(ctx.plates.made(), nullptr);
    auto view = std::make_unique<TrackView>(ctx.plates.get());
    PlateRenderer* renderer = ctx.plates.made();
    ASSERT_NE(renderer, nullptr);
    // Another look over it reuses it; none takes it with it.
    view = std::make_unique<TrackView>(ctx.plates.get());
    EXPECT_EQ(ctx.plates.made(), renderer);
    view.reset();
    EXPECT_EQ(ctx.plates.made(), renderer);

    ASSERT_NE(renderer->shader, nullptr);
    ASSERT_NE(renderer->shadowShader, nullptr);
    const GLuint textures[] = {renderer->metalTexture.get(), renderer->metalNormalTexture.get(), renderer->buildingTexture.get(),
                               renderer->buildingNormalTexture.get()};
    EXPECT_EQ(std::set<GLuint>(std::begin(textures), std::end(textures)).size(), 4u);
    for (GLuint texture : textures) {
        glBindTexture(GL_TEXTURE_2D, texture);
        GLint width = 0, height = 0, format = 0, minFilter = 0, wrap = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrap);
        EXPECT_EQ(width, 1024);
        EXPECT_EQ(height, 1024);
        EXPECT_TRUE(format == GL_RGB || format == GL_RGB8) << format;
        EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
        EXPECT_EQ(wrap, GL_REPEAT);
    }
    EXPECT_EQ(readLog(), "");
}

// Reads the cube back from GL: 36 vertices of position, normal, texture
// coordinate; every triangle counter-clockwise from outside, faces -x, +x,
// +z, -z, +y, -y, texture coordinates from the two in-face axes.
TEST_F(GLPlate, CubeBufferHoldsOutwardFacesInOrder) {
    glBindBuffer(GL_ARRAY_BUFFER, renderer().vbo.get());
    GLint bytes = 0;
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &bytes);
    ASSERT_EQ(bytes, 1152);
    std::array<float, 288> data{};
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, 1152, data.data());

    const glm::vec3 faceNormals[6] = {{-1, 0, 0}, {1, 0, 0}, {0, 0, 1}, {0, 0, -1}, {0, 1, 0}, {0, -1, 0}};
    for (int face = 0; face < 6; ++face) {
        std::set<std::array<float, 3>> corners;
        for (int tri = 0; tri < 2; ++tri) {
            glm::vec3 p[3];
            for (int k = 0; k < 3; ++k) {
                const float* v = &data[static_cast<std::size_t>(((face * 2 + tri) * 3 + k) * 8)];
                p[k] = {v[0], v[1], v[2]};
                glm::vec3 normal(v[3], v[4], v[5]);
                SCOPED_TRACE(testing::Message() << "face " << face << " vertex " << tri * 3 + k);
                EXPECT_EQ(normal, faceNormals[face]);
                for (int axis = 0; axis < 3; ++axis) EXPECT_EQ(std::abs(p[k][axis]), 0.5f);
                // The corner lies on its face.
                EXPECT_FLOAT_EQ(glm::dot(p[k], normal), 0.5f);
                glm::vec2 uv(v[6], v[7]);
                int a = faceNormals[face].x != 0 ? 1 : 0;
                int b = faceNormals[face].z != 0 ? 1 : 2;
                EXPECT_EQ(uv, glm::vec2(p[k][a] + 0.5f, p[k][b] + 0.5f));
                corners.insert({p[k].x, p[k].y, p[k].z});
            }
            glm::vec3 winding = glm::cross(p[1] - p[0], p[2] - p[0]);
            EXPECT_GT(glm::dot(winding, faceNormals[face]), 0.0f) << "face " << face << " triangle " << tri;
        }
        EXPECT_EQ(corners.size(), 4u) << "face " << face << " is not a full square";
    }
}

// A texture whose image did not decode is a defined 1 x 1 grey, complete
// with its mipmaps, and a plate drawn with it shows grey lit by its colour.
TEST_F(GLPlate, UndecodableTextureFallsBackToGreyPlaceholder) {
    const DecodedImage missing = loadImage("data/missing-texture.jpg");
    EXPECT_EQ(missing.pixels, nullptr);
    EXPECT_EQ(countOf(readLog(), "Failed to load texture"), 1);

    GlTexture placeholder = createGlObject<GlTextureKind>();
    glBindTexture(GL_TEXTURE_2D, placeholder.get());
    uploadRgbTexture(missing.pixels.get(), missing.width, missing.height);
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);
    unsigned char rgb[3] = {};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    EXPECT_EQ(rgb[0], 128);
    EXPECT_EQ(rgb[1], 128);
    EXPECT_EQ(rgb[2], 128);

    // Every plate texture replaced by the placeholder: the drawn colour is
    // then the plate kind's colour times the lighting, and nothing else.
    const float distance = 100.0f;
    // Track z such that the plate is drawn at render z.
    auto trackZ = [&](float renderZ) { return distance + 2.5f - renderZ; };
    Plate road(0.0f, -0.635f, trackZ(-2.0f), 3.0f, 0.2f, 12.0f, true, false);
    Plate block(-2.5f, 0.5f, trackZ(-8.0f), 1.5f, 2.0f, 1.5f, false, false);
    Plate pillar(2.5f, 0.0f, trackZ(-8.0f), 1.0f, 6.0f, 1.0f, false, true);
    PlateRenderer& shared = renderer();
    for (GLuint loaded : {shared.metalTexture.get(), shared.metalNormalTexture.get(), shared.buildingTexture.get(),
                          shared.buildingNormalTexture.get()}) {
        glBindTexture(GL_TEXTURE_2D, loaded);
        uploadRgbTexture(missing.pixels.get(), missing.width, missing.height);
    }
    GLuint depth = bindLitDepthMap();

    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (const Plate* plate : {&road, &block, &pillar}) {
        renderPlate(shared, *plate, distance, renderContext(RenderPass::Main));
    }
    checkGLError("test", __LINE__);
    ctx.savePng("placeholder-plates.png");

    struct Case {
        const char* name;
        glm::vec3 renderPoint;  // on a face seen by the camera
        glm::vec3 colour;
    };
    const Case cases[] = {
        {"floor", {0.0f, -0.535f, 0.0f}, {0.6f, 0.6f, 0.6f}},
        {"block", {-2.5f, 1.0f, -7.25f}, {0.472f, 0.672f, 0.728f}},
        {"pillar", {2.5f, 1.0f, -7.5f}, {0.672f, 0.512f, 0.248f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        glm::ivec2 at = toPixel(c.renderPoint, ctx.width, ctx.height);
        glm::vec3 seen(ctx.pixel(at.x, at.y));
        ASSERT_GT(seen.x + seen.y + seen.z, 60.0f) << "nothing drawn at " << at.x << "," << at.y;
        // Same hue as the kind's colour: the channels keep its proportions.
        glm::vec3 ratio = seen / glm::max(seen.x, glm::max(seen.y, seen.z));
        glm::vec3 expected = c.colour / glm::max(c.colour.x, glm::max(c.colour.y, c.colour.z));
        EXPECT_NEAR(ratio.x, expected.x, 0.03f);
        EXPECT_NEAR(ratio.y, expected.y, 0.03f);
        EXPECT_NEAR(ratio.z, expected.z, 0.03f);
    }
    glDeleteTextures(1, &depth);
}

TEST_F(GLPlate, ShadowPassUploadsOnlyItsMatricesAndBindsNoTexture) {
    Plate block(0.0f, 0.5f, 5.0f, 1.0f, 1.0f, 1.0f, false, false);
    PlateRenderer* renderer = &this->renderer();
    for (GLenum unit : {GL_TEXTURE1, GL_TEXTURE2}) {
        glActiveTexture(unit);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    renderPlate(*renderer, block, 0.0f, renderContext(RenderPass::Shadow));
    for (GLenum unit : {GL_TEXTURE1, GL_TEXTURE2}) {
        glActiveTexture(unit);
        GLint bound = -1;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        EXPECT_EQ(bound, 0);
    }
    EXPECT_EQ(renderer->shadowShader->uniforms.size(), 2u);
    EXPECT_TRUE(renderer->shadowShader->uniforms.count(uniformKey("lightSpaceMatrix")));
    EXPECT_TRUE(renderer->shadowShader->uniforms.count(uniformKey("model")));
    EXPECT_TRUE(renderer->shader->uniforms.empty());

    // The main pass binds the building textures for a block.
    renderPlate(*renderer, block, 0.0f, renderContext(RenderPass::Main));
    glActiveTexture(GL_TEXTURE1);
    GLint colourMap = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &colourMap);
    EXPECT_EQ(static_cast<GLuint>(colourMap), renderer->buildingTexture.get());
    glActiveTexture(GL_TEXTURE2);
    GLint normalMap = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &normalMap);
    EXPECT_EQ(static_cast<GLuint>(normalMap), renderer->buildingNormalTexture.get());
    // Every uniform the draw uploads exists in the program.
    EXPECT_EQ(readLog(), "");
}

// A GL error standing when the vertex buffer is checked aborts the renderer:
// its owner keeps none and builds it on the next use.
TEST_F(GLPlate, FailedBufferCheckLeavesNoRendererBehind) {
    glEnable(0xFFFF);  // leaves GL_INVALID_ENUM pending
    EXPECT_THROW(ctx.plates.get(), Orvo3D::LoggedException);
    EXPECT_EQ(ctx.plates.made(), nullptr);
    EXPECT_EQ(countOf(readLog(), "Failed to init plate: VBO generation"), 1);

    TrackView view(ctx.plates.get());
    EXPECT_NE(ctx.plates.made(), nullptr);
    EXPECT_EQ(countOf(readLog(), "Failed"), 1);
}

// The textures come from the table the renderer is given, decoded there
// ahead of it, and are the textures it decodes itself without one.
TEST_F(GLPlate, TexturesAreTakenFromTheTableItIsGiven) {
    const char* const paths[] = {"data/metal.jpg", "data/metal-normal.jpg", "data/building.jpg",
                                 "data/building-normal.jpg"};
    ImagePreloads preloads;
    for (const char* path : paths) preloadImage(preloads, path);
    PlateRenderer fromTable(&preloads);
    for (const char* path : paths) EXPECT_FALSE(preloads.take(path)) << path << " was decoded again";

    PlateRenderer& decodedHere = renderer();
    const GLuint given[] = {fromTable.metalTexture.get(), fromTable.metalNormalTexture.get(),
                            fromTable.buildingTexture.get(), fromTable.buildingNormalTexture.get()};
    const GLuint own[] = {decodedHere.metalTexture.get(), decodedHere.metalNormalTexture.get(),
                          decodedHere.buildingTexture.get(), decodedHere.buildingNormalTexture.get()};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(paths[i]);
        std::vector<unsigned char> texels[2];
        for (int which = 0; which < 2; ++which) {
            glBindTexture(GL_TEXTURE_2D, which == 0 ? given[i] : own[i]);
            GLint width = 0, height = 0;
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
            glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
            ASSERT_EQ(width, 1024);
            ASSERT_EQ(height, 1024);
            texels[which].resize(static_cast<std::size_t>(width) * height * 3);
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels[which].data());
        }
        EXPECT_TRUE(texels[0] == texels[1]);
    }
    EXPECT_EQ(readLog(), "");
}
