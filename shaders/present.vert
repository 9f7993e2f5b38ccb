#version 430

// The screen-filling rectangle in clip space; the viewport puts it where the
// picture goes on the screen.
layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inTexCoords;

out vec2 texCoords;

void main() {
    texCoords = inTexCoords.xy;
    gl_Position = vec4(inPosition, 1.0);
}
