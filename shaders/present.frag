#version 430

in vec2 texCoords;

out vec4 FragColor;

// The game's resolved picture.
uniform sampler2D picture;
// 0: copied texel for pixel (the same size), 1: bilinear (made larger),
// 2: the mean of the texels under the pixel (made smaller).
uniform int filterMode;
// Picture texels per screen pixel, and the picture's lower left corner on
// the screen in pixels.
uniform float footprint;
uniform vec2 origin;

void main() {
    if (filterMode == 0) {
        FragColor = vec4(texelFetch(picture, ivec2(gl_FragCoord.xy - origin), 0).rgb, 1.0);
        return;
    }
    if (filterMode == 1) {
        FragColor = vec4(texture(picture, texCoords).rgb, 1.0);
        return;
    }
    // Made smaller, every texel under the pixel counts by the share of it
    // the pixel covers: a stroke thinner than the step fades instead of
    // dropping out, and nothing shimmers.
    ivec2 size = textureSize(picture, 0);
    vec2 low = texCoords * vec2(size) - 0.5 * footprint;
    vec2 high = low + footprint;
    ivec2 first = ivec2(floor(low));
    ivec2 last = ivec2(ceil(high)) - 1;
    vec3 sum = vec3(0.0);
    float total = 0.0;
    for (int y = first.y; y <= last.y; ++y) {
        float wy = min(high.y, float(y + 1)) - max(low.y, float(y));
        for (int x = first.x; x <= last.x; ++x) {
            float w = wy * (min(high.x, float(x + 1)) - max(low.x, float(x)));
            sum += w * texelFetch(picture, clamp(ivec2(x, y), ivec2(0), size - 1), 0).rgb;
            total += w;
        }
    }
    FragColor = vec4(sum / max(total, 1e-6), 1.0);
}
