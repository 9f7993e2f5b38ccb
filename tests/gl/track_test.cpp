#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "game/plate.h"
#include "game/track.h"
#include "logic/road_values.h"
#include "orvo3d/log.h"
#include "road_fixture.h"
#include "support/sandbox.h"

namespace {

class GLTrack : public RoadGlTest {};

std::unique_ptr<Track> newSeededTrack() { return std::make_unique<Track>(); }

}  // namespace

// A new Track builds the plates' renderer and lays exactly the road of the
// road functions, drawing from its own generator seeded with the game's seed.
TEST_F(GLTrack, LaysTheRoadOfTheRoadFunctions) {
    ASSERT_EQ(ctx.plates.made(), nullptr);
    auto track = newSeededTrack();
    EXPECT_NE(ctx.plates.made(), nullptr);

    TrackRandom random;
    random.seed(kTrackSeed);
    float frontier = kRoadStart;
    PlateList plates;
    layFirstPlate(plates);
    generateRoad(random, 0.0f, frontier, plates);
    EXPECT_EQ(track->frontier, frontier);
    EXPECT_EQ(track->random.state, random.state);
    std::vector<PlateValues> expected = snapshot(plates);
    std::vector<PlateValues> laid = snapshot(track->plates);
    ASSERT_EQ(laid.size(), expected.size());
    for (std::size_t i = 0; i < laid.size(); ++i) {
        EXPECT_EQ(laid[i].kind, expected[i].kind) << i;
        EXPECT_EQ(laid[i].position, expected[i].position) << i;
        EXPECT_EQ(laid[i].size, expected[i].size) << i;
    }

    // Its generation goes on from there the same way.
    track->distance = 700.0f;
    track->cullAndGenerate();
    cullRoad(700.0f, plates);
    generateRoad(random, 700.0f, frontier, plates);
    EXPECT_EQ(track->frontier, frontier);
    ASSERT_EQ(track->plates.size(), plates.size());
    for (std::size_t i = 0; i < plates.size(); ++i) EXPECT_EQ(track->plates[i]->position, plates[i]->position) << i;
    EXPECT_EQ(readLog(), "");
}

TEST_F(GLTrack, CullAndGenerateRunsOnEvery50thUpdateOfTheRoad) {
    auto track = newSeededTrack();
    float distance = 300.0f;
    int generations = 0;
    for (int i = 0; i < 120; ++i) {
        float frontierBefore = track->frontier;
        distance += 400.0f;  // far enough that every generation must extend the road
        track->update(distance);
        EXPECT_EQ(track->distance, distance);
        bool due = track->updateCount % 50 == 0;
        generations += due;
        if (due) {
            EXPECT_GE(track->frontier, distance + 200.0f) << "update " << track->updateCount;
        } else {
            EXPECT_EQ(track->frontier, frontierBefore) << "update " << track->updateCount;
        }
    }
    EXPECT_GE(generations, 2);

    // A track started from the last one's count does not restart it: its
    // first generation comes when the count next reaches a multiple of 50.
    std::uint32_t count = track->updateCount;
    track = std::make_unique<Track>(kTrackSeed, count);
    EXPECT_EQ(track->updateCount, count);
    std::uint32_t untilNext = 50 - count % 50;
    for (std::uint32_t i = 1; i <= untilNext; ++i) {
        float frontierBefore = track->frontier;
        track->update(1000.0f);
        if (i < untilNext) EXPECT_EQ(track->frontier, frontierBefore);
        else EXPECT_GE(track->frontier, 1200.0f);
    }
}

// Each road seeds and draws from a generator of its own: draws from one road
// leave the next road as every road begins.
TEST_F(GLTrack, EachTrackDrawsFromItsOwnGenerator) {
    auto first = newSeededTrack();
    for (int i = 0; i < 7; ++i) first->random.next();
    const std::uint32_t firstState = first->random.state;
    auto second = newSeededTrack();
    EXPECT_EQ(first->random.state, firstState);

    TrackRandom fresh;
    fresh.seed(kTrackSeed);
    PlateList expected;
    float frontier = kRoadStart;
    layFirstPlate(expected);
    generateRoad(fresh, 0.0f, frontier, expected);
    EXPECT_EQ(second->random.state, fresh.state);
    EXPECT_EQ(snapshot(second->plates), snapshot(expected));
    EXPECT_EQ(second->frontier, frontier);
}

TEST_F(GLTrack, FailedBufferCheckThrowsAndTheNextTrackWorks) {
    glEnable(0xFFFF);  // leaves GL_INVALID_ENUM pending
    EXPECT_THROW(Track(), Orvo3D::LoggedException);
    EXPECT_EQ(countOf(readLog(), "Failed to init track: VBO generation"), 1);

    auto track = newSeededTrack();
    EXPECT_EQ(track->plates.size(), 18u);
}
