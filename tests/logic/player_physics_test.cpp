// The ship's physics driven the way the game drives it: keys through the
// key callback, Player::update at the main loop's frame time, on the road a
// new track lays (or one laid by hand), with the effects counted as the
// mixer starts them. No GL: the ship flies without a model.
#include "logic/ship_fixture.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "game/highscore.h"
#include "game/player.h"
#include "game/track.h"
#include "orvo3d/staticmodel.h"
#include "platform/userstore.h"

namespace {

const char* const kJump = "data/jump.wav";
const char* const kCrash = "data/crash.wav";
const char* const kFallOff = "data/falloff.wav";

class ShipPhysics : public ShipTest {
protected:
    void SetUp() override {
        ShipTest::SetUp();
        if (HasFatalFailure()) return;
        // The road of a new track.
        TrackRandom random;
        random.seed(kTrackSeed);
        float frontier = kRoadStart;
        layFirstPlate(road);
        generateRoad(random, 0.0f, frontier, road);
        player = std::make_unique<Player>(nullptr);
    }

    // One update with the effects it starts counted afresh.
    bool step(float dt) {
        sounds.clear();
        return player->update(dt, road);
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
    for (int i = 0; i < updates; ++i) {
        ASSERT_TRUE(step(dt));
        EXPECT_FALSE(player->fallen) << i;
        EXPECT_EQ(sounds.playing(kFallOff), 0) << i;
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

    pressKey(GLFW_KEY_SPACE);
    ASSERT_TRUE(step(dt));
    EXPECT_EQ(sounds.playing(kJump), 1);
    EXPECT_TRUE(player->inAir);
    EXPECT_NEAR(player->verticalSpeed, 20.0 - 80.0 * dt, 1e-4);
    releaseKey(GLFW_KEY_SPACE);

    double peak = player->y;
    int updates = 1;
    while (player->inAir && updates < 200) {
        ASSERT_TRUE(step(dt));
        EXPECT_EQ(sounds.playing(kJump), 0) << "released: no second jump";
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
        resetInput();
        settle(dt);
        ASSERT_FALSE(HasFatalFailure());
        if (phase == 1) {
            ASSERT_TRUE(step(dt));
            ASSERT_NE(player->verticalSpeed, 0.0f);
        }
        pressKey(GLFW_KEY_J);
        int jumps = 0;
        int waited = 0;
        while (jumps == 0 && waited < 5) {
            const bool resting = player->verticalSpeed == 0.0f;
            ASSERT_TRUE(step(dt));
            jumps = sounds.playing(kJump);
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
            EXPECT_EQ(sounds.playing(kJump), 0) << "in the air, update " << airborne;
            EXPECT_TRUE(player->verticalSpeed < before || player->verticalSpeed == -14.0f) << airborne;
            ++airborne;
        }
        ASSERT_FALSE(player->inAir);
        EXPECT_GT(airborne, 10);
        // Landed with speed 0: the next update jumps again.
        ASSERT_TRUE(step(dt));
        EXPECT_EQ(sounds.playing(kJump), 1);
        releaseKey(GLFW_KEY_J);
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, ShipPhysicsAtFrameTime, testing::Values(kFrameDt, kSlowDt), dtName);

struct SideCase {
    const char* name;
    int key;
    PlateShape wall;
    float expectedX;  // the wall's centre -/+ (half its width + 0.5 + 0.03)
    int steering;
};

void PrintTo(const SideCase& c, std::ostream* os) { *os << c.name; }

const SideCase kSideCases[] = {
    {"RightIntoABlock", GLFW_KEY_RIGHT, blockPlate(2.5f, 0.0f, 1.0f, 300.0f), 2.5f - (0.5f + 0.5f + 0.03f), 2},
    {"LeftIntoABlock", GLFW_KEY_A, blockPlate(-3.0f, 0.0f, 2.0f, 300.0f), -3.0f + (1.0f + 0.5f + 0.03f), 1},
    {"RightIntoARaisedFloor",
     GLFW_KEY_D,
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

    pressKey(c.key);
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
    EXPECT_EQ(sounds.playing(kCrash), 0);

    // Letting go: no lateral move, no side contact, the ship stays there.
    releaseKey(c.key);
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
            EXPECT_EQ(sounds.playing(kCrash), 0);
        }
        ++updates;
    }
    ASSERT_TRUE(player->crashed);
    EXPECT_EQ(sounds.playing(kCrash), 1);
    EXPECT_NEAR(player->z, c.nearFace - 0.75f - 0.01f, 1e-5);
    const glm::vec3 frozen{player->x, player->y, player->z};

    pressKey(GLFW_KEY_LEFT);  // a crashed ship takes no input
    pressKey(GLFW_KEY_SPACE);
    for (int i = 1; i < 30; ++i) {
        ASSERT_TRUE(step(kFrameDt)) << "update " << i << " after the crash";
        EXPECT_EQ(glm::vec3(player->x, player->y, player->z), frozen) << i;
        EXPECT_EQ(sounds.playing(kCrash) + sounds.playing(kJump), 0) << i;
    }
    EXPECT_FALSE(step(kFrameDt)) << "the 30th update after the crash ends the run";
    EXPECT_EQ(sounds.playing(kCrash), 0) << "the crash was heard when it happened";
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
        EXPECT_EQ(sounds.playing(kCrash), 0) << i;
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
        fallOffs += sounds.playing(kFallOff);
        if (sounds.playing(kFallOff) == 1) {
            EXPECT_GE(yBefore, -0.2);
            EXPECT_LT(player->y, -0.2);
            EXPECT_TRUE(player->fallen);
        }
        if (!ended) {
            EXPECT_GE(player->y, -10.0f) << "the run goes on only above -10";
            EXPECT_EQ(sounds.playing(kCrash), 0);
        }
    }
    ASSERT_TRUE(ended);
    EXPECT_LT(player->y, -10.0f);
    EXPECT_EQ(sounds.playing(kCrash), 1) << "the crash sounds in the update that ends the run";
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

// The stored best as the original store wrote it, padded so that a fresh
// save of the same number gives different bytes.
void storePaddedBest(const char* digits) {
    std::string plain = std::string("VIMBROT_DATA_STRUCT_FOR_HIGHSCORE::::") + digits;
    char* hex = HighScore::encryptToHex(plain.c_str());
    ASSERT_NE(hex, nullptr);
    ASSERT_EQ(UserStore::createKey("", "Orvo"), UserStore::Status::Ok);
    ASSERT_EQ(UserStore::createKey("Orvo", "Vimbrot"), UserStore::Status::Ok);
    ASSERT_EQ(UserStore::setValue("Orvo/Vimbrot", "Data", hex, std::strlen(hex) + 1), UserStore::Status::Ok);
    std::free(hex);
}

std::string storedBytes() { return readFile(std::filesystem::path(UserStore::rootFolder()) / "Orvo/Vimbrot/data"); }

struct SaveCase {
    const char* name;
    float z;
    std::int64_t expectedBest;
    bool saves;
};

void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }

const SaveCase kSaveCases[] = {
    {"Lower", 511.9f, 512, false},
    {"Equal", 512.5f, 512, false},
    {"Greater", 513.25f, 513, true},
};

class ShipPhysicsSave : public ShipPhysics, public testing::WithParamInterface<SaveCase> {};

TEST_P(ShipPhysicsSave, OnlyAGreaterScoreIsSavedAtTheEndOfTheRun) {
    const SaveCase& c = GetParam();
    storePaddedBest("000512");
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(HighScore::load(), 512);
    const std::string before = storedBytes();
    ASSERT_FALSE(before.empty());

    player->reset();
    EXPECT_EQ(player->best, 512);
    layRoad(road, {});
    // The last update of a fall: just above -10 at terminal speed.
    player->y = -9.99f;
    player->verticalSpeed = -14.0f;
    player->z = c.z;
    ASSERT_FALSE(step(kFrameDt));
    EXPECT_EQ(player->score(), static_cast<std::int64_t>(c.z));
    EXPECT_EQ(player->best, 512) << "the stored value as read at the end of the run";
    EXPECT_EQ(HighScore::load(), c.expectedBest);
    if (c.saves) {
        EXPECT_NE(storedBytes(), before);
    } else {
        EXPECT_EQ(storedBytes(), before) << "nothing may be written";
    }
}

INSTANTIATE_TEST_SUITE_P(Scores, ShipPhysicsSave, testing::ValuesIn(kSaveCases),
                         [](const testing::TestParamInfo<SaveCase>& info) { return std::string(info.param.name); });

}  // namespace
