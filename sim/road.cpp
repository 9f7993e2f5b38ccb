#include "sim/road.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kLookAhead = 200.0f;
constexpr float kCullBehind = 5.0f;
constexpr std::uint32_t kUpdatesPerGeneration = 50;

// A draw from the road's generator taken modulo n, as a float.
float draw(TrackRandom& random, int n) { return static_cast<float>(random.next() % n); }

void addPlate(PlateList& plates, float x, float y, float z, float width, float height, float length, bool isFloor,
              bool isPillar) {
    plates.push_back(std::make_unique<Plate>(x, y, z, width, height, length, isFloor, isPillar));
}

}  // namespace

void layFirstPlate(PlateList& plates) { addPlate(plates, 0.0f, -0.635f, 0.0f, 3.0f, 0.2f, 20.0f, true, false); }

void cullRoad(float distance, PlateList& plates) {
    // Strictly more than 5 units past a plate's far end: a plate exactly 5
    // units behind is kept.
    std::erase_if(plates, [distance](const std::unique_ptr<Plate>& plate) {
        return distance > plate->position.z + plate->size.z * 0.5f + kCullBehind;
    });
}

void generateRoad(TrackRandom& random, float distance, float& frontier, PlateList& plates) {
    while (distance + kLookAhead > frontier) {
        // The segment's own distance decides its block, not the ship's: the
        // road is then the same whatever the frame rate and wherever the
        // cadence of generations stands.
        const float segmentDistance = std::max(0.0f, frontier - kLookAhead);
        bool gap = random.next() % 8 == 1;
        float zStart = 0.0f;
        float length = 0.0f;
        if (gap) {
            float gapLength = draw(random, 100) / 20.0f + 2.0f;
            zStart = frontier + gapLength;
            length = draw(random, 200) / 10.0f + 5.0f;
            if (random.next() % 3 == 1) {
                float px = draw(random, 601) / 100.0f - 3.0f;
                // Mid-gap, measured from the previous floor plate's end.
                addPlate(plates, px, 0.0f, gapLength * 0.5f + frontier, 1.0f, 6.0f, 1.0f, false, true);
            }
        } else {
            zStart = frontier + 0.0f;
            length = draw(random, 200) / 10.0f + 5.0f;
        }
        frontier = length + zStart;
        float halfLength = length * 0.5f;
        float zCentre = zStart + halfLength;

        float x = draw(random, 601) / 100.0f - 3.0f;
        float width = draw(random, 50) / 15.0f + 2.0f;
        addPlate(plates, x, -0.635f, zCentre, width, 0.2f, length, true, false);

        // Blocks get more frequent with distance: 1 in 5, 4, 3, 2, then always.
        int n = 5 - static_cast<int>(std::floor(segmentDistance / 300.0f));
        if (n >= 2 && random.next() % n != 0) continue;

        float bw = (draw(random, 10) + 1.0f) / 20.0f * width + 0.3f;
        float bl = (draw(random, 7) + 1.0f) / 10.0f * length;
        float bh = draw(random, 80) / 40.0f + 0.5f;
        float tx = draw(random, 100) / 100.0f;
        float bx = tx * (width - bw) + ((x - width * 0.5f) + bw * 0.5f);
        float tz = draw(random, 100) / 100.0f;
        float bz = tz * (length - bl) + ((zCentre - halfLength) + bl * 0.5f);
        addPlate(plates, bx, bh * 0.5f - 0.48f, bz, bw, bh, bl, false, false);
    }
}

Road::Road(std::uint32_t seed, std::uint32_t updates) : updateCount(updates) {
    random.seed(seed);
    layFirstPlate(plates);
    cullAndGenerate();
}

void Road::update(float newDistance) {
    distance = newDistance;
    ++updateCount;
    if (updateCount % kUpdatesPerGeneration == 0) cullAndGenerate();
}

void Road::cullAndGenerate() {
    cullRoad(distance, plates);
    generate();
}

void Road::generate() { generateRoad(random, distance, frontier, plates); }
