#pragma once
// The fixed camera and light, and the render context a pass hands to
// everything it draws: which pass, and the cameras it draws with.

#include <glm/glm.hpp>

enum class RenderPass { Shadow, Main };

struct RenderContext {
    bool isShadowPass() const { return pass == RenderPass::Shadow; }

    RenderPass pass;
    glm::mat4 view;        // this pass's camera: the light's in the shadow pass
    glm::mat4 projection;  // likewise
    glm::mat4 lightSpace;  // the shadow camera's projection times its view
    glm::vec3 camera;      // the main camera's position
    glm::vec3 light;       // the light's position
};

glm::vec3 cameraPosition();
glm::vec3 lightPosition();

// The shadow camera in the shadow pass, the main camera in the main pass.
glm::mat4 viewMatrix(RenderPass pass);
glm::mat4 projectionMatrix(RenderPass pass);

// The shadow camera's projection times its view.
glm::mat4 lightSpaceMatrix();

// Everything a pass draws with.
RenderContext renderContext(RenderPass pass);
