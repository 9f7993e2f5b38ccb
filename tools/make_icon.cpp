// Makes data/icon.png, the 256 x 256 window and desktop icon, and the 48 x 48
// and 128 x 128 icons of the package (packaging/icons/vimbrot-N.png): a small
// ship over a receding road of plates, against a starry sky. The art is drawn
// in a 256-unit square and scaled to each size, not resampled from the big
// image, so the small icons stay sharp. Deterministic.
// Usage: make_icon [icon.png [icons-dir]]
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <stb_image_write.h>

namespace {

constexpr int kArt = 256;   // the art's own square
constexpr int kSamples = 4;  // per axis, for smooth edges

struct Color {
    float r, g, b, a;
};

struct Image {
    int size;
    std::vector<float> rgba = std::vector<float>(size_t(size) * size * 4, 0.0f);
    void blend(int x, int y, Color c, float coverage) {
        if (x < 0 || y < 0 || x >= size || y >= size || coverage <= 0.0f) return;
        float* p = &rgba[(y * size + x) * 4];
        float a = c.a * coverage;
        p[0] = p[0] * (1 - a) + c.r * a;
        p[1] = p[1] * (1 - a) + c.g * a;
        p[2] = p[2] * (1 - a) + c.b * a;
        p[3] = p[3] * (1 - a) + a;
    }
};

struct P {
    float x, y;
};

float edge(P a, P b, P p) { return (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x); }

// Fills a convex polygon, given in pixels, with supersampled coverage.
void fillPixels(Image& img, const std::vector<P>& poly, Color c) {
    const int kSize = img.size;
    float minX = float(kSize), minY = float(kSize), maxX = 0, maxY = 0;
    for (P p : poly) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
    float area = 0;
    for (size_t i = 0; i < poly.size(); ++i) area += edge(poly[i], poly[(i + 1) % poly.size()], {0, 0});
    float sign = area >= 0 ? 1.0f : -1.0f;
    for (int y = std::max(0, int(minY)); y <= std::min(kSize - 1, int(maxY) + 1); ++y) {
        for (int x = std::max(0, int(minX)); x <= std::min(kSize - 1, int(maxX) + 1); ++x) {
            int inside = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    P p{x + (sx + 0.5f) / kSamples, y + (sy + 0.5f) / kSamples};
                    bool in = true;
                    for (size_t i = 0; i < poly.size() && in; ++i) {
                        in = sign * edge(poly[i], poly[(i + 1) % poly.size()], p) >= 0;
                    }
                    inside += in;
                }
            }
            img.blend(x, y, c, float(inside) / (kSamples * kSamples));
        }
    }
}

float hash(int x, int y) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return float(h & 0xFFFF) / 65535.0f;
}

// Fills a convex polygon given in art units.
void fill(Image& img, std::vector<P> poly, Color c) {
    const float scale = float(img.size) / kArt;
    for (P& p : poly) p = {p.x * scale, p.y * scale};
    fillPixels(img, poly, c);
}

bool draw(int size, const std::string& out) {
    Image img{size};
    const float scale = float(size) / kArt;

    // Rounded square of deep space with a violet glow near the horizon. Each
    // pixel is shaded at its centre in art units; at 256 that is the pixel
    // itself. The stars are the art's own pixels that the centre falls on.
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            float u = (x + 0.5f) / scale, v = (y + 0.5f) / scale;
            float dx = std::max(0.0f, std::abs(u - 128) - 100), dy = std::max(0.0f, std::abs(v - 128) - 100);
            float corner = std::sqrt(dx * dx + dy * dy);
            // The corners' edge is the image border at radius 28, with a ramp one
            // pixel wide centred on it: s * (28 - corner) + 0.5, written so that
            // at 256 it is the art's own sum.
            float coverage = std::clamp((28.5f - corner) * scale + 0.5f * (1 - scale), 0.0f, 1.0f);
            float glow = std::exp(-std::pow((v - 0.5f - 110) / 60.0f, 2.0f));
            Color sky{0.02f + 0.20f * glow, 0.02f + 0.05f * glow, 0.08f + 0.25f * glow, 1};
            img.blend(x, y, sky, coverage);
            int ax = int(u), ay = int(v);
            float s = hash(ax, ay);
            if (coverage > 0.99f && ay < 120 && s > 0.992f) img.blend(x, y, {1, 1, 1, 1}, (s - 0.992f) / 0.008f);
        }
    }
    // Road plates in perspective, converging at the horizon (y = 100).
    const float horizon = 100, vx = 128;
    for (int i = 0; i < 6; ++i) {
        float t0 = std::pow(0.62f, float(i)), t1 = std::pow(0.62f, float(i) + 0.8f);
        float y0 = horizon + (236 - horizon) * t0, y1 = horizon + (236 - horizon) * t1;
        float w0 = 110 * t0, w1 = 110 * t1;
        float shift0 = (i % 2 ? 14.0f : -10.0f) * t0, shift1 = (i % 2 ? 14.0f : -10.0f) * t1;
        float shade = 0.55f + 0.07f * float(i);
        fill(img, {{vx - w0 + shift0, y0}, {vx + w0 + shift0, y0}, {vx + w1 + shift1, y1}, {vx - w1 + shift1, y1}},
             {shade, shade, shade + 0.05f, 1});
        fill(img, {{vx - w0 + shift0, y0}, {vx + w0 + shift0, y0}, {vx + w0 + shift0, y0 + 6 * t0}, {vx - w0 + shift0, y0 + 6 * t0}},
             {0.25f, 0.27f, 0.32f, 1});
    }
    // A building block on the second plate.
    fill(img, {{150, 150}, {172, 150}, {172, 128}, {150, 128}}, {0.47f, 0.67f, 0.73f, 1});
    // The ship: a low dart, nose away from the viewer, two glowing engines.
    const float cy = 172;
    fill(img, {{128, cy - 44}, {182, cy + 14}, {128, cy + 4}}, {0.78f, 0.8f, 0.86f, 1});
    fill(img, {{128, cy - 44}, {128, cy + 4}, {74, cy + 14}}, {0.62f, 0.64f, 0.72f, 1});
    fill(img, {{128, cy - 30}, {140, cy - 4}, {128, cy + 2}, {116, cy - 4}}, {0.2f, 0.5f, 0.26f, 1});
    for (float ex : {108.0f, 148.0f}) {
        fill(img, {{ex - 9, cy + 6}, {ex + 9, cy + 6}, {ex + 9, cy + 18}, {ex - 9, cy + 18}}, {0.3f, 0.3f, 0.35f, 1});
        fill(img, {{ex - 7, cy + 18}, {ex + 7, cy + 18}, {ex + 3, cy + 34}, {ex - 3, cy + 34}}, {1.0f, 0.55f, 0.12f, 0.95f});
        fill(img, {{ex - 4, cy + 18}, {ex + 4, cy + 18}, {ex, cy + 27}}, {1.0f, 0.95f, 0.7f, 1});
    }

    std::vector<unsigned char> bytes(img.rgba.size());
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = (unsigned char)std::lround(std::clamp(img.rgba[i], 0.0f, 1.0f) * 255);
    if (!stbi_write_png(out.c_str(), size, size, 4, bytes.data(), size * 4)) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", out.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string icon = argc > 1 ? argv[1] : "data/icon.png";
    const std::string dir = argc > 2 ? argv[2] : "packaging/icons";
    bool ok = draw(kArt, icon);
    for (int size : {48, 128}) ok = draw(size, dir + "/vimbrot-" + std::to_string(size) + ".png") && ok;
    return ok ? 0 : 1;
}
