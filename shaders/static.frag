#version 430 core

layout(location = 0) in vec3 fragPos;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec4 fragPosLightSpace;
layout(location = 3) in vec3 fragColor;
layout(location = 4) in vec2 texturePos;
layout(location = 5) flat in int useTexture;

uniform vec3 lightPosition;
uniform vec3 camPosition;
uniform sampler2D depthMap;
uniform sampler2D inputTexture;
uniform float gamedist;
uniform float ticks;
uniform int colorOverride;

layout(location = 0) out vec4 outColor;

const float PI = 3.14159265358979;

float rand(vec2 n) {
    return fract(sin(dot(n, vec2(12.9898, 4.1414))) * 43758.5453);
}

// Value noise on the unit grid, squared: the far-away shimmer.
float noise(vec2 p) {
    vec2 i = floor(p);
    vec2 u = fract(p);
    u = u * u * (3.0 - 2.0 * u);
    float res = mix(mix(rand(i), rand(i + vec2(1.0, 0.0)), u.x),
                    mix(rand(i + vec2(0.0, 1.0)), rand(i + vec2(1.0, 1.0)), u.x), u.y);
    return res * res;
}

// Cosine-eased value noise with cells of 5 / freq.
float noise(vec2 p, float freq) {
    float cell = 5.0 / freq;
    vec2 i = floor(p / cell);
    vec2 w = mod(p, cell) / cell;
    w = 0.5 * (1.0 - cos(PI * w));
    float x1 = mix(rand(i), rand(i + vec2(1.0, 0.0)), w.x);
    float x2 = mix(rand(i + vec2(0.0, 1.0)), rand(i + vec2(1.0, 1.0)), w.x);
    return mix(x1, x2, w.y);
}

// res + 1 octaves, frequency doubling from 4, amplitude halving from 1.
float pNoise(vec2 p, int res) {
    float sum = 0.0;
    float amplitudes = 0.0;
    float freq = 4.0;
    float amp = 1.0;
    for (int i = 0; i < 50; i++) {
        sum += amp * noise(p, freq);
        amplitudes += amp;
        freq *= 2.0;
        amp *= 0.5;
        if (i == res) break;
    }
    float n = sum / amplitudes;
    return n * n * n * n;
}

// Fraction of the 5 x 5 shadow map texels around the fragment that are
// nearer to the light than it is.
float shadowAmount() {
    vec3 p = fragPosLightSpace.xyz / fragPosLightSpace.w * 0.5 + 0.5;
    if (p.z > 1.0) return 0.0;
    float bias = max(0.001 * (1.0 - dot(normal, normalize(lightPosition - fragPos))), 0.0001);
    vec2 texel = 1.0 / vec2(textureSize(depthMap, 0));
    float count = 0.0;
    for (int x = -2; x <= 2; ++x) {
        for (int y = -2; y <= 2; ++y) {
            float depth = texture(depthMap, p.xy + vec2(x, y) * texel).r;
            if (depth < p.z - bias) count += 1.0;
        }
    }
    return count / 25.0;
}

void main() {
    float dist = (90.0 - min(max(80.0, distance(camPosition, fragPos)), 90.0)) / 3.14;

    vec3 base;
    if (useTexture != 0) {
        base = texture(inputTexture, texturePos).rgb;
    } else if (colorOverride == 1) {
        vec2 q = vec2(fragPosLightSpace.x * 1000.0 + cos(ticks) * ticks * 100.0,
                      fragPosLightSpace.y * 1000.0 + sin(ticks) * ticks * 100.0);
        base = vec3(1.8, 1.2, 0.1) + vec3(1.0, 0.3, 0.2) * pNoise(q, 2);
    } else if (colorOverride == 2) {
        vec2 q = vec2(fragPosLightSpace.x * 2000.0 + cos(ticks) * ticks * 100.0,
                      fragPosLightSpace.y * 2000.0 + sin(ticks) * ticks * 100.0);
        base = vec3(1.3, 1.3, 1.3) + vec3(1.0, 0.3, 0.2) * pNoise(q, 2);
    } else {
        base = fragColor;
    }

    vec3 ambient = 0.3 * base;
    vec3 lightDir = normalize((lightPosition + vec3(0.0, 0.0, 30.0)) - fragPos);
    vec3 diffuse = max(dot(lightDir, normal), 0.0) * base;
    float shadow = shadowAmount();

    vec3 color;
    if (dist > 3.14) {
        color = (ambient + (1.0 - shadow) * diffuse) * fragColor;
    } else {
        // Beyond about 80 units: a green shimmer fading to black at 90.
        color = vec3(0.0, 1.0, 0.28) * sin(dist) *
                noise(vec2(fragPos.x + gamedist, fragPos.y + gamedist) * 100.0);
    }
    outColor = vec4(color, 1.0);
}
