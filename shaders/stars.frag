#version 430

// Colour weight: 1 white stars, 0 red stars.
uniform float distance;
// Noise cells across the screen for the dense layer (the window width).
uniform int stars;

layout(location = 0) in vec2 TexCoords;

out vec4 FragColor;

float rand(vec2 v) {
    return fract(sin(dot(v, vec2(12.9898, 4.1414))) * 43758.5453);
}

// Squared bilinear value noise; the square leaves few bright cells.
float noise(vec2 p) {
    vec2 i = floor(p);
    vec2 u = fract(p);
    u = u * u * (3.0 - 2.0 * u);
    float a = rand(i);
    float b = rand(i + vec2(1.0, 0.0));
    float c = rand(i + vec2(0.0, 1.0));
    float d = rand(i + vec2(1.0, 1.0));
    float r = mix(mix(a, b, u.x), mix(c, d, u.x), u.y);
    return r * r;
}

void main() {
    // A dense layer of faint stars and a sparse one on a five times coarser grid.
    float close = (max(0.9, noise(TexCoords * float(stars))) - 0.9) * 8.0;
    float far = (max(0.98, noise(TexCoords * float(stars / 5))) - 0.98) * 10.0;
    float n = close + far;
    FragColor = vec4(n, n * distance, n * distance, 1.0);
}
