// Writes data/ship.glb, the player's ship: a small twin-engine racer with
// swept wings, nose toward -z, about 1 unit wide and 1.5 long, sized to the
// ship's collision box (its origin is the box centre; the road is 0.5 below).
//
// Layout the game relies on: 8 nodes, node i carrying mesh i; 12 primitives;
// materials "Material" (hull panels) and "Material.001" (canopy glass) with
// base colour textures, "Thruster", "Fire", "NearFire" and "Material.002"
// (accent) with colours only; both engines at the rear carry a "Thruster",
// a "Fire" and a "NearFire" primitive. Every accessor has its own buffer view
// starting at its first byte, indices are unsigned 16-bit. The two JPEG
// textures are drawn here procedurally. Output is byte-for-byte repeatable.
//
// Usage: make_ship [output path]   (default data/ship.glb)

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <glm/glm.hpp>
#include <nlohmann/json.hpp>
#include <stb_image_write.h>

using nlohmann::json;

namespace {

constexpr float kPi = 3.14159265358979f;

// ---- Deterministic noise -------------------------------------------------

std::uint32_t hash3(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    std::uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return h;
}

float hashUnit(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    return static_cast<float>(hash3(x, y, seed) & 0xFFFFFFu) / static_cast<float>(0xFFFFFF);
}

// Smooth value noise with the given cell size in pixels, wrapping every
// `period` cells so the texture tiles.
float valueNoise(float x, float y, float cell, int period, std::uint32_t seed) {
    float fx = x / cell;
    float fy = y / cell;
    int ix = static_cast<int>(std::floor(fx));
    int iy = static_cast<int>(std::floor(fy));
    float tx = fx - static_cast<float>(ix);
    float ty = fy - static_cast<float>(iy);
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto at = [&](int cx, int cy) {
        auto wx = static_cast<std::uint32_t>(((cx % period) + period) % period);
        auto wy = static_cast<std::uint32_t>(((cy % period) + period) % period);
        return hashUnit(wx, wy, seed);
    };
    float a = at(ix, iy), b = at(ix + 1, iy), c = at(ix, iy + 1), d = at(ix + 1, iy + 1);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

// A small linear congruential generator for layout decisions.
struct Random {
    std::uint32_t state;
    std::uint32_t next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    float unit() { return static_cast<float>(next() & 0xFFFF) / 65535.0f; }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
};

// ---- Images ----------------------------------------------------------------

struct Image {
    int width;
    int height;
    std::vector<float> rgb;  // 0..255 per channel

    Image(int w, int h) : width(w), height(h), rgb(static_cast<std::size_t>(w) * h * 3, 0.0f) {}
    float* at(int x, int y) {
        x = ((x % width) + width) % width;
        y = ((y % height) + height) % height;
        return &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
    }
    void add(int x, int y, float v) {
        float* p = at(x, y);
        p[0] += v;
        p[1] += v;
        p[2] += v;
    }
    void set(int x, int y, glm::vec3 c) {
        float* p = at(x, y);
        p[0] = c.r;
        p[1] = c.g;
        p[2] = c.b;
    }
    void blend(int x, int y, glm::vec3 c, float a) {
        float* p = at(x, y);
        for (int k = 0; k < 3; ++k) p[k] += (c[k] - p[k]) * a;
    }
};

std::vector<std::uint8_t> encodeJpeg(const Image& image, int quality) {
    std::vector<std::uint8_t> pixels(image.rgb.size());
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(std::clamp(std::lround(image.rgb[i]), 0L, 255L));
    }
    std::vector<std::uint8_t> out;
    stbi_write_jpg_to_func(
        [](void* context, void* data, int size) {
            auto* bytes = static_cast<std::vector<std::uint8_t>*>(context);
            auto* begin = static_cast<std::uint8_t*>(data);
            bytes->insert(bytes->end(), begin, begin + size);
        },
        &out, image.width, image.height, 3, pixels.data(), quality);
    return out;
}

struct Panel {
    int x0, y0, x1, y1;
};

// The largest vent drawn into the hull texture, in texture coordinates of its
// slatted area: the tail plate is mapped onto it.
struct {
    float u0 = 0.0f, v0 = 0.0f, u1 = 1.0f, v1 = 1.0f;
    int area = 0;
} tailVent;

void splitPanels(Random& random, Panel p, int depth, std::vector<Panel>& out) {
    int w = p.x1 - p.x0;
    int h = p.y1 - p.y0;
    bool tooSmall = w < 70 && h < 70;
    if (depth >= 6 || tooSmall || (depth >= 3 && random.below(5) == 0)) {
        out.push_back(p);
        return;
    }
    bool vertical = w > h || (w == h && random.below(2) == 0);
    float f = 0.3f + 0.4f * random.unit();
    if (vertical) {
        int cut = p.x0 + static_cast<int>(static_cast<float>(w) * f);
        cut -= cut % 4;
        splitPanels(random, {p.x0, p.y0, cut, p.y1}, depth + 1, out);
        splitPanels(random, {cut, p.y0, p.x1, p.y1}, depth + 1, out);
    } else {
        int cut = p.y0 + static_cast<int>(static_cast<float>(h) * f);
        cut -= cut % 4;
        splitPanels(random, {p.x0, p.y0, p.x1, cut}, depth + 1, out);
        splitPanels(random, {p.x0, cut, p.x1, p.y1}, depth + 1, out);
    }
}

// Hull plating: light metal panels of varied shade with recessed seams,
// rivet rows, a few vents and darker hatches, fine grain and soft grime.
// Tiles in both directions.
Image hullTexture() {
    const int size = 1024;
    Image image(size, size);
    Random random{20240611u};
    std::vector<Panel> panels;
    splitPanels(random, {0, 0, size, size}, 0, panels);

    const glm::vec3 metal{178.0f, 174.0f, 162.0f};
    const glm::vec3 hatch{140.0f, 142.0f, 148.0f};
    for (const Panel& p : panels) {
        float shade = (random.unit() - 0.5f) * 22.0f;
        int kind = random.below(12);  // 0: vent (small panels only), 1: dark hatch, else plain
        if (kind == 0 && (p.x1 - p.x0) * (p.y1 - p.y0) > 150 * 150) kind = 2;
        if (kind == 0 && (p.x1 - p.x0) * (p.y1 - p.y0) > tailVent.area) {
            const float inset = 12.0f;
            tailVent = {(static_cast<float>(p.x0) + inset) / size, (static_cast<float>(p.y0) + inset) / size,
                        (static_cast<float>(p.x1) - inset) / size, (static_cast<float>(p.y1) - inset) / size,
                        (p.x1 - p.x0) * (p.y1 - p.y0)};
        }
        glm::vec3 base = (kind == 1 ? hatch : metal) + glm::vec3(shade);
        for (int y = p.y0; y < p.y1; ++y) {
            for (int x = p.x0; x < p.x1; ++x) {
                glm::vec3 c = base;
                // brushed streaks along the panel
                c += glm::vec3((valueNoise(static_cast<float>(x) * 0.15f, static_cast<float>(y) * 4.0f, 6.0f,
                                           1 << 20, 7u) - 0.5f) * 10.0f);
                if (kind == 0) {
                    int inset = 10;
                    if (x > p.x0 + inset && x < p.x1 - inset && y > p.y0 + inset && y < p.y1 - inset) {
                        int band = (y - p.y0 - inset) % 9;
                        if (band < 4) c = glm::vec3(84.0f, 86.0f, 92.0f) + glm::vec3(static_cast<float>(band) * 6.0f);
                        else if (band == 4) c += glm::vec3(30.0f);
                    }
                }
                image.set(x, y, c);
            }
        }
        // Recessed seam: a dark line with a lit edge below and right of it.
        for (int x = p.x0; x < p.x1; ++x) {
            image.set(x, p.y0, glm::vec3(70.0f, 72.0f, 78.0f));
            image.set(x, p.y0 + 1, glm::vec3(96.0f, 98.0f, 104.0f));
            image.add(x, p.y0 + 2, 28.0f);
            image.add(x, p.y1 - 1, -18.0f);
        }
        for (int y = p.y0; y < p.y1; ++y) {
            image.set(p.x0, y, glm::vec3(70.0f, 72.0f, 78.0f));
            image.set(p.x0 + 1, y, glm::vec3(96.0f, 98.0f, 104.0f));
            image.add(p.x0 + 2, y, 28.0f);
            image.add(p.x1 - 1, y, -18.0f);
        }
        // Rivet rows just inside the long edges of larger panels.
        if ((p.x1 - p.x0) * (p.y1 - p.y0) > 90 * 90) {
            auto rivet = [&](int cx, int cy) {
                image.add(cx, cy, -38.0f);
                image.add(cx + 1, cy, -30.0f);
                image.add(cx, cy + 1, -30.0f);
                image.add(cx + 1, cy + 1, -20.0f);
                image.add(cx - 1, cy - 1, 30.0f);
            };
            for (int x = p.x0 + 8; x < p.x1 - 6; x += 14) {
                rivet(x, p.y0 + 7);
                rivet(x, p.y1 - 7);
            }
        }
    }
    // Grime and grain over everything.
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            auto fx = static_cast<float>(x);
            auto fy = static_cast<float>(y);
            float grime = valueNoise(fx, fy, 128.0f, 8, 11u) * 0.6f + valueNoise(fx, fy, 32.0f, 32, 12u) * 0.4f;
            image.add(x, y, (grime - 0.5f) * 14.0f + (hashUnit(static_cast<std::uint32_t>(x),
                                                               static_cast<std::uint32_t>(y), 13u) - 0.5f) * 12.0f);
        }
    }
    return image;
}

// Canopy glass: u runs across the canopy (left to right), v from its front to
// its back. Deep blue at the sides, lighter along the crown, two reflections
// and the frame.
Image canopyTexture() {
    const int width = 512;
    const int height = 512;
    Image image(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            float u = (static_cast<float>(x) + 0.5f) / width;
            float v = (static_cast<float>(y) + 0.5f) / height;
            float crown = std::pow(std::sin(kPi * u), 1.5f);
            glm::vec3 c = glm::mix(glm::vec3(14.0f, 22.0f, 44.0f), glm::vec3(52.0f, 104.0f, 150.0f), crown);
            c = glm::mix(c, glm::vec3(8.0f, 12.0f, 24.0f), 0.35f * v);
            // reflections: a broad soft band and a thin sharp one
            float d1 = std::fabs(u * 0.9f + v * 0.7f - 0.62f);
            float d2 = std::fabs(u * 0.9f + v * 0.7f - 0.86f);
            c += glm::vec3(150.0f, 170.0f, 185.0f) * std::exp(-d1 * d1 / 0.0030f);
            c += glm::vec3(200.0f, 215.0f, 225.0f) * std::exp(-d2 * d2 / 0.00012f);
            c += glm::vec3((valueNoise(static_cast<float>(x), static_cast<float>(y), 24.0f, 1 << 20, 21u) - 0.5f) *
                           10.0f);
            // frame: base rails at the sides and two bows
            bool rail = u < 0.035f || u > 0.965f;
            bool bow = std::fabs(v - 0.42f) < 0.018f || std::fabs(v - 0.78f) < 0.018f;
            if (rail || bow) c = glm::vec3(58.0f, 60.0f, 66.0f) + glm::vec3(crown * 30.0f);
            image.set(x, y, c);
        }
    }
    return image;
}

// ---- Geometry ----------------------------------------------------------------

struct Mesh {
    std::vector<glm::vec3> positions;
    std::vector<glm::vec3> normals;
    std::vector<glm::vec2> uvs;
    std::vector<std::uint16_t> indices;

    std::uint16_t vertex(glm::vec3 p, glm::vec3 n, glm::vec2 uv) {
        positions.push_back(p);
        normals.push_back(glm::normalize(n));
        uvs.push_back(uv);
        if (positions.size() > 65535) {
            std::fprintf(stderr, "make_ship: mesh too large for 16-bit indices\n");
            std::exit(1);
        }
        return static_cast<std::uint16_t>(positions.size() - 1);
    }

    // A triangle of shared, smooth vertices, wound counter-clockwise as seen
    // from the side its vertex normals face.
    void triangle(std::uint16_t a, std::uint16_t b, std::uint16_t c) {
        glm::vec3 face = glm::cross(positions[b] - positions[a], positions[c] - positions[a]);
        if (glm::dot(face, normals[a] + normals[b] + normals[c]) < 0) std::swap(b, c);
        indices.insert(indices.end(), {a, b, c});
    }

    // A flat-shaded polygon (convex, corners in order), facing away from
    // `inside`.
    void flat(const std::vector<glm::vec3>& corners, const std::vector<glm::vec2>& uv, glm::vec3 inside) {
        glm::vec3 centre(0.0f);
        for (glm::vec3 p : corners) centre += p;
        centre /= static_cast<float>(corners.size());
        glm::vec3 n(0.0f);
        for (std::size_t i = 0; i < corners.size(); ++i) {
            n += glm::cross(corners[i] - centre, corners[(i + 1) % corners.size()] - centre);
        }
        if (glm::dot(n, centre - inside) < 0) n = -n;
        std::vector<std::uint16_t> ids;
        for (std::size_t i = 0; i < corners.size(); ++i) ids.push_back(vertex(corners[i], n, uv[i]));
        for (std::size_t i = 1; i + 1 < ids.size(); ++i) triangle(ids[0], ids[i], ids[i + 1]);
    }
};

// A surface of revolution about an axis parallel to z through (cx, cy). The
// profile runs front to back as (z, radius); each profile segment is a ring
// of quads with normals smooth around the axis and constant along the
// segment (so lips and rims stay crisp). A zero radius closes the ring.
void lathe(Mesh& mesh, glm::vec2 axis, const std::vector<glm::vec2>& profile, int sectors) {
    float total = 0.0f;
    for (std::size_t i = 1; i < profile.size(); ++i) total += glm::length(profile[i] - profile[i - 1]);
    float run = 0.0f;
    for (std::size_t i = 0; i + 1 < profile.size(); ++i) {
        glm::vec2 a = profile[i];
        glm::vec2 b = profile[i + 1];
        float dz = b.x - a.x;
        float dr = b.y - a.y;
        float length = std::sqrt(dz * dz + dr * dr);
        float axial = -dr / length;
        float radial = dz / length;
        float va = run / total;
        run += length;
        float vb = run / total;
        std::vector<std::uint16_t> ringA, ringB;
        for (int s = 0; s <= sectors; ++s) {
            float angle = 2.0f * kPi * static_cast<float>(s % sectors) / static_cast<float>(sectors);
            glm::vec3 dir(std::cos(angle), std::sin(angle), 0.0f);
            glm::vec3 n = dir * radial + glm::vec3(0.0f, 0.0f, axial);
            float u = static_cast<float>(s) / static_cast<float>(sectors);
            ringA.push_back(mesh.vertex(glm::vec3(axis, a.x) + dir * a.y, n, {u, va}));
            ringB.push_back(mesh.vertex(glm::vec3(axis, b.x) + dir * b.y, n, {u, vb}));
        }
        for (int s = 0; s < sectors; ++s) {
            if (a.y > 0.0f) mesh.triangle(ringA[s], ringA[s + 1], ringB[s + 1]);
            if (b.y > 0.0f) mesh.triangle(ringA[s], ringB[s + 1], ringB[s]);
        }
    }
}

// The fuselage: flat-shaded octagonal sections lofted from the pointed nose
// to a flat tail. Each station: z, centre height, half-width, height above
// and depth below the centre.
struct Station {
    float z, cy, w, top, bottom;
};

const Station kStations[] = {
    {-0.64f, -0.295f, 0.060f, 0.030f, 0.026f},
    {-0.46f, -0.280f, 0.105f, 0.058f, 0.048f},
    {-0.22f, -0.265f, 0.150f, 0.086f, 0.068f},
    {0.06f, -0.260f, 0.172f, 0.096f, 0.078f},
    {0.34f, -0.260f, 0.172f, 0.088f, 0.078f},
    {0.56f, -0.262f, 0.150f, 0.066f, 0.066f},
};
const glm::vec3 kNoseTip{0.0f, -0.305f, -0.80f};

std::vector<glm::vec3> section(const Station& s) {
    const float px[8] = {0.0f, 0.58f, 1.0f, 0.78f, 0.0f, -0.78f, -1.0f, -0.58f};
    const float py[8] = {1.0f, 0.86f, 0.12f, -0.62f, -1.0f, -0.62f, 0.12f, 0.86f};
    std::vector<glm::vec3> ring;
    for (int k = 0; k < 8; ++k) {
        float h = py[k] > 0 ? s.top : s.bottom;
        ring.emplace_back(px[k] * s.w, s.cy + py[k] * h, s.z);
    }
    return ring;
}

Mesh hullMesh() {
    Mesh mesh;
    const float z0 = kNoseTip.z;
    const float z1 = kStations[std::size(kStations) - 1].z;
    auto v = [&](float z) { return (z - z0) / (z1 - z0) * 1.6f; };
    auto u = [](int k) { return static_cast<float>(k) / 8.0f * 1.2f; };
    // nose cone
    std::vector<glm::vec3> first = section(kStations[0]);
    for (int k = 0; k < 8; ++k) {
        glm::vec3 inside(0.0f, kStations[0].cy, kStations[0].z);
        mesh.flat({kNoseTip, first[k], first[(k + 1) % 8]},
                  {{u(k) + 0.075f, v(z0)}, {u(k), v(first[k].z)}, {u(k + 1), v(first[k].z)}}, inside);
    }
    for (std::size_t i = 0; i + 1 < std::size(kStations); ++i) {
        std::vector<glm::vec3> a = section(kStations[i]);
        std::vector<glm::vec3> b = section(kStations[i + 1]);
        for (int k = 0; k < 8; ++k) {
            int k1 = (k + 1) % 8;
            glm::vec3 inside(0.0f, (kStations[i].cy + kStations[i + 1].cy) * 0.5f,
                             (kStations[i].z + kStations[i + 1].z) * 0.5f);
            mesh.flat({a[k], a[k1], b[k1], b[k]},
                      {{u(k), v(a[k].z)}, {u(k + 1), v(a[k].z)}, {u(k + 1), v(b[k].z)}, {u(k), v(b[k].z)}},
                      inside);
        }
    }
    // flat tail plate, showing the texture's largest vent
    const Station& last = kStations[std::size(kStations) - 1];
    std::vector<glm::vec3> tail = section(last);
    std::vector<glm::vec2> tailUv;
    for (glm::vec3 p : tail) {
        float across = (p.x + last.w) / (2.0f * last.w);
        float down = (last.cy + last.top - p.y) / (last.top + last.bottom);
        tailUv.emplace_back(tailVent.u0 + (tailVent.u1 - tailVent.u0) * across,
                            tailVent.v0 + (tailVent.v1 - tailVent.v0) * down);
    }
    mesh.flat(tail, tailUv, glm::vec3(0.0f, last.cy, last.z - 0.2f));
    return mesh;
}

// Hull top height along the centre line, where the canopy sits.
float hullTopAt(float z) {
    for (std::size_t i = 0; i + 1 < std::size(kStations); ++i) {
        const Station& a = kStations[i];
        const Station& b = kStations[i + 1];
        if (z >= a.z && z <= b.z) {
            float t = (z - a.z) / (b.z - a.z);
            return (a.cy + a.top * 0.86f) * (1 - t) + (b.cy + b.top * 0.86f) * t;
        }
    }
    return kStations[0].cy;
}

// A smooth teardrop bubble on the hull's back.
Mesh canopyMesh() {
    Mesh mesh;
    struct Ring {
        float z, w, h;
    };
    const Ring rings[] = {{-0.50f, 0.010f, 0.006f}, {-0.44f, 0.048f, 0.034f}, {-0.34f, 0.074f, 0.062f},
                          {-0.20f, 0.086f, 0.076f}, {-0.06f, 0.082f, 0.070f}, {0.06f, 0.064f, 0.046f},
                          {0.14f, 0.030f, 0.014f}};
    const int arc = 12;
    const int count = static_cast<int>(std::size(rings));
    std::vector<std::vector<std::uint16_t>> ids(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const Ring& r = rings[i];
        float base = hullTopAt(r.z) - 0.012f;
        // slope of the ring sizes along z, for normals that lean forward or back
        const Ring& prev = rings[std::max(i - 1, 0)];
        const Ring& next = rings[std::min(i + 1, count - 1)];
        float dwdz = (next.w - prev.w) / (next.z - prev.z);
        for (int k = 0; k <= arc; ++k) {
            float a = kPi * static_cast<float>(k) / arc;
            float cx = std::cos(a);
            float sy = std::sin(a);
            glm::vec3 p(r.w * cx, base + r.h * sy, r.z);
            glm::vec3 n(cx / std::max(r.w, 1e-3f), sy / std::max(r.h, 1e-3f), 0.0f);
            n = glm::normalize(n);
            n.z = -dwdz * 0.8f;
            float u = 1.0f - static_cast<float>(k) / arc;
            float v = (r.z - rings[0].z) / (rings[count - 1].z - rings[0].z);
            ids[static_cast<std::size_t>(i)].push_back(mesh.vertex(p, n, {u, v}));
        }
    }
    for (int i = 0; i + 1 < count; ++i) {
        for (int k = 0; k < arc; ++k) {
            const auto& a = ids[static_cast<std::size_t>(i)];
            const auto& b = ids[static_cast<std::size_t>(i + 1)];
            mesh.triangle(a[k], a[k + 1], b[k + 1]);
            mesh.triangle(a[k], b[k + 1], b[k]);
        }
    }
    return mesh;
}

// A thin plate from an outline (top view, x and z) at two heights: top at
// yTop(x), bottom at yTop(x) - thickness(x).
template <class Top, class Thickness>
void plate(Mesh& mesh, const std::vector<glm::vec2>& outline, Top yTop, Thickness thickness, float uvScale) {
    std::vector<glm::vec3> top, bottom;
    std::vector<glm::vec2> uv;
    glm::vec3 centre(0.0f);
    for (glm::vec2 p : outline) {
        top.emplace_back(p.x, yTop(p.x), p.y);
        bottom.emplace_back(p.x, yTop(p.x) - thickness(p.x), p.y);
        uv.emplace_back(p.x * uvScale, p.y * uvScale);
        centre += glm::vec3(p.x, yTop(p.x) - thickness(p.x) * 0.5f, p.y);
    }
    centre /= static_cast<float>(outline.size());
    mesh.flat(top, uv, centre - glm::vec3(0.0f, 1.0f, 0.0f));
    mesh.flat(bottom, uv, centre + glm::vec3(0.0f, 1.0f, 0.0f));
    for (std::size_t i = 0; i < outline.size(); ++i) {
        std::size_t j = (i + 1) % outline.size();
        mesh.flat({top[i], top[j], bottom[j], bottom[i]},
                  {uv[i], uv[j], uv[j] + glm::vec2(0.0f, 0.02f), uv[i] + glm::vec2(0.0f, 0.02f)}, centre);
    }
}

float wingTop(float x) { return -0.262f - (std::fabs(x) - 0.13f) * 0.06f; }
float wingThickness(float x) { return 0.034f - (std::fabs(x) - 0.13f) * 0.05f; }

Mesh wingMesh(float side) {
    Mesh mesh;
    std::vector<glm::vec2> outline = {
        {0.13f * side, -0.20f}, {0.50f * side, 0.30f}, {0.50f * side, 0.47f}, {0.13f * side, 0.46f}};
    plate(mesh, outline, wingTop, wingThickness, 1.4f);
    return mesh;
}

const float kEngineX = 0.215f;
const float kEngineY = -0.262f;

// Nacelle with a flared nozzle; its inside is open down to a back plate.
void thrusterGeometry(Mesh& mesh, float side) {
    lathe(mesh, {kEngineX * side, kEngineY},
          {{-0.06f, 0.0f},
           {-0.03f, 0.040f},
           {0.05f, 0.066f},
           {0.50f, 0.070f},
           {0.57f, 0.078f},
           {0.60f, 0.078f},
           {0.60f, 0.064f},
           {0.565f, 0.060f},
           {0.565f, 0.0f}},
          18);
}

// The hot core filling the nozzle's mouth.
void nearFireGeometry(Mesh& mesh, float side) {
    lathe(mesh, {kEngineX * side, kEngineY},
          {{0.57f, 0.0f}, {0.575f, 0.058f}, {0.63f, 0.064f}, {0.69f, 0.050f}, {0.73f, 0.028f}, {0.745f, 0.0f}}, 16);
}

// The flame trailing from the core.
void fireGeometry(Mesh& mesh, float side) {
    lathe(mesh, {kEngineX * side, kEngineY},
          {{0.62f, 0.0f}, {0.63f, 0.046f}, {0.72f, 0.054f}, {0.84f, 0.040f}, {0.96f, 0.020f}, {1.06f, 0.0f}}, 16);
}

// Canted tail fins on top of both nacelles.
Mesh finMesh() {
    Mesh mesh;
    for (float side : {-1.0f, 1.0f}) {
        float baseY = kEngineY + 0.066f;
        float cant = 0.30f * side;  // radians, tips leaning outward
        auto place = [&](float up, float z, float across) {
            // up along the fin, across its thickness, rotated about z
            float x = kEngineX * side + std::sin(cant) * up + std::cos(cant) * across;
            float y = baseY + std::cos(cant) * up - std::sin(cant) * across;
            return glm::vec3(x, y, z);
        };
        const glm::vec2 outline[4] = {{0.0f, 0.24f}, {0.15f, 0.47f}, {0.15f, 0.59f}, {0.0f, 0.57f}};
        const float half = 0.008f;
        std::vector<glm::vec3> left, right;
        std::vector<glm::vec2> uv;
        for (glm::vec2 p : outline) {
            left.push_back(place(p.x, p.y, -half));
            right.push_back(place(p.x, p.y, half));
            uv.emplace_back(p.y, p.x);
        }
        glm::vec3 inside = place(0.06f, 0.45f, 0.0f);
        mesh.flat(left, uv, inside + (right[0] - left[0]));
        mesh.flat(right, uv, inside - (right[0] - left[0]));
        for (int i = 0; i < 4; ++i) {
            int j = (i + 1) % 4;
            mesh.flat({left[i], left[j], right[j], right[i]}, {uv[i], uv[j], uv[j], uv[i]}, inside);
        }
    }
    return mesh;
}

// Accent trim: end plates at the wing tips and a stripe across each wing.
Mesh trimMesh() {
    Mesh mesh;
    for (float side : {-1.0f, 1.0f}) {
        // end plate, standing on the wing tip, swept back at the top
        float x = 0.50f * side;
        std::vector<glm::vec2> profile = {{0.27f, -0.305f}, {0.50f, -0.305f}, {0.53f, -0.22f}, {0.40f, -0.22f}};
        std::vector<glm::vec3> outer, inner;
        std::vector<glm::vec2> uv;
        for (glm::vec2 p : profile) {
            outer.emplace_back(x + 0.009f * side, p.y, p.x);
            inner.emplace_back(x - 0.009f * side, p.y, p.x);
            uv.emplace_back(p.x, p.y);
        }
        glm::vec3 inside(x, -0.255f, 0.42f);
        mesh.flat(outer, uv, inside - glm::vec3(side, 0.0f, 0.0f));
        mesh.flat(inner, uv, inside + glm::vec3(side, 0.0f, 0.0f));
        for (int i = 0; i < 4; ++i) {
            int j = (i + 1) % 4;
            mesh.flat({outer[i], outer[j], inner[j], inner[i]}, {uv[i], uv[j], uv[j], uv[i]}, inside);
        }
        // stripe just above the wing's top surface
        auto stripeTop = [](float px) { return wingTop(px) + 0.004f; };
        auto stripeThickness = [](float) { return 0.006f; };
        float a = 0.34f, b = 0.40f;
        auto leading = [](float px) { return -0.20f + (std::fabs(px) - 0.13f) / 0.37f * 0.50f + 0.012f; };
        std::vector<glm::vec2> stripe = {{a * side, leading(a)}, {b * side, leading(b)}, {b * side, 0.455f},
                                         {a * side, 0.455f}};
        plate(mesh, stripe, stripeTop, stripeThickness, 1.0f);
    }
    return mesh;
}

// ---- GLB assembly ------------------------------------------------------------

struct Writer {
    std::vector<std::uint8_t> bin;
    json bufferViews = json::array();
    json accessors = json::array();

    int view(const void* data, std::size_t size, int target) {
        while (bin.size() % 4 != 0) bin.push_back(0);
        json v = {{"buffer", 0}, {"byteOffset", bin.size()}, {"byteLength", size}};
        if (target != 0) v["target"] = target;
        auto* bytes = static_cast<const std::uint8_t*>(data);
        bin.insert(bin.end(), bytes, bytes + size);
        bufferViews.push_back(v);
        return static_cast<int>(bufferViews.size() - 1);
    }

    int accessor(json a) {
        accessors.push_back(std::move(a));
        return static_cast<int>(accessors.size() - 1);
    }

    // One primitive: every accessor in a buffer view of its own.
    json primitive(const Mesh& mesh, int material, glm::vec3 pivot) {
        std::vector<glm::vec3> local;
        glm::vec3 lo(1e9f), hi(-1e9f);
        for (glm::vec3 p : mesh.positions) {
            local.push_back(p - pivot);
            lo = glm::min(lo, local.back());
            hi = glm::max(hi, local.back());
        }
        const int count = static_cast<int>(mesh.positions.size());
        int indices = accessor({{"bufferView", view(mesh.indices.data(), mesh.indices.size() * 2, 34963)},
                                {"componentType", 5123},
                                {"count", mesh.indices.size()},
                                {"type", "SCALAR"}});
        int position = accessor({{"bufferView", view(local.data(), local.size() * 12, 34962)},
                                 {"componentType", 5126},
                                 {"count", count},
                                 {"type", "VEC3"},
                                 {"min", {lo.x, lo.y, lo.z}},
                                 {"max", {hi.x, hi.y, hi.z}}});
        int normal = accessor({{"bufferView", view(mesh.normals.data(), mesh.normals.size() * 12, 34962)},
                               {"componentType", 5126},
                               {"count", count},
                               {"type", "VEC3"}});
        int texcoord = accessor({{"bufferView", view(mesh.uvs.data(), mesh.uvs.size() * 8, 34962)},
                                 {"componentType", 5126},
                                 {"count", count},
                                 {"type", "VEC2"}});
        return {{"attributes", {{"POSITION", position}, {"NORMAL", normal}, {"TEXCOORD_0", texcoord}}},
                {"indices", indices},
                {"material", material}};
    }
};

json colourMaterial(const char* name, glm::vec3 colour, float metallic, float roughness) {
    return {{"name", name},
            {"pbrMetallicRoughness",
             {{"baseColorFactor", {colour.r, colour.g, colour.b, 1.0f}},
              {"metallicFactor", metallic},
              {"roughnessFactor", roughness}}}};
}

json texturedMaterial(const char* name, int texture, float metallic, float roughness) {
    return {{"name", name},
            {"pbrMetallicRoughness",
             {{"baseColorTexture", {{"index", texture}}},
              {"metallicFactor", metallic},
              {"roughnessFactor", roughness}}}};
}

}  // namespace

int main(int argc, char** argv) {
    const char* output = argc > 1 ? argv[1] : "data/ship.glb";

    enum { Hull, Canopy, Thruster, Fire, NearFire, Accent };
    json materials = json::array({
        texturedMaterial("Material", 0, 0.6f, 0.4f),
        texturedMaterial("Material.001", 1, 0.1f, 0.05f),
        // Untextured colours are applied twice by the lit shader, so they
        // are lighter here than they look in the game.
        colourMaterial("Thruster", {0.60f, 0.62f, 0.68f}, 0.9f, 0.35f),
        colourMaterial("Fire", {1.0f, 0.62f, 0.30f}, 0.0f, 1.0f),
        colourMaterial("NearFire", {0.80f, 0.90f, 1.0f}, 0.0f, 1.0f),
        colourMaterial("Material.002", {1.0f, 0.47f, 0.14f}, 0.3f, 0.5f),
    });

    // The hull texture first: the tail plate is mapped onto one of its vents.
    const Image hullImage = hullTexture();

    Writer writer;
    json meshes = json::array();
    json nodes = json::array();
    auto addNode = [&](const char* name, glm::vec3 pivot, json primitives) {
        meshes.push_back({{"name", name}, {"primitives", std::move(primitives)}});
        nodes.push_back({{"name", name},
                         {"mesh", meshes.size() - 1},
                         {"translation", {pivot.x, pivot.y, pivot.z}},
                         {"rotation", {0.0f, 0.0f, 0.0f, 1.0f}},
                         {"scale", {1.0f, 1.0f, 1.0f}}});
    };

    const glm::vec3 hullPivot(0.0f, -0.26f, 0.0f);
    addNode("Hull", hullPivot, {writer.primitive(hullMesh(), Hull, hullPivot)});
    const glm::vec3 canopyPivot(0.0f, -0.17f, -0.18f);
    addNode("Canopy", canopyPivot, {writer.primitive(canopyMesh(), Canopy, canopyPivot)});
    const glm::vec3 leftWingPivot(-0.30f, -0.27f, 0.20f);
    addNode("WingLeft", leftWingPivot, {writer.primitive(wingMesh(-1.0f), Hull, leftWingPivot)});
    const glm::vec3 rightWingPivot(0.30f, -0.27f, 0.20f);
    addNode("WingRight", rightWingPivot, {writer.primitive(wingMesh(1.0f), Hull, rightWingPivot)});
    for (float side : {-1.0f, 1.0f}) {
        Mesh thruster, fire, nearFire;
        thrusterGeometry(thruster, side);
        fireGeometry(fire, side);
        nearFireGeometry(nearFire, side);
        const glm::vec3 pivot(kEngineX * side, kEngineY, 0.30f);
        addNode(side < 0 ? "EngineLeft" : "EngineRight", pivot,
                {writer.primitive(thruster, Thruster, pivot), writer.primitive(fire, Fire, pivot),
                 writer.primitive(nearFire, NearFire, pivot)});
    }
    const glm::vec3 finPivot(0.0f, -0.15f, 0.45f);
    addNode("Fins", finPivot, {writer.primitive(finMesh(), Accent, finPivot)});
    const glm::vec3 trimPivot(0.0f, -0.26f, 0.40f);
    addNode("Trim", trimPivot, {writer.primitive(trimMesh(), Accent, trimPivot)});

    std::vector<std::uint8_t> hullJpeg = encodeJpeg(hullImage, 88);
    std::vector<std::uint8_t> canopyJpeg = encodeJpeg(canopyTexture(), 90);
    int hullView = writer.view(hullJpeg.data(), hullJpeg.size(), 0);
    int canopyView = writer.view(canopyJpeg.data(), canopyJpeg.size(), 0);
    while (writer.bin.size() % 4 != 0) writer.bin.push_back(0);

    json scene = json::array();
    for (std::size_t i = 0; i < nodes.size(); ++i) scene.push_back(i);
    json gltf = {
        {"asset", {{"version", "2.0"}, {"generator", "Vimbrot make_ship"}}},
        {"scene", 0},
        {"scenes", {{{"name", "Ship"}, {"nodes", scene}}}},
        {"nodes", nodes},
        {"meshes", meshes},
        {"materials", materials},
        {"samplers", {{{"magFilter", 9729}, {"minFilter", 9987}, {"wrapS", 10497}, {"wrapT", 10497}}}},
        {"textures", {{{"sampler", 0}, {"source", 0}}, {{"sampler", 0}, {"source", 1}}}},
        {"images",
         {{{"name", "Hull"}, {"mimeType", "image/jpeg"}, {"bufferView", hullView}},
          {{"name", "Canopy"}, {"mimeType", "image/jpeg"}, {"bufferView", canopyView}}}},
        {"accessors", writer.accessors},
        {"bufferViews", writer.bufferViews},
        {"buffers", {{{"byteLength", writer.bin.size()}}}},
    };
    std::string text = gltf.dump();
    while (text.size() % 4 != 0) text.push_back(' ');

    auto word = [](std::vector<std::uint8_t>& out, std::uint32_t value) {
        for (int k = 0; k < 4; ++k) out.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
    };
    std::vector<std::uint8_t> glb;
    const auto total = static_cast<std::uint32_t>(12 + 8 + text.size() + 8 + writer.bin.size());
    word(glb, 0x46546C67u);
    word(glb, 2);
    word(glb, total);
    word(glb, static_cast<std::uint32_t>(text.size()));
    word(glb, 0x4E4F534Au);
    glb.insert(glb.end(), text.begin(), text.end());
    word(glb, static_cast<std::uint32_t>(writer.bin.size()));
    word(glb, 0x004E4942u);
    glb.insert(glb.end(), writer.bin.begin(), writer.bin.end());

    std::FILE* file = std::fopen(output, "wb");
    if (file == nullptr || std::fwrite(glb.data(), 1, glb.size(), file) != glb.size() || std::fclose(file) != 0) {
        std::fprintf(stderr, "make_ship: cannot write %s\n", output);
        return 1;
    }
    std::printf("make_ship: %s, %zu bytes (hull image %zu, canopy image %zu)\n", output, glb.size(), hullJpeg.size(),
                canopyJpeg.size());
    return 0;
}
