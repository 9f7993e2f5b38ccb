#version 430

uniform vec3 color;

layout(location = 0) out vec4 outColor;

void main() {
    // Opaque: blending leaves text unchanged.
    outColor = vec4(color, 1.0);
}
