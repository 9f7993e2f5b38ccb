// Makes the four plate textures: data/metal.jpg, data/metal-normal.jpg,
// data/building.jpg and data/building-normal.jpg (1024 x 1024 RGB JPEG).
//
// Each colour map and its normal map come from one height field, so bumps in
// the picture and in the lighting agree. Everything is periodic over the
// image (noise lattices wrap, patterns divide 1024), so the plates can repeat
// the textures without seams. Deterministic: same output on every run.
//
// Usage: make_textures [output directory, default "data"]

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <stb_image_write.h>

namespace {

constexpr int kSize = 1024;
constexpr float kPi = 3.14159265358979f;

struct Rgb {
    float r, g, b;
};

Rgb operator*(Rgb c, float k) { return {c.r * k, c.g * k, c.b * k}; }
Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Rgb mixRgb(Rgb a, Rgb b, float t) { return a * (1.0f - t) + b * t; }

struct Layer {
    std::vector<float> height;
    std::vector<Rgb> colour;
    Layer() : height(kSize * kSize, 0.0f), colour(kSize * kSize, Rgb{0, 0, 0}) {}
};

std::uint32_t hash3(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    std::uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    h *= 0x27d4eb2du;
    h ^= h >> 16;
    return h;
}

float hashUnit(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    return static_cast<float>(hash3(x, y, seed) & 0xFFFFFFu) / static_cast<float>(0xFFFFFF);
}

float smooth(float t) { return t * t * (3.0f - 2.0f * t); }

int wrap(int v, int period) { return ((v % period) + period) % period; }

// Value noise on a lattice of cellsX x cellsY cells over the image, wrapping
// at the image edges.
float periodicNoise(float u, float v, int cellsX, int cellsY, std::uint32_t seed) {
    float x = u * static_cast<float>(cellsX);
    float y = v * static_cast<float>(cellsY);
    int x0 = static_cast<int>(std::floor(x));
    int y0 = static_cast<int>(std::floor(y));
    float fx = smooth(x - static_cast<float>(x0));
    float fy = smooth(y - static_cast<float>(y0));
    auto corner = [&](int cx, int cy) {
        return hashUnit(static_cast<std::uint32_t>(wrap(cx, cellsX)), static_cast<std::uint32_t>(wrap(cy, cellsY)),
                        seed);
    };
    float a = corner(x0, y0) + (corner(x0 + 1, y0) - corner(x0, y0)) * fx;
    float b = corner(x0, y0 + 1) + (corner(x0 + 1, y0 + 1) - corner(x0, y0 + 1)) * fx;
    return a + (b - a) * fy;
}

// Fractal sum, every octave still periodic over the image; result 0..1.
float fbm(float u, float v, int cellsX, int cellsY, int octaves, std::uint32_t seed) {
    float sum = 0.0f;
    float amp = 1.0f;
    float norm = 0.0f;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * periodicNoise(u, v, cellsX << o, cellsY << o, seed + static_cast<std::uint32_t>(o) * 101u);
        norm += amp;
        amp *= 0.5f;
    }
    return sum / norm;
}

// Distance from a coordinate to the nearest multiple of period (wrapping).
float toGrid(float p, float period) {
    float m = std::fmod(p, period);
    if (m < 0) m += period;
    return std::min(m, period - m);
}

float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

// Metal deck: two rows of long riveted plates, the second row staggered by
// half a plate like real deck plating, brushed along their length, worn and
// scratched, with recessed seams between them.
Layer makeMetal() {
    Layer layer;
    constexpr float kPlateWidth = 1024.0f;
    constexpr float kPlateHeight = 512.0f;
    constexpr float kRivetInset = 20.0f;
    constexpr float kRivetStep = 64.0f;
    constexpr float kRivetRadius = 7.5f;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            float u = (static_cast<float>(x) + 0.5f) / kSize;
            float v = (static_cast<float>(y) + 0.5f) / kSize;
            int row = y / static_cast<int>(kPlateHeight);
            // Plate-local coordinates; the second row is shifted by half.
            float lx = std::fmod(static_cast<float>(x) + 0.5f + static_cast<float>(row) * kPlateWidth * 0.5f, kPlateWidth);
            float ly = std::fmod(static_cast<float>(y) + 0.5f, kPlateHeight);

            // Brushing: long streaks along the plate.
            float streak = fbm(u, v, 4, 256, 3, 11u);
            float grain = hashUnit(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 13u);
            float wear = fbm(u, v, 8, 8, 5, 14u);
            float tone = row == 0 ? 0.70f : 0.64f;

            // Seams between plates: a bevel falling into a dark groove.
            float edge = std::min(std::min(lx, kPlateWidth - lx), std::min(ly, kPlateHeight - ly));
            float bevel = clamp01((edge - 3.0f) / 6.0f);
            float groove = edge < 3.0f ? 1.0f : 0.0f;

            // Rivets in a line along every edge, inset from the seam.
            float rivet = 0.0f;
            {
                float alongX = toGrid(lx - kRivetStep * 0.5f, kRivetStep);
                float alongY = toGrid(ly - kRivetStep * 0.5f, kRivetStep);
                float d = 1e9f;
                for (float line : {kRivetInset, kPlateHeight - kRivetInset}) d = std::min(d, std::hypot(alongX, ly - line));
                for (float line : {kRivetInset, kPlateWidth - kRivetInset}) d = std::min(d, std::hypot(lx - line, alongY));
                if (d < kRivetRadius) {
                    float t = 1.0f - (d / kRivetRadius) * (d / kRivetRadius);
                    rivet = t * std::sqrt(t);  // a domed head that meets the plate smoothly
                }
            }

            // Sparse scratches: thin strokes from a hashed lattice.
            float scratch = 0.0f;
            {
                int cx = x / 128;
                int cy = y / 128;
                std::uint32_t h = hash3(static_cast<std::uint32_t>(cx), static_cast<std::uint32_t>(cy), 15u);
                if ((h & 3u) == 0u) {
                    float angle = static_cast<float>(h >> 8 & 0xFFu) / 255.0f * kPi;
                    float px = static_cast<float>(x % 128) - 64.0f;
                    float py = static_cast<float>(y % 128) - 64.0f;
                    float across = std::fabs(-std::sin(angle) * px + std::cos(angle) * py);
                    float alongS = std::fabs(std::cos(angle) * px + std::sin(angle) * py);
                    if (across < 0.8f && alongS < 50.0f) scratch = 1.0f - alongS / 50.0f;
                }
            }

            float h = 0.55f + 0.02f * (streak - 0.5f) + 0.001f * (grain - 0.5f);
            h = h * bevel + 0.25f * (1.0f - bevel);
            h -= 0.1f * groove;
            h += 0.22f * rivet;
            h -= 0.03f * scratch;
            layer.height[static_cast<std::size_t>(y * kSize + x)] = h;

            float shade = tone + 0.16f * (streak - 0.5f) + 0.06f * (grain - 0.5f);
            shade *= 0.8f + 0.3f * wear;
            shade = shade * (0.55f + 0.45f * bevel) - 0.2f * groove;
            shade += 0.18f * rivet + 0.25f * scratch;
            Rgb steel{shade * 0.97f, shade * 1.0f, shade * 1.04f};
            // A touch of rust in the worn low areas.
            float rust = clamp01((0.42f - wear) * 4.0f) * 0.35f;
            steel = mixRgb(steel, Rgb{shade * 0.9f, shade * 0.62f, shade * 0.42f}, rust);
            layer.colour[static_cast<std::size_t>(y * kSize + x)] = steel;
        }
    }
    return layer;
}

// Facade: an 8 x 8 grid of recessed windows between raised pilasters and
// floor slabs; some windows are lit, the glass catches a sky gradient.
Layer makeBuilding() {
    Layer layer;
    constexpr int kCell = 128;
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            float u = (static_cast<float>(x) + 0.5f) / kSize;
            float v = (static_cast<float>(y) + 0.5f) / kSize;
            int cx = x / kCell;
            int cy = y / kCell;
            float lx = static_cast<float>(x % kCell) + 0.5f;
            float ly = static_cast<float>(y % kCell) + 0.5f;

            float grime = fbm(u, v, 8, 8, 5, 21u);
            float concreteGrain = fbm(u, v, 64, 64, 3, 22u);
            float speck = hashUnit(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 23u);

            // Window opening inside the cell, its frame and a mullion cross.
            constexpr float kLeft = 22.0f, kRight = 106.0f, kTop = 18.0f, kBottom = 92.0f;
            bool inWindow = lx > kLeft && lx < kRight && ly > kTop && ly < kBottom;
            float frameDist = std::min(std::min(lx - kLeft, kRight - lx), std::min(ly - kTop, kBottom - ly));
            bool frame = inWindow && frameDist < 4.0f;
            bool mullion = inWindow && (std::fabs(lx - 64.0f) < 2.0f || std::fabs(ly - 48.0f) < 2.0f);
            // Floor slab under the windows, pilasters between the columns.
            bool slab = ly > 104.0f && ly < 120.0f;
            float pilasterDist = toGrid(static_cast<float>(x) + 0.5f, kCell);
            bool pilaster = pilasterDist < 10.0f;

            float h = 0.6f + 0.012f * (concreteGrain - 0.5f);
            if (slab) h += 0.12f;
            if (pilaster) h += 0.08f;
            Rgb concrete = Rgb{0.70f, 0.70f, 0.68f} * (0.82f + 0.25f * concreteGrain + 0.05f * (speck - 0.5f));
            concrete = concrete * (0.8f + 0.3f * grime);
            if (slab) concrete = concrete * 1.12f;
            if (pilaster) concrete = concrete * 0.92f;
            // Fine horizontal panel joints in the wall.
            if (!slab && toGrid(ly, 32.0f) < 1.0f) {
                h -= 0.03f;
                concrete = concrete * 0.8f;
            }

            Rgb c = concrete;
            if (inWindow) {
                std::uint32_t w = hash3(static_cast<std::uint32_t>(cx), static_cast<std::uint32_t>(cy), 24u);
                bool lit = (w % 5u) == 0u;
                float t = (ly - kTop) / (kBottom - kTop);
                Rgb glass = mixRgb(Rgb{0.30f, 0.42f, 0.55f}, Rgb{0.08f, 0.12f, 0.20f}, t);
                // A diagonal reflection streak across the pane.
                float streak = std::fabs((lx - kLeft) - (ly - kTop) * 0.8f - 30.0f);
                if (streak < 10.0f) glass = glass + Rgb{0.12f, 0.14f, 0.16f} * (1.0f - streak / 10.0f);
                if (lit) glass = mixRgb(Rgb{1.0f, 0.86f, 0.55f}, Rgb{0.85f, 0.62f, 0.30f}, t);
                c = glass;
                h = 0.35f;
                if (frame || mullion) {
                    c = Rgb{0.22f, 0.24f, 0.27f};
                    h = 0.45f;
                }
            }
            // Window reveal: a shadowed sill just around the opening.
            else if (lx > kLeft - 5.0f && lx < kRight + 5.0f && ly > kTop - 5.0f && ly < kBottom + 5.0f) {
                c = c * 0.7f;
                h -= 0.05f;
            }
            layer.height[static_cast<std::size_t>(y * kSize + x)] = h;
            layer.colour[static_cast<std::size_t>(y * kSize + x)] = c;
        }
    }
    return layer;
}

unsigned char toByte(float v) { return static_cast<unsigned char>(std::lround(clamp01(v) * 255.0f)); }

std::vector<unsigned char> colourBytes(const Layer& layer) {
    std::vector<unsigned char> out(static_cast<std::size_t>(kSize) * kSize * 3);
    for (std::size_t i = 0; i < layer.colour.size(); ++i) {
        out[i * 3 + 0] = toByte(layer.colour[i].r);
        out[i * 3 + 1] = toByte(layer.colour[i].g);
        out[i * 3 + 2] = toByte(layer.colour[i].b);
    }
    return out;
}

// Box blur of the height field (wrapping), so edges become small bevels
// rather than one-texel cliffs.
std::vector<float> blurred(const std::vector<float>& height, int radius) {
    std::vector<float> pass(height.size());
    std::vector<float> out(height.size());
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            float sum = 0.0f;
            for (int k = -radius; k <= radius; ++k) sum += height[static_cast<std::size_t>(y * kSize + wrap(x + k, kSize))];
            pass[static_cast<std::size_t>(y * kSize + x)] = sum * scale;
        }
    }
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            float sum = 0.0f;
            for (int k = -radius; k <= radius; ++k) sum += pass[static_cast<std::size_t>(wrap(y + k, kSize) * kSize + x)];
            out[static_cast<std::size_t>(y * kSize + x)] = sum * scale;
        }
    }
    return out;
}

// Tangent-space normal map (RGB = n * 0.5 + 0.5, +y up in the image) from
// the height field, with wrapping differences so it tiles like the colour.
std::vector<unsigned char> normalBytes(const Layer& layer, float strength, int blurRadius) {
    std::vector<unsigned char> out(static_cast<std::size_t>(kSize) * kSize * 3);
    std::vector<float> height = blurred(layer.height, blurRadius);
    auto at = [&](int x, int y) { return height[static_cast<std::size_t>(wrap(y, kSize) * kSize + wrap(x, kSize))]; };
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            float dx = (at(x + 1, y) - at(x - 1, y)) * 0.5f * strength;
            // Image rows run downward; the normal's y runs up.
            float dy = (at(x, y - 1) - at(x, y + 1)) * 0.5f * strength;
            float nx = -dx;
            float ny = -dy;
            float nz = 1.0f;
            float len = std::sqrt(nx * nx + ny * ny + nz * nz);
            std::size_t i = static_cast<std::size_t>(y * kSize + x) * 3;
            out[i + 0] = toByte(nx / len * 0.5f + 0.5f);
            out[i + 1] = toByte(ny / len * 0.5f + 0.5f);
            out[i + 2] = toByte(nz / len * 0.5f + 0.5f);
        }
    }
    return out;
}

bool writeJpeg(const std::string& path, const std::vector<unsigned char>& rgb, int quality) {
    if (stbi_write_jpg(path.c_str(), kSize, kSize, 3, rgb.data(), quality) == 0) {
        std::fprintf(stderr, "make_textures: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("wrote %s\n", path.c_str());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "data";
    Layer metal = makeMetal();
    Layer building = makeBuilding();
    bool ok = writeJpeg(dir + "/metal.jpg", colourBytes(metal), 90) &&
              writeJpeg(dir + "/metal-normal.jpg", normalBytes(metal, 40.0f, 1), 93) &&
              writeJpeg(dir + "/building.jpg", colourBytes(building), 90) &&
              writeJpeg(dir + "/building-normal.jpg", normalBytes(building, 24.0f, 2), 91);
    return ok ? 0 : 1;
}
