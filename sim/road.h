#pragma once
// The endless road without its look: seeded generation of plates ahead of
// the ship and culling of those left behind.

#include <cstdint>
#include <memory>
#include <vector>

#include "sim/plate.h"

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

// Every road starts its generator from this seed, so every run meets the
// same road.
constexpr std::uint32_t kTrackSeed = 108348733u;

// The road's plates in creation order, owned.
using PlateList = std::vector<std::unique_ptr<Plate>>;

// The road's steps as plain functions, so that they can be tested and
// measured on their own.

// Where the fixed first plate ends: the frontier of a new road.
constexpr float kRoadStart = 10.0f;
// Appends the fixed start: 20 units of road centred under the ship.
void layFirstPlate(PlateList& plates);
// Deletes every plate whose far end lies more than 5 units behind distance;
// the rest keep their order.
void cullRoad(float distance, PlateList& plates);
// Appends segments drawn from random until the road reaches 200 units beyond
// distance; frontier is where the last floor plate ends. A segment's block
// follows its own place on the road (200 units short of where it begins),
// so the road does not depend on when generation runs.
void generateRoad(TrackRandom& random, float distance, float& frontier, PlateList& plates);

// The road of one run: its own generator, seeded when the road is made, and
// the plates it lays. The Track gives it its look.
class Road {
public:
    // Seeds the generator, lays the fixed first plate and generates the road
    // to 200 units ahead. `updates` is where the update count starts: the
    // game carries it from one run's road to the next, so generation keeps
    // its cycle of 50 across runs.
    explicit Road(std::uint32_t seed = kTrackSeed, std::uint32_t updates = 0);

    // Once per game step with the player's distance; every 50th update
    // (counted from the road's start count) culls and extends the road.
    void update(float newDistance);

    void cullAndGenerate();
    void generate();

    // The road's own random source; nothing else draws from it.
    TrackRandom random;
    float frontier = kRoadStart;
    float distance = 0.0f;
    PlateList plates;

    // Calls of update, counted on from the start count the road was given.
    std::uint32_t updateCount = 0;
};
