#pragma once
// The fixed camera and light shared by every 3D renderer, and the flag that
// marks the shadow pass.

#include <glm/glm.hpp>

void beginShadowPass();
void endShadowPass();
bool isShadowPass();

glm::vec3 cameraPosition();
glm::vec3 lightPosition();

// For the pass being drawn: the shadow camera inside the shadow pass, the
// main camera otherwise.
glm::mat4 viewMatrix();
glm::mat4 projectionMatrix();

// The shadow camera's projection times its view, in either pass.
glm::mat4 lightSpaceMatrix();
