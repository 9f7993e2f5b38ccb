#version 430

// The veil is given in clip space: no matrix.
layout(location = 0) in vec3 inPosition;

void main() {
    gl_Position = vec4(inPosition, 1.0);
}
