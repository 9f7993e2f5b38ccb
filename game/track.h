#pragma once
// The endless road: seeded generation of plates ahead of the ship, culling of
// those left behind, and the translucent nebula sheet drawn under the road.

#include <cstdint>
#include <vector>

#include "orvo3d/opengl.h"

class Plate;
class Shader;

// The road's random source: the classic C runtime generator (state * 214013
// + 2531011, output bits 16..30), written out so that every platform builds
// the same road from the same seed.
class TrackRandom {
public:
    void seed(std::uint32_t value) { state = value; }
    int next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFFu);
    }

    std::uint32_t state = 1;
};

// The one generator the track draws from; nothing else uses it.
TrackRandom& trackRandom();
// Called right before every new Track so that every run meets the same road.
void seedTrackRandom(std::uint32_t seed);

constexpr std::uint32_t kTrackSeed = 108348733u;

class Track {
public:
    // Builds the sheet and its program, lays the fixed first plate and
    // generates the road to 200 units ahead. Throws Orvo3D::LoggedException.
    Track();
    ~Track();
    Track(const Track&) = delete;
    Track& operator=(const Track&) = delete;

    // Once per game step with the player's distance; every 50th call over the
    // whole process culls and extends the road.
    void update(float newDistance);
    // Both passes: the nebula sheet, then every plate.
    void render();

    void cullAndGenerate();
    void generate();

    GLuint vbo = 0;
    GLuint vao = 0;
    Shader* shader = nullptr;
    float frontier = 10.0f;
    float distance = 0.0f;
    std::vector<Plate*> plates;

    // Calls of update since the program started; never reset.
    static std::uint32_t updateCount;
};
