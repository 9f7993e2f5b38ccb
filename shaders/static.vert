#version 430 core

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec3 inColor;
layout(location = 3) in vec2 inTexturePos;
layout(location = 4) in int inUseTexture;

uniform mat4 view;
uniform mat4 projection;
uniform mat4 model;
uniform mat4 lightSpaceMatrix;

layout(location = 0) out vec3 fragPos;
layout(location = 1) out vec3 normal;
layout(location = 2) out vec4 fragPosLightSpace;
layout(location = 3) out vec3 fragColor;
layout(location = 4) out vec2 texturePos;
layout(location = 5) flat out int useTexture;

void main() {
    fragPos = vec3(model * vec4(inPosition, 1.0));
    normal = mat3(transpose(inverse(model))) * inNormal;
    fragPosLightSpace = lightSpaceMatrix * vec4(fragPos, 1.0);
    fragColor = inColor;
    texturePos = inTexturePos;
    useTexture = inUseTexture;
    gl_Position = projection * view * model * vec4(inPosition, 1.0);
}
