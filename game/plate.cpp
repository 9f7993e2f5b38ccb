#include "game/plate.h"

#include <array>
#include <cmath>

#include <glm/gtc/matrix_transform.hpp>

#include "orvo3d/image.h"
#include "orvo3d/log.h"
#include "orvo3d/shader.h"

namespace {

constexpr const char* kModule = "game/plate";
constexpr int kCubeVertices = 36;
constexpr int kFloatsPerVertex = 8;  // position, normal, texture coordinate
constexpr GLsizei kStride = kFloatsPerVertex * sizeof(float);

// Corner positions of the 12 triangles, counter-clockwise seen from outside,
// faces in the order -x, +x, +z, -z, +y, -y.
constexpr float kCorners[kCubeVertices][3] = {
    // -x
    {-.5f, -.5f, -.5f}, {-.5f, -.5f, .5f}, {-.5f, .5f, .5f},
    {-.5f, .5f, .5f}, {-.5f, .5f, -.5f}, {-.5f, -.5f, -.5f},
    // +x
    {.5f, -.5f, .5f}, {.5f, -.5f, -.5f}, {.5f, .5f, .5f},
    {.5f, .5f, -.5f}, {.5f, .5f, .5f}, {.5f, -.5f, -.5f},
    // +z
    {-.5f, .5f, .5f}, {-.5f, -.5f, .5f}, {.5f, .5f, .5f},
    {.5f, -.5f, .5f}, {.5f, .5f, .5f}, {-.5f, -.5f, .5f},
    // -z
    {-.5f, -.5f, -.5f}, {-.5f, .5f, -.5f}, {.5f, .5f, -.5f},
    {.5f, .5f, -.5f}, {.5f, -.5f, -.5f}, {-.5f, -.5f, -.5f},
    // +y
    {-.5f, .5f, -.5f}, {-.5f, .5f, .5f}, {.5f, .5f, .5f},
    {.5f, .5f, .5f}, {.5f, .5f, -.5f}, {-.5f, .5f, -.5f},
    // -y
    {-.5f, -.5f, -.5f}, {.5f, -.5f, .5f}, {-.5f, -.5f, .5f},
    {.5f, -.5f, .5f}, {-.5f, -.5f, -.5f}, {.5f, -.5f, -.5f},
};

// Outward normal of each face, in the same face order.
constexpr float kFaceNormals[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, 0, 1}, {0, 0, -1}, {0, 1, 0}, {0, -1, 0}};

// Interleaved vertex data; a vertex's texture coordinate is its two in-face
// coordinates (in axis order) plus 0.5.
std::array<float, kCubeVertices * kFloatsPerVertex> buildCube() {
    std::array<float, kCubeVertices * kFloatsPerVertex> data{};
    for (int v = 0; v < kCubeVertices; ++v) {
        const float* p = kCorners[v];
        const float* n = kFaceNormals[v / 6];
        float u = 0.0f;
        float t = 0.0f;
        if (n[0] != 0.0f) {
            u = p[1] + 0.5f;
            t = p[2] + 0.5f;
        } else if (n[1] != 0.0f) {
            u = p[0] + 0.5f;
            t = p[2] + 0.5f;
        } else {
            u = p[0] + 0.5f;
            t = p[1] + 0.5f;
        }
        float* out = &data[static_cast<std::size_t>(v * kFloatsPerVertex)];
        out[0] = p[0];
        out[1] = p[1];
        out[2] = p[2];
        out[3] = n[0];
        out[4] = n[1];
        out[5] = n[2];
        out[6] = u;
        out[7] = t;
    }
    return data;
}

GlTexture makeTexture(const char* path, ImagePreloads* preloads) {
    GlTexture texture = createGlObject<GlTextureKind>();
    glBindTexture(GL_TEXTURE_2D, texture.get());
    const DecodedImage image = loadImage(path, preloads);
    // An image that failed to decode gets the engine's grey placeholder.
    uploadRgbTexture(image.pixels.get(), image.width, image.height);
    return texture;
}

void uploadMatrix(Shader* shader, const char* name, std::uint32_t key, const glm::mat4& m) {
    glUniformMatrix4fv(shader->uniformLocation(name, key), 1, GL_FALSE, &m[0][0]);
}

void uploadVec3(Shader* shader, const char* name, std::uint32_t key, const glm::vec3& v) {
    glUniform3fv(shader->uniformLocation(name, key), 1, &v[0]);
}

}  // namespace

PlateRenderer::PlateRenderer(ImagePreloads* preloads) {
    {
        const auto cube = buildCube();
        vbo = makeVertexBuffer(cube.data(), sizeof(cube), "plate", kModule, __LINE__);
    }
    vao = makeVertexArray("plate", kModule, __LINE__);
    shader = std::make_unique<Shader>("shaders/plate.vert", "shaders/plate.frag");
    shadowShader = std::make_unique<Shader>("shaders/plate-shadow.vert", "shaders/plate-shadow.frag");
    const GLuint program = shader->program.get();
    bindAttribute(program, "inPosition", 3, GL_FLOAT, GL_FALSE, kStride, 0, kModule, __LINE__);
    bindAttribute(program, "inNormal", 3, GL_FLOAT, GL_TRUE, kStride, 3 * sizeof(float), kModule, __LINE__);
    bindAttribute(program, "inTexture", 2, GL_FLOAT, GL_FALSE, kStride, 6 * sizeof(float), kModule, __LINE__);
    checkGLError(kModule, __LINE__);

    metalTexture = makeTexture("data/metal.jpg", preloads);
    metalNormalTexture = makeTexture("data/metal-normal.jpg", preloads);
    buildingTexture = makeTexture("data/building.jpg", preloads);
    buildingNormalTexture = makeTexture("data/building-normal.jpg", preloads);
    checkGLError(kModule, __LINE__);
}

// The game keeps its renderer for the whole process; this is for tests that
// build a new GL context.
PlateRenderer::~PlateRenderer() = default;

void PlateRenderer::draw(glm::vec3 position, glm::vec3 size, glm::vec3 color, int kind, float gamedist,
                         const RenderContext& context) {
    glBindBuffer(GL_ARRAY_BUFFER, vbo.get());
    glBindVertexArray(vao.get());

    // Draw space: the point under the ship sits at z = 2.5, the road runs
    // toward -z.
    glm::mat4 model = glm::translate(glm::mat4(1.0f), glm::vec3(position.x, position.y, 2.5f - position.z));
    model = glm::scale(model, size);

    Shader* active = shader.get();
    if (context.isShadowPass()) {
        active = shadowShader.get();
        glUseProgram(active->program.get());
    } else {
        glUseProgram(active->program.get());
        GLuint colourMap = 0;
        GLuint normalMap = 0;
        float scale = 0.0f;
        if (kind == 0 || kind == 2) {
            colourMap = metalTexture.get();
            normalMap = metalNormalTexture.get();
            scale = 0.6f;
        } else if (kind == 1) {
            colourMap = buildingTexture.get();
            normalMap = buildingNormalTexture.get();
            scale = 0.3f;
        }
        if (colourMap != 0) {
            uploadVec3(active, UNIFORM("textureScale"), size * scale);
            glActiveTexture(GL_TEXTURE1);
            glBindTexture(GL_TEXTURE_2D, colourMap);
            glUniform1i(active->uniformLocation(UNIFORM("inputTexture")), 1);
            glActiveTexture(GL_TEXTURE2);
            glBindTexture(GL_TEXTURE_2D, normalMap);
            glUniform1i(active->uniformLocation(UNIFORM("inputNormalTexture")), 2);
        }
        uploadVec3(active, UNIFORM("color"), color);
        uploadVec3(active, UNIFORM("lightPosition"), context.light);
        uploadVec3(active, UNIFORM("camPosition"), context.camera);
        glUniform1f(active->uniformLocation(UNIFORM("gamedist")), gamedist);
        glUniform1i(active->uniformLocation(UNIFORM("depthMap")), 0);
        uploadMatrix(active, UNIFORM("view"), context.view);
        uploadMatrix(active, UNIFORM("projection"), context.projection);
    }
    uploadMatrix(active, UNIFORM("lightSpaceMatrix"), context.lightSpace);
    uploadMatrix(active, UNIFORM("model"), model);

    glDrawArrays(GL_TRIANGLES, 0, kCubeVertices);
    checkGLError(kModule, __LINE__);
}

void renderPlate(PlateRenderer& renderer, const Plate& plate, float distance, const RenderContext& context) {
    int kind = 0;
    glm::vec3 color(0.6f, 0.6f, 0.6f);
    if (!plate.isFloor && plate.isPillar) {
        kind = 2;
        color = glm::vec3(0.672f, 0.512f, 0.248f);
    } else if (!plate.isFloor) {
        kind = 1;
        color = glm::vec3(0.472f, 0.672f, 0.728f);
    }
    const glm::vec3 position(plate.position.x, plate.position.y, plate.position.z - distance);
    renderer.draw(position, plate.size, color, kind, distance, context);
}
