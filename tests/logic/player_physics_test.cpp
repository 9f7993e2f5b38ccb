// The ship's physics as a step function: (state, input) in, (state, events)
// out, at the main loop's frame time, on the road a new track lays (or one
// laid by hand).
#include "logic/ship_fixture.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

class ShipPhysics : public testing::Test {
protected:
    void SetUp() override {
        // The road of a new track.
        TrackRandom random;
        random.seed(kTrackSeed);
        float frontier = kRoadStart;
        layFirstPlate(road);
        generateRoad(random, 0.0f, frontier, road);
        player = std::make_unique<Player>();
    }

    // One update with the held input; its events are kept in `events`.
    bool step(float dt) {
        events = player->update(dt, input, road);
        return !runEnded(events);
    }

    // From the reset height down onto the plate below, until the ship has
    // rested (vertical speed 0) for a whole update pair.
    void settle(float dt) {
        for (int i = 0; i < 200; ++i) {
            ASSERT_TRUE(step(dt));
            if (!player->inAir && player->verticalSpeed == 0.0f && i > 2) return;
        }
        FAIL() << "the ship never came to rest";
    }

    PlateList road;
    std::unique_ptr<Player> player;
    InputSnapshot input;
    Events events;
};

class ShipPhysicsAtFrameTime : public ShipPhysics, public testing::WithParamInterface<float> {};

std::string dtName(const testing::TestParamInfo<float>& info) {
    return info.param == kFrameDt ? "Frame" : "Stall";
}

// After a reset the ship drops from 0.01 onto the first plate (top -0.535)
// and rests with its centre at -0.035. Landing leaves a 0.01 gap, so the
// update after a landing only picks up one step of gravity and the one after
// that lands again.
TEST_P(ShipPhysicsAtFrameTime, RestsOnTheFirstPlateAtItsHeight) {
    const float dt = GetParam();
    EXPECT_EQ(player->y, 0.01f);
    EXPECT_TRUE(player->inAir);
    // Two seconds: the ship stays on the first plate (it ends at z = 10).
    const int updates = static_cast<int>(2.0f / dt);
    int landings = 0;
    int firstLanding = -1;
    int landedEvents = 0;
    for (int i = 0; i < updates; ++i) {
        ASSERT_TRUE(step(dt));
        // Touching down is reported once; resting re-landings are not.
        if (countOf(events, EventKind::Landed) == 1) {
            EXPECT_EQ(firstLanding, -1) << i;
            EXPECT_EQ(player->verticalSpeed, 0.0f) << i;
        }
        landedEvents += countOf(events, EventKind::Landed);
        EXPECT_FALSE(player->fallen) << i;
        EXPECT_EQ(countOf(events, EventKind::FellOff), 0) << i;
        if (player->verticalSpeed == 0.0f) {
            EXPECT_NEAR(player->y, kRestY, 1e-6) << i;
            EXPECT_FALSE(player->inAir);
            if (firstLanding < 0) firstLanding = i;
            ++landings;
        } else if (firstLanding >= 0) {
            // Between landings: one step of gravity from rest, not yet moved.
            EXPECT_NEAR(player->verticalSpeed, -80.0 * dt, 1e-4) << i;
            EXPECT_NEAR(player->y, kRestY, 1e-6) << i;
        }
    }
    ASSERT_GE(firstLanding, 0);
    EXPECT_LT(firstLanding, 15);
    EXPECT_EQ(landedEvents, 1);
    // Resting alternates: landed, sunk by a step, landed again.
    EXPECT_EQ(landings, (updates - firstLanding + 1) / 2);
    EXPECT_EQ(player->x, 0.0f);
    EXPECT_GT(player->z, 0.0f);
    EXPECT_LT(player->z, 5.0f);
}

// A jump from rest rises at 20 units/s against 80 units/s² of gravity. The
// step-wise integration moves with the speed from before the gravity step,
// so the peak lies above the continuous 2.5 units: about 2.7 at the frame
// time, more at the stall step.
TEST_P(ShipPhysicsAtFrameTime, JumpFromRestPeaksWhereTheStepsTakeIt) {
    const float dt = GetParam();
    settle(dt);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(player->verticalSpeed, 0.0f);
    const float restY = player->y;

    input = holding({Action::Jump});
    ASSERT_TRUE(step(dt));
    EXPECT_EQ(countOf(events, EventKind::Jumped), 1);
    EXPECT_TRUE(player->inAir);
    EXPECT_NEAR(player->verticalSpeed, 20.0 - 80.0 * dt, 1e-4);
    input = {};

    double peak = player->y;
    int updates = 1;
    while (player->inAir && updates < 200) {
        ASSERT_TRUE(step(dt));
        EXPECT_EQ(countOf(events, EventKind::Jumped), 0) << "released: no second jump";
        peak = std::max(peak, static_cast<double>(player->y));
        ++updates;
    }
    ASSERT_FALSE(player->inAir) << "the ship came down on the plate again";
    EXPECT_NEAR(player->y, kRestY, 1e-6);

    // Rise = dt * (sum of the positive speeds 20 - 80 dt k, k = 0, 1, ...).
    double rise = 0.0;
    for (int k = 0; 20.0 - 80.0 * dt * k > 0.0; ++k) rise += dt * (20.0 - 80.0 * dt * k);
    EXPECT_NEAR(peak - restY, rise, 0.01);
    EXPECT_NEAR(peak - restY, dt == kFrameDt ? 2.7 : 2.84, 0.05);
    // Airborne for about half a second.
    EXPECT_NEAR(updates * dt, 0.5, 0.1);
}

// Holding Jump fires only on an update that starts at vertical speed 0:
// within two updates while resting, never in the air, and again after the
// next landing.
TEST_P(ShipPhysicsAtFrameTime, HeldJumpFiresOnlyAtZeroVerticalSpeed) {
    const float dt = GetParam();
    for (int phase = 0; phase < 2; ++phase) {
        SCOPED_TRACE(phase == 0 ? "held at a landed update" : "held at a sunk update");
        player->reset();
        settle(dt);
        ASSERT_FALSE(HasFatalFailure());
        if (phase == 1) {
            ASSERT_TRUE(step(dt));
            ASSERT_NE(player->verticalSpeed, 0.0f);
        }
        input = holding({Action::Jump});
        int jumps = 0;
        int waited = 0;
        while (jumps == 0 && waited < 5) {
            const bool resting = player->verticalSpeed == 0.0f;
            ASSERT_TRUE(step(dt));
            jumps = countOf(events, EventKind::Jumped);
            EXPECT_EQ(jumps == 1, resting) << "update " << waited;
            ++waited;
        }
        EXPECT_EQ(jumps, 1);
        EXPECT_EQ(waited, phase + 1);

        // Still held through the whole flight: nothing fires until landing.
        int airborne = 0;
        while (player->inAir && airborne < 200) {
            const float before = player->verticalSpeed;
            ASSERT_TRUE(step(dt));
            if (!player->inAir) break;
            EXPECT_EQ(countOf(events, EventKind::Jumped), 0) << "in the air, update " << airborne;
            EXPECT_TRUE(player->verticalSpeed < before || player->verticalSpeed == -14.0f) << airborne;
            ++airborne;
        }
        ASSERT_FALSE(player->inAir);
        EXPECT_GT(airborne, 10);
        // Landed with speed 0: the next update jumps again.
        ASSERT_TRUE(step(dt));
        EXPECT_EQ(countOf(events, EventKind::Jumped), 1);
        input = {};
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, ShipPhysicsAtFrameTime, testing::Values(kFrameDt, kSlowDt), dtName);

struct SideCase {
    const char* name;
    Action action;
    PlateShape wall;
    float expectedX;  // the wall's centre -/+ (half its width + 0.5 + 0.03)
    int steering;
};

void PrintTo(const SideCase& c, std::ostream* os) { *os << c.name; }

const SideCase kSideCases[] = {
    {"RightIntoABlock", Action::Right, blockPlate(2.5f, 0.0f, 1.0f, 300.0f), 2.5f - (0.5f + 0.5f + 0.03f), 2},
    {"LeftIntoABlock", Action::Left, blockPlate(-3.0f, 0.0f, 2.0f, 300.0f), -3.0f + (1.0f + 0.5f + 0.03f), 1},
    {"RightIntoARaisedFloor",
     Action::Right,
     {{1.75f, 0.0f, 0.0f}, {0.5f, 1.0f, 300.0f}, true, false},
     1.75f - (0.25f + 0.5f + 0.03f),
     2},
};

class ShipPhysicsSide : public ShipPhysics, public testing::WithParamInterface<SideCase> {};

TEST_P(ShipPhysicsSide, SteeringIntoASideFaceStopsAtTheOffset) {
    const SideCase& c = GetParam();
    layRoad(road, {floorPlate(0.0f, 0.0f, 12.0f, 300.0f), c.wall});
    settle(kFrameDt);
    ASSERT_FALSE(HasFatalFailure());

    input = holding({c.action});
    std::vector<float> xs;
    for (int i = 0; i < 90; ++i) {
        ASSERT_TRUE(step(kFrameDt));
        EXPECT_EQ(player->steering, c.steering);
        xs.push_back(player->x);
    }
    EXPECT_NEAR(player->x, c.expectedX, 1e-5);
    // It got there by steering at 5 units/s and then stayed put.
    EXPECT_NEAR(std::abs(xs[0]), 5.0 * kFrameDt, 1e-5);
    for (std::size_t i = 60; i < xs.size(); ++i) EXPECT_EQ(xs[i], xs.back()) << i;
    EXPECT_FALSE(player->crashed);
    EXPECT_FALSE(player->fallen);
    EXPECT_EQ(countOf(events, EventKind::Crashed), 0);

    // Letting go: no lateral move, no side contact, the ship stays there.
    input = {};
    ASSERT_TRUE(step(kFrameDt));
    EXPECT_EQ(player->steering, 0);
    EXPECT_EQ(player->x, xs.back());
}

INSTANTIATE_TEST_SUITE_P(Walls, ShipPhysicsSide, testing::ValuesIn(kSideCases),
                         [](const testing::TestParamInfo<SideCase>& info) { return std::string(info.param.name); });

struct FrontCase {
    const char* name;
    PlateShape obstacle;
    float nearFace;
};

void PrintTo(const FrontCase& c, std::ostream* os) { *os << c.name; }

const FrontCase kFrontCases[] = {
    {"Block", blockPlate(0.3f, 20.0f, 2.0f, 4.0f), 18.0f},
    {"Pillar", pillarPlate(-0.2f, 20.0f), 19.5f},
};

class ShipPhysicsFront : public ShipPhysics, public testing::WithParamInterface<FrontCase> {};

// Running into the near face of a block or a pillar crashes: the crash
// sound, z 0.01 in front of the face, the ship frozen, and the run ends in
// the 30th update after the crash.
TEST_P(ShipPhysicsFront, NearFaceCrashesAndTheRunEnds30UpdatesLater) {
    const FrontCase& c = GetParam();
    layRoad(road, {floorPlate(0.0f, 0.0f, 4.0f, 300.0f), c.obstacle});
    settle(kFrameDt);
    ASSERT_FALSE(HasFatalFailure());
    player->speed = 20.0f;

    int updates = 0;
    while (!player->crashed && updates < 300) {
        ASSERT_TRUE(step(kFrameDt));
        if (!player->crashed) {
            EXPECT_EQ(countOf(events, EventKind::Crashed), 0);
        }
        ++updates;
    }
    ASSERT_TRUE(player->crashed);
    EXPECT_EQ(events, Events{{EventKind::Crashed}});
    EXPECT_NEAR(player->z, c.nearFace - 0.75f - 0.01f, 1e-5);
    const glm::vec3 frozen{player->x, player->y, player->z};

    input = holding({Action::Left, Action::Jump});  // a crashed ship takes no input
    for (int i = 1; i < 30; ++i) {
        ASSERT_TRUE(step(kFrameDt)) << "update " << i << " after the crash";
        EXPECT_EQ(glm::vec3(player->x, player->y, player->z), frozen) << i;
        EXPECT_EQ(events, Events{}) << i;
    }
    EXPECT_FALSE(step(kFrameDt)) << "the 30th update after the crash ends the run";
    EXPECT_EQ(events, (Events{{EventKind::RunEnded, static_cast<std::int64_t>(frozen.z)}}))
        << "the crash was reported when it happened";
    EXPECT_EQ(glm::vec3(player->x, player->y, player->z), frozen);
    EXPECT_EQ(player->score(), static_cast<std::int64_t>(frozen.z));
}

INSTANTIATE_TEST_SUITE_P(Obstacles, ShipPhysicsFront, testing::ValuesIn(kFrontCases),
                         [](const testing::TestParamInfo<FrontCase>& info) { return std::string(info.param.name); });

// Over a gap the ship sinks below the next floor plate's top; running into
// that plate's near face neither stops nor crashes it, and the next update
// lifts it onto the plate.
TEST_F(ShipPhysics, FloorPlateNearFaceNeitherStopsNorCrashes) {
    const float nearFace = 12.0f;
    layRoad(road, {floorPlate(0.0f, 0.0f, 3.0f, 20.0f), floorPlate(0.0f, nearFace + 20.0f, 3.0f, 40.0f)});
    settle(kFrameDt);
    ASSERT_FALSE(HasFatalFailure());
    player->z = 8.0f;
    player->speed = 20.0f;

    const float top = -0.535f;
    bool sunkAtTheFace = false;
    float lastZ = player->z;
    for (int i = 0; i < 60; ++i) {
        const float frontBefore = player->z + 0.75f;
        const float bottomBefore = player->y - 0.49f;
        ASSERT_TRUE(step(kFrameDt));
        EXPECT_GT(player->z, lastZ) << "the face must not hold the ship back, update " << i;
        lastZ = player->z;
        if (frontBefore < nearFace && player->z + 0.75f >= nearFace && bottomBefore < top) sunkAtTheFace = true;
        EXPECT_EQ(countOf(events, EventKind::Crashed), 0) << i;
    }
    ASSERT_TRUE(sunkAtTheFace) << "the fixture must bring the ship to the face below the plate's top";
    EXPECT_FALSE(player->crashed);
    EXPECT_FALSE(player->fallen);
    EXPECT_FALSE(player->inAir);
    EXPECT_GT(player->z, nearFace + 5.0f);
    EXPECT_NEAR(player->y, kRestY, 1e-6);
}

// Off the end of the road: the fall-off sound once, when the centre drops
// below -0.2; below -10 the crash sound and the end of the run in the same
// update.
TEST_P(ShipPhysicsAtFrameTime, FallingOffPlaysOnceAndBelowMinus10EndsTheRun) {
    const float dt = GetParam();
    layRoad(road, {floorPlate(0.0f, 0.0f, 3.0f, 20.0f)});
    settle(dt);
    ASSERT_FALSE(HasFatalFailure());
    player->z = 7.0f;
    player->speed = 10.0f;

    int fallOffs = 0;
    int updates = 0;
    bool ended = false;
    while (!ended && updates < 600) {
        const double yBefore = player->y;
        ended = !step(dt);
        ++updates;
        fallOffs += countOf(events, EventKind::FellOff);
        if (countOf(events, EventKind::FellOff) == 1) {
            EXPECT_GE(yBefore, -0.2);
            EXPECT_LT(player->y, -0.2);
            EXPECT_TRUE(player->fallen);
        }
        if (!ended) {
            EXPECT_GE(player->y, -10.0f) << "the run goes on only above -10";
            EXPECT_EQ(countOf(events, EventKind::Lost), 0);
        }
    }
    ASSERT_TRUE(ended);
    EXPECT_LT(player->y, -10.0f);
    EXPECT_EQ(events, (Events{{EventKind::Lost}, {EventKind::RunEnded, player->score()}}))
        << "the fall out of the world ends the run in the same update";
    EXPECT_EQ(fallOffs, 1);
    EXPECT_TRUE(player->fallen);
    EXPECT_FALSE(player->crashed);
    EXPECT_EQ(player->verticalSpeed, -14.0f) << "terminal speed";
}

// An empty road: gravity applies every update, from the first.
TEST_F(ShipPhysics, WithoutPlatesTheShipSimplyFalls) {
    layRoad(road, {});
    float speed = 0.0f;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(step(kFrameDt));
        speed = static_cast<float>(std::max(-14.0, static_cast<double>(speed) - kFrameDt * 80.0));
        EXPECT_EQ(player->verticalSpeed, speed) << i;
    }
    EXPECT_LT(player->y, 0.01f);
}


// One step as a table: a state and an input in, a state and events out.
struct StepCase {
    const char* name;
    Player before;
    InputSnapshot input;
    std::vector<PlateShape> road;
    Player after;  // every field compared
    Events events;
};

void PrintTo(const StepCase& c, std::ostream* os) { *os << c.name; }

Player shipAt(float x, float y, float z, float speed, float verticalSpeed, bool inAir) {
    Player ship(77);
    ship.x = x;
    ship.y = y;
    ship.z = z;
    ship.speed = speed;
    ship.verticalSpeed = verticalSpeed;
    ship.inAir = inAir;
    return ship;
}

Player with(Player ship, void (*change)(Player&)) {
    change(ship);
    return ship;
}

constexpr float kDt = 0.02f;  // 1/50 s: the products below stay short
const PlateShape kLongFloor = floorPlate(0.0f, 0.0f, 3.0f, 100.0f);

const StepCase kStepCases[] = {
    {"HeldJumpAtRestJumps",
     shipAt(0.0f, -0.035f, 0.0f, 10.0f, 0.0f, false),
     holding({Action::Jump}),
     {kLongFloor},
     with(shipAt(0.0f, -0.035f + kDt * 20.0f, kDt * 10.08f, 10.08f, 20.0f - kDt * 80.0f, true),
          [](Player& p) { p.time = kDt; }),
     {{EventKind::Jumped}}},
    {"LaterOfLeftAndRightSteers",
     shipAt(0.0f, 3.0f, 0.0f, 0.0f, 0.0f, true),
     holding({Action::Left, Action::Right}),
     {},
     with(shipAt(5.0f * kDt, 3.0f, 2.0f * kDt * kDt, 2.0f * kDt, -80.0f * kDt, true),
          [](Player& p) {
              p.time = kDt;
              p.steering = 2;
          }),
     {}},
    {"RightThenLeftSteersLeft",
     shipAt(0.0f, 3.0f, 0.0f, 0.0f, 0.0f, true),
     holding({Action::Right, Action::Left}),
     {},
     with(shipAt(-5.0f * kDt, 3.0f, 2.0f * kDt * kDt, 2.0f * kDt, -80.0f * kDt, true),
          [](Player& p) {
              p.time = kDt;
              p.steering = 1;
          }),
     {}},
    {"FallingOntoATopLands",
     shipAt(0.0f, 0.0f, 0.0f, 0.0f, -10.0f, true),
     {},
     {kLongFloor},
     with(shipAt(0.0f, -0.035f, 2.0f * kDt * kDt, 2.0f * kDt, 0.0f, false), [](Player& p) { p.time = kDt; }),
     {{EventKind::Landed}}},
    {"IntoABlockCrashes",
     shipAt(0.0f, -0.035f, 10.0f, 40.0f, 0.0f, false),
     {},
     {kLongFloor, blockPlate(0.0f, 12.0f, 2.0f, 1.0f)},
     with(shipAt(0.0f, -0.035f, 12.0f - 0.5f - 0.75f - 0.01f, 40.0f, -80.0f * kDt, false),
          [](Player& p) {
              p.time = kDt;
              p.crashed = true;
          }),
     {{EventKind::Crashed}}},
    {"CrashedShipIsFrozenAndTakesNoInput",
     with(shipAt(1.0f, 2.0f, 30.5f, 40.0f, 3.0f, true), [](Player& p) {
         p.crashed = true;
         p.crashFrames = 5;
     }),
     holding({Action::Left, Action::Jump}),
     {},
     with(shipAt(1.0f, 2.0f, 30.5f, 40.0f, 3.0f, true),
          [](Player& p) {
              p.crashed = true;
              p.crashFrames = 4;
              p.time = kDt;
          }),
     {}},
    {"LastCrashedStepEndsTheRunWithTheScore",
     with(shipAt(1.0f, 2.0f, 30.5f, 40.0f, 3.0f, true), [](Player& p) {
         p.crashed = true;
         p.crashFrames = 1;
     }),
     {},
     {},
     with(shipAt(1.0f, 2.0f, 30.5f, 40.0f, 3.0f, true),
          [](Player& p) {
              p.crashed = true;
              p.crashFrames = 0;
              p.time = kDt;
          }),
     {{EventKind::RunEnded, 30}}},
    {"DroppingBelowTheRoadFallsOff",
     shipAt(0.0f, -0.1f, 50.0f, 40.0f, -10.0f, true),
     {},
     {},
     with(shipAt(0.0f, -0.1f - 10.0f * kDt, 50.0f + 40.0f * kDt, 40.0f, -10.0f - 80.0f * kDt, true),
          [](Player& p) {
              p.time = kDt;
              p.fallen = true;
          }),
     {{EventKind::FellOff}}},
    {"BelowMinus10TheRunEnds",
     with(shipAt(0.0f, -9.9f, 99.5f, 0.0f, -14.0f, true), [](Player& p) { p.fallen = true; }),
     {},
     {},
     with(shipAt(0.0f, -9.9f - 14.0f * kDt, 99.5f + 2.0f * kDt * kDt, 2.0f * kDt, -14.0f, true),
          [](Player& p) {
              p.time = kDt;
              p.fallen = true;
          }),
     {{EventKind::Lost}, {EventKind::RunEnded, 99}}},
};

class ShipStep : public testing::TestWithParam<StepCase> {};

TEST_P(ShipStep, StateAndInputGiveStateAndEvents) {
    const StepCase& c = GetParam();
    PlateList road;
    for (const PlateShape& s : c.road) {
        road.push_back(std::make_unique<Plate>(s.position.x, s.position.y, s.position.z, s.size.x, s.size.y, s.size.z,
                                               s.isFloor, s.isPillar));
    }
    Player ship = c.before;
    const Events events = ship.update(kDt, c.input, road);
    EXPECT_EQ(events, c.events);
    const Player& e = c.after;
    EXPECT_NEAR(ship.x, e.x, 1e-5f);
    EXPECT_NEAR(ship.y, e.y, 1e-5f);
    EXPECT_NEAR(ship.z, e.z, 1e-5f);
    EXPECT_NEAR(ship.speed, e.speed, 1e-5f);
    EXPECT_NEAR(ship.verticalSpeed, e.verticalSpeed, 1e-5f);
    EXPECT_EQ(ship.time, e.time);
    EXPECT_EQ(ship.inAir, e.inAir);
    EXPECT_EQ(ship.fallen, e.fallen);
    EXPECT_EQ(ship.crashed, e.crashed);
    EXPECT_EQ(ship.crashFrames, e.crashFrames);
    EXPECT_EQ(ship.steering, e.steering);
    EXPECT_EQ(ship.best, 77) << "the step never touches the stored best";
}

INSTANTIATE_TEST_SUITE_P(Steps, ShipStep, testing::ValuesIn(kStepCases),
                         [](const testing::TestParamInfo<StepCase>& info) { return std::string(info.param.name); });

}  // namespace
