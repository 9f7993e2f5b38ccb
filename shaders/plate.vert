#version 430 core

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inTexture;

uniform mat4 view;
uniform mat4 projection;
uniform mat4 model;
uniform mat4 lightSpaceMatrix;
uniform vec3 textureScale;

layout(location = 0) out vec3 fragPos;
layout(location = 1) out vec3 normal;
layout(location = 2) out vec4 fragPosLightSpace;
layout(location = 3) out vec2 texturePos;

void main() {
    fragPos = (model * vec4(inPosition, 1.0)).xyz;
    normal = normalize(transpose(inverse(mat3(model))) * inNormal);
    fragPosLightSpace = lightSpaceMatrix * vec4(fragPos, 1.0);
    // Scale by the face's own two extents so the texture repeats at a fixed
    // rate in world units on every plate size.
    if (abs(inNormal.x) > 0.5) {
        texturePos = inTexture * textureScale.yz;
    } else if (abs(inNormal.y) > 0.5) {
        texturePos = inTexture * textureScale.xz;
    } else {
        texturePos = inTexture * textureScale.xy;
    }
    gl_Position = projection * view * model * vec4(inPosition, 1.0);
}
