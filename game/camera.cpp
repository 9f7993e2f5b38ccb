#include "game/camera.h"

#include <glm/gtc/matrix_transform.hpp>

namespace {

constexpr glm::vec3 kCameraEye{0.0f, 3.0f, 8.0f};
constexpr glm::vec3 kCameraTarget{0.0f, -0.5f, 0.0f};
constexpr glm::vec3 kLight{15.0f, 18.0f, 7.0f};
constexpr glm::vec3 kShadowEye = kLight * 3.0f;
constexpr glm::vec3 kShadowTarget{0.0f, -0.5f, -20.0f};
constexpr glm::vec3 kUp{0.0f, 1.0f, 0.0f};

}  // namespace

glm::vec3 cameraPosition() { return kCameraEye; }
glm::vec3 lightPosition() { return kLight; }

glm::mat4 viewMatrix(RenderPass pass) {
    if (pass == RenderPass::Shadow) return glm::lookAt(kShadowEye, kShadowTarget, kUp);
    return glm::lookAt(kCameraEye, kCameraTarget, kUp);
}

glm::mat4 projectionMatrix(RenderPass pass) {
    if (pass == RenderPass::Shadow) return glm::orthoRH_NO(-20.0f, 20.0f, -20.0f, 20.0f, 0.0f, 100.0f);
    // The aspect ratio is fixed: every window size shows the same picture.
    return glm::perspectiveRH_ZO(glm::radians(55.0f), 16.0f / 9.0f, 0.1f, 100.0f);
}

glm::mat4 lightSpaceMatrix() { return projectionMatrix(RenderPass::Shadow) * viewMatrix(RenderPass::Shadow); }

RenderContext renderContext(RenderPass pass) {
    return {pass, viewMatrix(pass), projectionMatrix(pass), lightSpaceMatrix(), kCameraEye, kLight};
}
