#version 430 core

layout(location = 0) in vec3 fragPos;

uniform float distance;

layout(location = 0) out vec4 outColor;

const float PI = 3.1415926535897932384626433832795;

float rand(vec2 c) {
    return fract(sin(dot(c, vec2(12.9898, 78.233))) * 43758.5453);
}

// Value noise on cells of 5 / freq, cosine-eased between the corners.
float noise(vec2 p, float freq) {
    float cell = 5.0 / freq;
    vec2 i = floor(p / cell);
    vec2 f = mod(p, cell) / cell;
    f = 0.5 * (1.0 - cos(PI * f));
    float bottom = mix(rand(i), rand(i + vec2(1.0, 0.0)), f.x);
    float top = mix(rand(i + vec2(0.0, 1.0)), rand(i + vec2(1.0, 1.0)), f.x);
    return mix(bottom, top, f.y);
}

// res + 1 octaves from frequency 4, halving the amplitude each octave; the
// normalised sum to the fourth power leaves sparse bright wisps.
float pNoise(vec2 p, int res) {
    float persistance = 0.5;
    float n = 0.0;
    float normK = 0.0;
    float f = 4.0;
    float amp = 1.0;
    for (int i = 0; i < 50; ++i) {
        n += amp * noise(p, f);
        f *= 2.0;
        normK += amp;
        amp *= persistance;
        if (i == res) break;
    }
    float nf = n / normK;
    return nf * nf * nf * nf;
}

void main() {
    vec3 P = fragPos;
    float d = distance;
    float a0 = pNoise(vec2(P.z + 2.5 - d / 6.0, P.x), 7);
    float red = 0.5 + 0.6 * pNoise(vec2(P.x - d / 6.0, P.z), 2);
    float green = 1.0 - 0.9 * pNoise(vec2(P.z - d / 6.5, P.x), 2);
    float blue = 0.1 + 0.5 * pNoise(vec2(P.x - 0.5 - d / 5.5, P.z + 0.5), 2);
    float edge = sin(PI * (P.x + 10.0) / 20.0);
    float alpha = a0 * edge * edge * edge * 0.7;
    // Fade toward the far end of the sheet.
    if (P.z < 0.0) alpha *= (75.0 + P.z) / 75.0;
    outColor = vec4(red, green, blue, alpha);
}
