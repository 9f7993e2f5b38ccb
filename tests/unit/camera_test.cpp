#include <gtest/gtest.h>

#include <cmath>

#include <glm/glm.hpp>

#include "game/camera.h"

namespace {

// Compares every entry; glm is column-major, m[column][row].
void expectMatrixNear(const glm::mat4& actual, const glm::mat4& expected, float tolerance) {
    for (int c = 0; c < 4; ++c) {
        for (int r = 0; r < 4; ++r) {
            EXPECT_NEAR(actual[c][r], expected[c][r], tolerance) << "column " << c << " row " << r;
        }
    }
}

glm::vec3 transformPoint(const glm::mat4& m, glm::vec3 p) {
    glm::vec4 q = m * glm::vec4(p, 1.0f);
    return glm::vec3(q) / q.w;
}

// A view matrix puts the eye at the origin and the target straight ahead on
// -z, with the up vector staying in the y-z plane.
void expectLooksAt(const glm::mat4& view, glm::vec3 eye, glm::vec3 target) {
    glm::vec3 e = transformPoint(view, eye);
    EXPECT_NEAR(glm::length(e), 0.0f, 1e-4f);
    glm::vec3 t = transformPoint(view, target);
    EXPECT_NEAR(t.x, 0.0f, 1e-4f);
    EXPECT_NEAR(t.y, 0.0f, 1e-4f);
    EXPECT_NEAR(t.z, -glm::length(target - eye), 1e-3f);
    glm::vec3 above = transformPoint(view, eye + glm::vec3(0.0f, 1.0f, 0.0f));
    EXPECT_NEAR(above.x, 0.0f, 1e-5f);
    EXPECT_GT(above.y, 0.0f);
}

glm::mat4 mainProjection() {
    float t = std::tan(27.5f * 3.14159265358979f / 180.0f);
    glm::mat4 m(0.0f);
    m[0][0] = 1.0f / (t * 16.0f / 9.0f);
    m[1][1] = 1.0f / t;
    m[2][2] = -100.0f / 99.9f;
    m[2][3] = -1.0f;
    m[3][2] = -10.0f / 99.9f;
    return m;
}

glm::mat4 shadowProjection() {
    glm::mat4 m(0.0f);
    m[0][0] = 0.05f;
    m[1][1] = 0.05f;
    m[2][2] = -0.02f;
    m[3][2] = -1.0f;
    m[3][3] = 1.0f;
    return m;
}

}  // namespace

TEST(Camera, FixedPositionsOfCameraAndLight) {
    EXPECT_EQ(cameraPosition(), glm::vec3(0.0f, 3.0f, 8.0f));
    EXPECT_EQ(lightPosition(), glm::vec3(15.0f, 18.0f, 7.0f));
}

TEST(Camera, MainPassMatrices) {
    expectMatrixNear(projectionMatrix(RenderPass::Main), mainProjection(), 1e-6f);
    EXPECT_NEAR(projectionMatrix(RenderPass::Main)[2][2], -1.001001f, 1e-6f);
    EXPECT_NEAR(projectionMatrix(RenderPass::Main)[3][2], -0.1001001f, 1e-7f);
    expectLooksAt(viewMatrix(RenderPass::Main), {0.0f, 3.0f, 8.0f}, {0.0f, -0.5f, 0.0f});
}

TEST(Camera, ShadowPassLooksFromTheLight) {
    expectMatrixNear(projectionMatrix(RenderPass::Shadow), shadowProjection(), 1e-7f);
    expectLooksAt(viewMatrix(RenderPass::Shadow), {45.0f, 54.0f, 21.0f}, {0.0f, -0.5f, -20.0f});
    EXPECT_NE(viewMatrix(RenderPass::Main), viewMatrix(RenderPass::Shadow));
}

TEST(Camera, LightSpaceMatrixIsTheShadowCamera) {
    const glm::mat4 expected = projectionMatrix(RenderPass::Shadow) * viewMatrix(RenderPass::Shadow);
    expectMatrixNear(lightSpaceMatrix(), expected, 0.0f);

    // The shadow camera's target is the middle of the map at depth 60 of 100.
    glm::vec3 centre = transformPoint(lightSpaceMatrix(), {0.0f, -0.5f, -20.0f});
    EXPECT_NEAR(centre.x, 0.0f, 1e-4f);
    EXPECT_NEAR(centre.y, 0.0f, 1e-4f);
    float along = glm::length(glm::vec3(45.0f, 54.5f, 41.0f));
    EXPECT_NEAR(centre.z, along / 50.0f - 1.0f, 1e-4f);
}

// A pass's context carries that pass's cameras, and the light's in both.
TEST(Camera, RenderContextOfEachPass) {
    for (RenderPass pass : {RenderPass::Shadow, RenderPass::Main}) {
        const RenderContext context = renderContext(pass);
        EXPECT_EQ(context.pass, pass);
        EXPECT_EQ(context.isShadowPass(), pass == RenderPass::Shadow);
        expectMatrixNear(context.view, viewMatrix(pass), 0.0f);
        expectMatrixNear(context.projection, projectionMatrix(pass), 0.0f);
        expectMatrixNear(context.lightSpace, lightSpaceMatrix(), 0.0f);
        EXPECT_EQ(context.camera, cameraPosition());
        EXPECT_EQ(context.light, lightPosition());
    }
}
