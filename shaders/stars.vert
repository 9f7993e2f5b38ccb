#version 430

// The rectangle is given in clip space: no matrix.
layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inTexCoords;

layout(location = 0) out vec2 TexCoords;

void main() {
    TexCoords = inTexCoords.xy;
    gl_Position = vec4(inPosition, 1.0);
}
