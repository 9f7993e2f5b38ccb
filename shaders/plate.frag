#version 430 core

layout(location = 0) in vec3 fragPos;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec4 fragPosLightSpace;
layout(location = 3) in vec2 texturePos;

uniform vec3 color;
uniform vec3 lightPosition;
uniform vec3 camPosition;
uniform sampler2D depthMap;
uniform sampler2D inputTexture;
uniform sampler2D inputNormalTexture;
uniform float gamedist;

layout(location = 0) out vec4 outColor;

float rand(vec2 n) {
    return fract(sin(dot(n, vec2(12.9898, 4.1414))) * 43758.5453);
}

float noise(vec2 p) {
    vec2 i = floor(p);
    vec2 u = fract(p);
    u = u * u * (3.0 - 2.0 * u);
    float res = mix(mix(rand(i), rand(i + vec2(1.0, 0.0)), u.x),
                    mix(rand(i + vec2(0.0, 1.0)), rand(i + vec2(1.0, 1.0)), u.x), u.y);
    return res * res;
}

// 5 x 5 percentage-closer filtering of the shadow map.
float CalcShadow() {
    vec3 proj = fragPosLightSpace.xyz / fragPosLightSpace.w * 0.5 + 0.5;
    if (proj.z > 1.0) return 0.0;
    float current = proj.z;
    vec3 lightDir = normalize(lightPosition - fragPos);
    float bias = max(0.001 * (1.0 - dot(normal, lightDir)), 0.0001);
    vec2 texel = 1.0 / vec2(textureSize(depthMap, 0));
    float shadow = 0.0;
    for (int x = -2; x <= 2; ++x) {
        for (int y = -2; y <= 2; ++y) {
            float closest = texture(depthMap, proj.xy + vec2(x, y) * texel).r;
            shadow += current - bias > closest ? 1.0 : 0.0;
        }
    }
    return shadow / 25.0;
}

void main() {
    // About 3.18 up to 80 units from the camera, falling to 0 at 90.
    float dist = distance(camPosition, fragPos);
    dist = (90.0 - min(max(80.0, dist), 90.0)) / 3.14;

    vec3 textureNormal = texture(inputNormalTexture, texturePos).rgb * 2.0 - 1.0;
    vec3 lightColor = texture(inputTexture, texturePos).rgb;

    vec3 ambient = 0.3 * lightColor;
    vec3 lightDir = normalize((lightPosition + vec3(0.0, 0.0, 30.0)) - fragPos);
    float diff = max(dot(lightDir, textureNormal), 0.0) * 0.3 + max(dot(lightDir, normal), 0.0) * 0.9;
    vec3 diffuse = diff * lightColor;
    float shadow = CalcShadow();

    vec3 lighting;
    if (dist > 3.14) {
        lighting = (ambient + (1.0 - shadow) * diffuse) * color;
    } else {
        // The far edge of the road dissolves in a flickering green, then black.
        lighting = vec3(0.0, 1.0, 0.28) * sin(dist) * noise(vec2(fragPos.x + gamedist, fragPos.y + gamedist) * 100.0);
    }
    outColor = vec4(lighting, 1.0);
}
