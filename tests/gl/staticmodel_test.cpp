// The static model renderer on a real GL context: the shipped ship drawn in
// both passes as the game draws it, and small fixture models for the
// renderer's rules and failure rows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <glm/gtc/matrix_transform.hpp>
#include <stb_image_write.h>

#include "game/font.h"
#include "game/gameloop.h"
#include "game/ship.h"
#include "orvo3d/hash.h"
#include "orvo3d/log.h"
#include "orvo3d/staticmodel.h"
#include "sim/player.h"
#include "support/gl_context.h"
#include "support/sandbox.h"
#include "unit/glb_builder.h"

namespace {

using glbtest::Document;
using glbtest::Triangle;
using nlohmann::json;

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kShadowSize = kShadowMapSize;
const glm::vec3 kSky{0.58f, 0.67f, 0.83f};

// The shadow map as the game's Game() sets it up.
struct ShadowMap {
    GlFramebuffer framebuffer;
    GlTexture texture;
    bool complete = createShadowMap(framebuffer, texture);
};

// The ship as the game flies it, resting level on the road at x, with the
// game's view of it (its texts written with `font`); its model is drawn at
// shipAt(x).
struct DrawnShip : Player {
    explicit DrawnShip(Font& font) : view(font) {}
    ShipView view;
    void render(const RenderContext& context) const { view.render(*this, context); }
};

std::unique_ptr<DrawnShip> restingShip(Font& font, float x, float ticks) {
    auto ship = std::make_unique<DrawnShip>(font);
    ship->x = x;
    ship->y = -0.035f;
    ship->inAir = false;
    ship->time = ticks;
    return ship;
}

// One frame as the game renders it into the window: the shadow pass into
// the shadow map, then the main pass over the sky colour, each drawing the
// ship.
void renderFrame(const DrawnShip& ship, ShadowMap& shadowMap) {
    ship.render(setUpShadowPass(shadowMap.framebuffer.get()));
    ship.render(setUpMainPass(RenderTarget{0, kWidth, kHeight}, shadowMap.texture.get()));
    glFinish();
}

// Where a render-space point lands in the window (origin bottom-left).
glm::ivec2 toPixel(glm::vec3 point) {
    glm::vec4 clip = projectionMatrix(RenderPass::Main) * viewMatrix(RenderPass::Main) * glm::vec4(point, 1.0f);
    glm::vec3 ndc = glm::vec3(clip) / clip.w;
    return {static_cast<int>(std::lround((ndc.x * 0.5f + 0.5f) * kWidth)),
            static_cast<int>(std::lround((ndc.y * 0.5f + 0.5f) * kHeight))};
}

bool isSky(glm::ivec3 c) {
    glm::ivec3 sky(std::lround(kSky.r * 255), std::lround(kSky.g * 255), std::lround(kSky.b * 255));
    return std::abs(c.r - sky.r) <= 2 && std::abs(c.g - sky.g) <= 2 && std::abs(c.b - sky.b) <= 2;
}

// Saves a screenshot into the sandbox, and into $VIMBROT_SCREENSHOT_DIR
// when set, for looking at by eye.
void keepScreenshot(GlContext& ctx, const char* name) {
    ctx.savePng(name);
    if (const char* dir = std::getenv("VIMBROT_SCREENSHOT_DIR")) {
        ctx.savePng((std::filesystem::path(dir) / name).string().c_str());
    }
}

// The ship drawn at (x, y, 2.5) as the game places it; y at rest on the road.
glm::mat4 shipAt(float x, float y = -0.035f) { return glm::translate(glm::mat4(1.0f), glm::vec3(x, y, 2.5f)); }

// Model-space points of the shipped model: on the hull's back, and inside
// the two engine flames.
const glm::vec3 kHullPoint{0.0f, -0.17f, 0.25f};
const glm::vec3 kFlamePoints[2] = {{-0.215f, -0.262f, 0.86f}, {0.215f, -0.262f, 0.86f}};
const glm::vec3 kNacellePoint{-0.215f, -0.19f, 0.30f};

class GLShip : public testing::Test {
protected:
    GlContext ctx{kWidth, kHeight};
    void SetUp() override { ASSERT_TRUE(ctx.ok()); }
};

TEST_F(GLShip, LoadedShipHasItsMeshesPartsAndImages) {
    StaticModel model("data/ship");
    std::string log = readLog();
    EXPECT_NE(log.find("Model \"data/ship\": 8 meshes / 12 parts / "), std::string::npos) << log;
    EXPECT_NE(log.find(" / 2 images"), std::string::npos) << log;
    EXPECT_EQ(log.find("ERROR"), std::string::npos) << log;
    ASSERT_EQ(model.parts.size(), 12u);
    ASSERT_EQ(model.textures.size(), 2u);

    // Parts in mesh order: hull and canopy textured, then the wings, the two
    // engines with thruster, fire and near fire, then the accents.
    const std::uint32_t expected[12] = {hashName("Material"),     hashName("Material.001"), hashName("Material"),
                                        hashName("Material"),     hashName("Thruster"),     hashName("Fire"),
                                        hashName("NearFire"),     hashName("Thruster"),     hashName("Fire"),
                                        hashName("NearFire"),     hashName("Material.002"), hashName("Material.002")};
    std::uint32_t next = 0;
    for (std::size_t i = 0; i < 12; ++i) {
        const StaticModelPart& part = model.parts[i];
        EXPECT_EQ(part.materialNameHash, expected[i]) << "part " << i;
        EXPECT_EQ(part.firstFace, next) << "part " << i;
        EXPECT_GT(part.faceCount, 0u) << "part " << i;
        next += part.faceCount;
        bool textured = expected[i] == hashName("Material") || expected[i] == hashName("Material.001");
        EXPECT_EQ(part.hasTexture, textured) << "part " << i;
        if (textured) {
            EXPECT_EQ(part.texture, model.textures[expected[i] == hashName("Material") ? 0 : 1].get());
        }
    }
    EXPECT_NE(log.find(" / " + std::to_string(next) + " faces / "), std::string::npos) << log;

    // Both images decoded into real textures.
    for (const GlTexture& texture : model.textures) {
        glBindTexture(GL_TEXTURE_2D, texture.get());
        GLint w = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        EXPECT_GE(w, 256);
    }
}

// The view takes the ship from the table it is given, or the model it is
// handed, and loads none of its own then.
TEST_F(GLShip, TheViewTakesItsModelFromWhatItIsGiven) {
    StaticModelPreloads preloads;
    preloadStaticModel(preloads, "data/ship");
    ShipView fromTable(ctx.font.get(), &preloads);
    EXPECT_FALSE(preloads.take("data/ship")) << "the view did not take the preloaded ship";
    ASSERT_NE(fromTable.model, nullptr);
    EXPECT_EQ(fromTable.model->parts.size(), 12u);

    auto model = std::make_unique<StaticModel>("data/ship");
    const StaticModel* handed = model.get();
    Logger::clear();
    ShipView withModel(ctx.font.get(), std::move(model));
    EXPECT_EQ(withModel.model.get(), handed);
    EXPECT_EQ(readLog(), "") << "the view loaded a model of its own";
}

TEST_F(GLShip, DrawnInBothPassesWhereTheCameraSeesIt) {
    ShadowMap shadowMap;
    ASSERT_TRUE(shadowMap.complete);

    for (float x : {-1.2f, 1.2f}) {
        renderFrame(*restingShip(ctx.font.get(), x, 3.0f), shadowMap);
        glm::ivec2 here = toPixel(glm::vec3(shipAt(x) * glm::vec4(kHullPoint, 1.0f)));
        glm::ivec2 mirror = toPixel(glm::vec3(shipAt(-x) * glm::vec4(kHullPoint, 1.0f)));
        EXPECT_FALSE(isSky(ctx.pixel(here.x, here.y))) << "ship missing at x = " << x;
        EXPECT_TRUE(isSky(ctx.pixel(mirror.x, mirror.y))) << "something drawn at x = " << -x;

        // The shadow pass wrote the ship's depth where the light sees it.
        glm::vec4 light = lightSpaceMatrix() * shipAt(x) * glm::vec4(kHullPoint, 1.0f);
        glm::vec3 texel = (glm::vec3(light) / light.w) * 0.5f + 0.5f;
        float depth = 1.0f;
        float farDepth = 0.0f;
        glBindFramebuffer(GL_READ_FRAMEBUFFER, shadowMap.framebuffer.get());
        glReadPixels(static_cast<int>(texel.x * kShadowSize), static_cast<int>(texel.y * kShadowSize), 1, 1,
                     GL_DEPTH_COMPONENT, GL_FLOAT, &depth);
        glReadPixels(10, 10, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &farDepth);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        EXPECT_LT(depth, 0.999f) << "no ship in the shadow map at x = " << x;
        EXPECT_EQ(farDepth, 1.0f);
    }
    renderFrame(*restingShip(ctx.font.get(), 0.0f, 3.0f), shadowMap);
    keepScreenshot(ctx, "ship.png");
    EXPECT_EQ(readLog().find("ERROR"), std::string::npos) << readLog();
}

TEST_F(GLShip, FlamesFlickerWithTicksWhileTheHullStaysPut) {
    ShadowMap shadowMap;
    auto ship = restingShip(ctx.font.get(), 0.0f, 1.0f);
    const glm::mat4 transform = shipAt(0.0f);

    // A small block of pixels around each flame centre and one on a nacelle.
    auto sample = [&](glm::vec3 point) {
        glm::ivec2 at = toPixel(glm::vec3(transform * glm::vec4(point, 1.0f)));
        std::vector<glm::ivec3> block;
        for (int dy = -2; dy <= 2; ++dy) {
            for (int dx = -2; dx <= 2; ++dx) block.push_back(ctx.pixel(at.x + dx, at.y + dy));
        }
        return block;
    };
    renderFrame(*ship, shadowMap);
    std::vector<glm::ivec3> flameA = sample(kFlamePoints[0]), flameB = sample(kFlamePoints[1]);
    std::vector<glm::ivec3> nacelle = sample(kNacellePoint);
    ship->time = 2.7f;
    renderFrame(*ship, shadowMap);
    std::vector<glm::ivec3> flameA2 = sample(kFlamePoints[0]), flameB2 = sample(kFlamePoints[1]);
    EXPECT_EQ(sample(kNacellePoint), nacelle) << "the thruster must not change with ticks";

    int changed = 0;
    for (std::size_t i = 0; i < flameA.size(); ++i) {
        // fire colours: warm, not sky
        EXPECT_FALSE(isSky(flameA[i]));
        EXPECT_GT(flameA[i].r, flameA[i].b + 60);
        EXPECT_GT(flameB[i].r, flameB[i].b + 60);
        glm::ivec3 d = glm::abs(flameA[i] - flameA2[i]) + glm::abs(flameB[i] - flameB2[i]);
        if (d.r + d.g + d.b > 12) ++changed;
    }
    EXPECT_GE(changed, 5) << "the flames do not change with ticks";
    keepScreenshot(ctx, "ship-ticks.png");
}


// ---- Fixture models ------------------------------------------------------------

std::vector<StaticVertex> readVertices(const StaticModel& model) {
    glBindBuffer(GL_ARRAY_BUFFER, model.vbo.get());
    GLint size = 0;
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    std::vector<StaticVertex> vertices(static_cast<std::size_t>(size) / sizeof(StaticVertex));
    if (!vertices.empty()) glGetBufferSubData(GL_ARRAY_BUFFER, 0, size, vertices.data());
    return vertices;
}

glm::vec3 positionOf(const StaticVertex& v) { return {v.position[0], v.position[1], v.position[2]}; }
glm::vec3 normalOf(const StaticVertex& v) { return {v.normal[0], v.normal[1], v.normal[2]}; }
glm::vec3 colorOf(const StaticVertex& v) { return {v.color[0], v.color[1], v.color[2]}; }

std::vector<std::uint8_t> solidJpeg(int size, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::vector<std::uint8_t> pixels;
    for (int i = 0; i < size * size; ++i) pixels.insert(pixels.end(), {r, g, b});
    std::vector<std::uint8_t> jpeg;
    stbi_write_jpg_to_func(
        [](void* context, void* data, int n) {
            auto* out = static_cast<std::vector<std::uint8_t>*>(context);
            out->insert(out->end(), static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + n);
        },
        &jpeg, size, size, 3, pixels.data(), 95);
    return jpeg;
}

class GLStaticModel : public testing::Test {
protected:
    GlContext ctx{kWidth, kHeight};
    void SetUp() override {
        ASSERT_TRUE(ctx.ok());
        Logger::clear();
    }
    // Writes the document as named data and clears the log.
    static void save(const Document& doc, const char* name) {
        writeFile(std::string(name) + ".glb", doc.bytes());
        Logger::clear();
    }
};

TEST_F(GLStaticModel, MissingModelIsEmptyAndSaysSo) {
    StaticModel model("data/absent");
    EXPECT_TRUE(model.parts.empty());
    EXPECT_TRUE(model.textures.empty());
    EXPECT_TRUE(readVertices(model).empty());
    std::string log = readLog();
    EXPECT_NE(log.find("Failed to open \"data/absent\""), std::string::npos) << log;
    EXPECT_NE(log.find("Model \"data/absent\": 0 meshes / 0 parts / 0 faces / 0 images"), std::string::npos) << log;
    EXPECT_EQ(countOf(log, "ERROR ("), 1) << log;
}

// Each record's lines without the time, so two logs made at different
// moments compare.
std::string withoutTimes(const std::string& log) {
    std::string out;
    std::size_t at = 0;
    while (at < log.size()) {
        std::size_t end = log.find('\n', at);
        if (end == std::string::npos) end = log.size();
        std::string line = log.substr(at, end - at);
        const std::size_t open = line.find(" (");
        if ((line.rfind("ERROR (", 0) == 0 || line.rfind("INFO (", 0) == 0) && open != std::string::npos) {
            line = line.substr(0, open);
        }
        out += line + "\n";
        at = end + 1;
    }
    return out;
}

TEST_F(GLStaticModel, APreloadedModelIsTheModelLoadedHereWithTheSameRecords) {
    for (const char* name : {"data/ship", "data/absent"}) {
        SCOPED_TRACE(name);
        // A model given no table loads itself, whatever is preloaded.
        StaticModelPreloads elsewhere;
        preloadStaticModel(elsewhere, name);
        Logger::clear();
        StaticModel plain(name);
        const std::string plainLog = withoutTimes(readLog());
        EXPECT_TRUE(elsewhere.take(name)) << "a model given no table took a preload";

        Logger::clear();
        StaticModelPreloads preloads;
        preloadStaticModel(preloads, name);
        EXPECT_EQ(readLog(), "") << "the worker wrote to the log itself";
        StaticModel preloaded(name, &preloads);
        EXPECT_FALSE(preloads.take(name)) << "the model did not take its preload";
        EXPECT_EQ(withoutTimes(readLog()), plainLog);
        const std::vector<StaticVertex> a = readVertices(preloaded), b = readVertices(plain);
        ASSERT_EQ(a.size(), b.size());
        if (!a.empty()) {
            EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(StaticVertex)), 0);
        }
        ASSERT_EQ(preloaded.parts.size(), plain.parts.size());
        for (std::size_t i = 0; i < plain.parts.size(); ++i) {
            EXPECT_EQ(preloaded.parts[i].materialNameHash, plain.parts[i].materialNameHash) << i;
            EXPECT_EQ(preloaded.parts[i].firstFace, plain.parts[i].firstFace) << i;
            EXPECT_EQ(preloaded.parts[i].faceCount, plain.parts[i].faceCount) << i;
            EXPECT_EQ(preloaded.parts[i].hasTexture, plain.parts[i].hasTexture) << i;
        }
        EXPECT_EQ(preloaded.textures.size(), plain.textures.size());
    }
}

TEST_F(GLStaticModel, VerticesArePlacedColouredAndFlaggedPerMaterial) {
    Document doc;
    Triangle t;
    const std::vector<std::uint8_t> jpeg = solidJpeg(4, 200, 30, 30);
    int textured = doc.texturedMaterial("Skin", jpeg);
    int paint = doc.colourMaterial("Paint", 0.2f, 0.4f, 0.6f);
    std::vector<float> uvs = {0.25f, 0.5f, 0.75f, 0.5f, 0.5f, 1.0f};
    doc.mesh("turned", json::array({doc.primitive(t.positions, t.normals, uvs, t.indices, textured)}));
    // two primitives, the second without material
    doc.mesh("pair", json::array({doc.primitive(t.positions, t.normals, t.uvs, t.indices, paint),
                                  doc.primitive(t.positions, t.normals, t.uvs, t.indices, -1)}));
    doc.node("turned", 0, {{"translation", {10, 0, 0}}, {"rotation", {0, 0.70710678, 0, 0.70710678}}});
    doc.node("pair", 1, {{"scale", {2, 2, 2}}});
    save(doc, "data/layout");

    StaticModel model("data/layout");
    ASSERT_EQ(model.parts.size(), 3u);
    ASSERT_EQ(model.textures.size(), 1u);
    EXPECT_TRUE(model.parts[0].hasTexture);
    EXPECT_EQ(model.parts[0].texture, model.textures[0].get());
    EXPECT_EQ(model.parts[0].materialNameHash, hashName("Skin"));
    EXPECT_FALSE(model.parts[1].hasTexture);
    EXPECT_EQ(model.parts[1].texture, 0u);
    EXPECT_EQ(model.parts[1].materialNameHash, hashName("Paint"));
    for (std::uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(model.parts[i].firstFace, i);
        EXPECT_EQ(model.parts[i].faceCount, 1u);
    }

    std::vector<StaticVertex> v = readVertices(model);
    ASSERT_EQ(v.size(), 9u);
    // Node transform on positions (x axis turned to -z, then moved by 10),
    // normals as stored.
    const glm::vec3 turned[3] = {{10, 0, 0}, {10, 0, -1}, {10, 1, 0}};
    const glm::vec2 uv[3] = {{0.25f, 0.5f}, {0.75f, 0.5f}, {0.5f, 1.0f}};
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(glm::distance(positionOf(v[c]), turned[c]), 0.0f, 1e-5f) << c;
        EXPECT_EQ(normalOf(v[c]), glm::vec3(0, 0, 1));
        EXPECT_EQ(colorOf(v[c]), glm::vec3(1.2f, 1.2f, 1.5f));
        EXPECT_EQ(v[c].useTexture, 1);
        EXPECT_EQ(glm::vec2(v[c].texturePos[0], v[c].texturePos[1]), uv[c]);
    }
    for (int c = 3; c < 9; ++c) {
        EXPECT_EQ(positionOf(v[c]), glm::vec3(t.positions[(c % 3) * 3], t.positions[(c % 3) * 3 + 1], 0) * 2.0f);
        EXPECT_EQ(normalOf(v[c]), glm::vec3(0, 0, 1));
        EXPECT_EQ(v[c].useTexture, 0);
        EXPECT_EQ(colorOf(v[c]), c < 6 ? glm::vec3(0.2f, 0.4f, 0.6f) : glm::vec3(1.0f)) << c;
    }
    std::string log = readLog();
    EXPECT_NE(log.find("Model \"data/layout\": 2 meshes / 3 parts / 3 faces / 1 images"), std::string::npos) << log;
    EXPECT_EQ(countOf(log, "ERROR ("), 0) << log;
}

TEST_F(GLStaticModel, IndexCountsAndTypesDecideTheTriangles) {
    Document doc;
    std::vector<float> positions, normals, uvs;
    for (int i = 0; i < 10; ++i) {
        positions.insert(positions.end(), {static_cast<float>(i + 1), 1.0f, 0.0f});
        normals.insert(normals.end(), {0.0f, 1.0f, 0.0f});
        uvs.insert(uvs.end(), {0.0f, 0.0f});
    }
    int paint = doc.colourMaterial("Paint", 1, 1, 1);
    // Ten indices make three triangles; the tenth points nowhere and is
    // never read.
    json ten = doc.primitive(positions, normals, uvs, {0, 1, 2, 3, 4, 5, 6, 7, 8, 999}, paint);
    // Unsigned byte indices are not read: each corner is vertex 0.
    json bytes = doc.primitive(positions, normals, uvs, {0, 1, 2}, paint);
    bytes["indices"] = doc.ubytes({4, 5, 6});
    doc.mesh("m", json::array({ten, bytes}));
    doc.node("n", 0);
    save(doc, "data/indices");

    StaticModel model("data/indices");
    ASSERT_EQ(model.parts.size(), 2u);
    EXPECT_EQ(model.parts[0].faceCount, 3u);
    EXPECT_EQ(model.parts[1].faceCount, 1u);
    EXPECT_EQ(model.parts[1].firstFace, 3u);
    std::vector<StaticVertex> v = readVertices(model);
    ASSERT_EQ(v.size(), 12u);
    for (int c = 0; c < 9; ++c) EXPECT_EQ(v[c].position[0], static_cast<float>(c + 1));
    for (int c = 9; c < 12; ++c) EXPECT_EQ(positionOf(v[c]), glm::vec3(1, 1, 0));
    std::string log = readLog();
    EXPECT_EQ(countOf(log, "Unimplemented type"), 3) << log;
    EXPECT_EQ(countOf(log, "Buffer overflow"), 0) << log;
}

TEST_F(GLStaticModel, AMeshCarriedTwiceDropsTheCornersBeyondTheBuffer) {
    Document doc;
    Triangle t;
    int paint = doc.colourMaterial("Paint", 1, 0, 0);
    std::vector<float> quad = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    std::vector<float> quadNormals = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    std::vector<float> quadUvs = {0, 0, 1, 0, 1, 1, 0, 1};
    doc.mesh("quad", json::array({doc.primitive(quad, quadNormals, quadUvs, {0, 1, 2, 0, 2, 3}, paint)}));
    doc.mesh("tri", json::array({doc.primitive(t.positions, t.normals, t.uvs, t.indices, paint)}));
    doc.node("first", 0);
    doc.node("tri", 1);
    doc.node("again", 0, {{"translation", {5, 0, 0}}});
    save(doc, "data/twice");

    StaticModel model("data/twice");
    ASSERT_EQ(model.parts.size(), 2u);
    EXPECT_EQ(readVertices(model).size(), 9u);
    std::string log = readLog();
    EXPECT_EQ(countOf(log, "Invalid vertex data index"), 6) << log;
    EXPECT_NE(log.find("2 meshes / 2 parts / 5 faces / 0 images"), std::string::npos) << log;
    // What was written is the first carrier's quad and the triangle.
    std::vector<StaticVertex> v = readVertices(model);
    EXPECT_EQ(positionOf(v[8]), glm::vec3(0, 1, 0));
    EXPECT_LT(v[5].position[0], 2.0f);
}

TEST_F(GLStaticModel, AnImageThatDoesNotDecodeLeavesTheOtherOneIntact) {
    Document doc;
    Triangle t;
    int broken = doc.texturedMaterial("Broken", {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F'});
    int good = doc.texturedMaterial("Good", solidJpeg(8, 30, 200, 40));
    doc.mesh("a", json::array({doc.primitive(t.positions, t.normals, t.uvs, t.indices, broken)}));
    doc.mesh("b", json::array({doc.primitive(t.positions, t.normals, t.uvs, t.indices, good)}));
    doc.node("a", 0);
    doc.node("b", 1);
    save(doc, "data/images");

    StaticModel model("data/images");
    std::string log = readLog();
    EXPECT_EQ(countOf(log, "Failed to load texture"), 1) << log;
    EXPECT_EQ(countOf(log, "Failed to load image"), 1) << log;
    EXPECT_LT(log.find("Failed to load texture"), log.find("Failed to load image"));
    ASSERT_EQ(model.textures.size(), 2u);
    EXPECT_EQ(model.parts[0].texture, model.textures[0].get());
    EXPECT_EQ(model.parts[1].texture, model.textures[1].get());

    auto texel = [](GLuint texture, GLint& width) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * width * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
        return glm::ivec3(rgb[0], rgb[1], rgb[2]);
    };
    GLint width = 0;
    glm::ivec3 second = texel(model.textures[1].get(), width);
    EXPECT_EQ(width, 8);
    EXPECT_NEAR(second.r, 30, 12);
    EXPECT_NEAR(second.g, 200, 12);
    EXPECT_NEAR(second.b, 40, 12);
    // The broken one holds the plain grey placeholder, not garbage.
    glm::ivec3 first = texel(model.textures[0].get(), width);
    EXPECT_EQ(width, 1);
    EXPECT_EQ(first, glm::ivec3(128, 128, 128));
}

TEST_F(GLStaticModel, IndexDataThatIsNotThereIsRefused) {
    Document doc;
    Triangle t;
    int paint = doc.colourMaterial("Paint", 1, 1, 1);
    json greedy = doc.primitive(t.positions, t.normals, t.uvs, t.indices, paint);
    // three indices of data, four thousand million claimed
    doc.gltf["accessors"][greedy["indices"].get<int>()]["count"] = 0xFFFFFFF0u;
    doc.mesh("m", json::array({greedy, doc.primitive(t.positions, t.normals, t.uvs, t.indices, paint)}));
    doc.node("n", 0);
    save(doc, "data/greedy");

    StaticModel model("data/greedy");
    ASSERT_EQ(model.parts.size(), 2u);
    EXPECT_EQ(model.parts[0].faceCount, 0u);
    EXPECT_EQ(model.parts[1].faceCount, 1u);
    EXPECT_EQ(model.parts[1].firstFace, 0u);
    EXPECT_EQ(readVertices(model).size(), 3u);
    EXPECT_EQ(countOf(readLog(), "Invalid index count 4294967280"), 1) << readLog();

    // Without a BIN chunk no primitive has index data.
    glbtest::Container container = doc.container();
    container.bin.reset();
    writeFile("data/nobin.glb", container.bytes());
    Logger::clear();
    StaticModel empty("data/nobin");
    EXPECT_EQ(readVertices(empty).size(), 0u);
    EXPECT_EQ(countOf(readLog(), "Invalid index count"), 2) << readLog();
}

}  // namespace

namespace {

TEST(GLStaticModelFailure, AGlErrorAtTheBufferUploadEndsConstruction) {
    GlContext ctx(kWidth, kHeight);
    ASSERT_TRUE(ctx.ok());
    Logger::clear();
    glEnable(0xFFFF);  // leaves GL_INVALID_ENUM pending, as a failed upload would
    EXPECT_THROW(StaticModel("data/ship"), Orvo3D::LoggedException);
    EXPECT_EQ(countOf(readLog(), "Failed to init model: VBO generation"), 1) << readLog();
}

}  // namespace
