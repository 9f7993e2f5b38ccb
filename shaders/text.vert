#version 430

// A glyph vertex in cell units (0 to 1), placed and scaled in the 1920 x 864
// virtual screen, which always covers the whole viewport.
layout(location = 0) in vec2 inPosition;

uniform vec2 position;
uniform float height;

void main() {
    vec2 scale = vec2(2.0 / 1920.0, 2.5 / 1080.0);
    gl_Position = vec4(inPosition * scale * height - vec2(1.0, 1.0) + position * scale, 0.0, 1.0);
}
