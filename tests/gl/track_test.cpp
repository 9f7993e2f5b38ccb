#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "game/gameloop.h"
#include "game/plate.h"
#include "game/track.h"
#include "logic/road_values.h"
#include "orvo3d/log.h"
#include "road_fixture.h"
#include "sim/road.h"
#include "support/sandbox.h"

namespace {

class GLTrack : public RoadGlTest {};

std::unique_ptr<Road> newSeededRoad() { return std::make_unique<Road>(); }

GLint boundVertexArray() {
    GLint bound = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &bound);
    return bound;
}

GLint currentProgram() {
    GLint program = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    return program;
}

}  // namespace

// A new road of the game lays exactly the road of the road functions,
// drawing from its own generator seeded with the game's seed.
TEST(GameRoad, LaysTheRoadOfTheRoadFunctions) {
    auto road = newSeededRoad();

    TrackRandom random;
    random.seed(kTrackSeed);
    float frontier = kRoadStart;
    PlateList plates;
    layFirstPlate(plates);
    generateRoad(random, 0.0f, frontier, plates);
    EXPECT_EQ(road->frontier, frontier);
    EXPECT_EQ(road->random.state, random.state);
    std::vector<PlateValues> expected = snapshot(plates);
    std::vector<PlateValues> laid = snapshot(road->plates);
    ASSERT_EQ(laid.size(), expected.size());
    for (std::size_t i = 0; i < laid.size(); ++i) {
        EXPECT_EQ(laid[i].kind, expected[i].kind) << i;
        EXPECT_EQ(laid[i].position, expected[i].position) << i;
        EXPECT_EQ(laid[i].size, expected[i].size) << i;
    }

    // Its generation goes on from there the same way.
    road->distance = 700.0f;
    road->cullAndGenerate();
    cullRoad(700.0f, plates);
    generateRoad(random, 700.0f, frontier, plates);
    EXPECT_EQ(road->frontier, frontier);
    ASSERT_EQ(road->plates.size(), plates.size());
    for (std::size_t i = 0; i < plates.size(); ++i) EXPECT_EQ(road->plates[i]->position, plates[i]->position) << i;
    EXPECT_EQ(readLog(), "");
}

TEST(GameRoad, CullAndGenerateRunsOnEvery50thUpdateOfTheRoad) {
    auto road = newSeededRoad();
    float distance = 300.0f;
    int generations = 0;
    for (int i = 0; i < 120; ++i) {
        float frontierBefore = road->frontier;
        distance += 400.0f;  // far enough that every generation must extend the road
        road->update(distance);
        EXPECT_EQ(road->distance, distance);
        bool due = road->updateCount % 50 == 0;
        generations += due;
        if (due) {
            EXPECT_GE(road->frontier, distance + 200.0f) << "update " << road->updateCount;
        } else {
            EXPECT_EQ(road->frontier, frontierBefore) << "update " << road->updateCount;
        }
    }
    EXPECT_GE(generations, 2);

    // A road started from the last one's count does not restart it: its
    // first generation comes when the count next reaches a multiple of 50.
    std::uint32_t count = road->updateCount;
    road = std::make_unique<Road>(kTrackSeed, count);
    EXPECT_EQ(road->updateCount, count);
    std::uint32_t untilNext = 50 - count % 50;
    for (std::uint32_t i = 1; i <= untilNext; ++i) {
        float frontierBefore = road->frontier;
        road->update(1000.0f);
        if (i < untilNext) EXPECT_EQ(road->frontier, frontierBefore);
        else EXPECT_GE(road->frontier, 1200.0f);
    }
}

// Each road seeds and draws from a generator of its own: draws from one road
// leave the next road as every road begins.
TEST(GameRoad, EachRoadDrawsFromItsOwnGenerator) {
    auto first = newSeededRoad();
    for (int i = 0; i < 7; ++i) first->random.next();
    const std::uint32_t firstState = first->random.state;
    auto second = newSeededRoad();
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

// The look makes no plate renderer of its own: the road's plates are drawn
// with the one it is handed, and an empty road leaves only its sheet drawn.
TEST_F(GLTrack, DrawsThePlatesWithTheRendererItIsHanded) {
    PlateRenderer& shared = ctx.plates.get();
    PlateRenderer handed;
    ASSERT_NE(shared.vao.get(), handed.vao.get());
    TrackView view(handed);
    Road road;
    ASSERT_FALSE(road.plates.empty());

    const RenderContext pass = setUpMainPass(ctx.target(), 0);
    view.render(road, pass);
    EXPECT_EQ(boundVertexArray(), static_cast<GLint>(handed.vao.get()));
    EXPECT_EQ(currentProgram(), static_cast<GLint>(handed.shader->program.get()));

    road.plates.clear();
    view.render(road, pass);
    EXPECT_EQ(boundVertexArray(), static_cast<GLint>(view.vao.get()));
    EXPECT_EQ(currentProgram(), static_cast<GLint>(view.shader->program.get()));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(readLog(), "");
}

TEST_F(GLTrack, FailedBufferCheckThrowsAndTheNextTrackWorks) {
    PlateRenderer& plates = ctx.plates.get();
    glEnable(0xFFFF);  // leaves GL_INVALID_ENUM pending
    EXPECT_THROW(TrackView{plates}, Orvo3D::LoggedException);
    EXPECT_EQ(countOf(readLog(), "Failed to init track: VBO generation"), 1);

    TrackView view(plates);
    Road road;
    EXPECT_EQ(road.plates.size(), 18u);
    view.render(road, setUpMainPass(ctx.target(), 0));
    EXPECT_EQ(boundVertexArray(), static_cast<GLint>(plates.vao.get()));
    EXPECT_EQ(countOf(readLog(), "Failed"), 1);
}
