// The box tests of the ship against one plate: plain logic on plain records.
#include <gtest/gtest.h>

#include <glm/glm.hpp>

#include "sim/plate.h"

namespace {

const glm::vec3 kShip(1.0f, 0.98f, 1.5f);

}  // namespace

TEST(PlateBoxes, OverlapCountsTouchingAndNeedsAllThreeAxes) {
    struct Case {
        const char* name;
        glm::vec3 centreB;
        glm::vec3 sizeB;
        bool overlap;
    };
    // Box A: centre 0, size 2 (spans -1 .. 1 on every axis).
    const Case cases[] = {
        {"same box", {0, 0, 0}, {2, 2, 2}, true},
        {"inside", {0.25f, -0.25f, 0}, {0.5f, 0.5f, 0.5f}, true},
        {"touching face", {2, 0, 0}, {2, 2, 2}, true},
        {"touching edge", {2, 2, 0}, {2, 2, 2}, true},
        {"touching corner", {-2, -2, 2}, {2, 2, 2}, true},
        {"apart on x", {2.0625f, 0, 0}, {2, 2, 2}, false},
        {"apart on y only", {0, -3, 0}, {2, 2, 2}, false},
        {"apart on z only", {0, 0, 1.5f}, {2, 2, 0.5f}, false},
        {"overlapping on z only", {3, 3, 0}, {2, 2, 2}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(boxesOverlap({0, 0, 0}, {2, 2, 2}, c.centreB, c.sizeB), c.overlap);
        EXPECT_EQ(boxesOverlap(c.centreB, c.sizeB, {0, 0, 0}, {2, 2, 2}), c.overlap);
    }
}

TEST(PlateCollision, EachKindWithItsCorrectionAndPriority) {
    // A block spanning x -1 .. 1, y 0 .. 1, z 19 .. 21, and a floor plate
    // whose top is at y -0.535.
    Plate block(0.0f, 0.5f, 20.0f, 2.0f, 1.0f, 2.0f, false, false);
    Plate floorPlate(0.0f, -0.635f, 0.0f, 3.0f, 0.2f, 20.0f, true, false);
    // A plate with its top exactly at y 0, for contact by touching alone.
    Plate slab(0.0f, -0.5f, 0.0f, 4.0f, 1.0f, 4.0f, true, false);

    struct Case {
        const char* name;
        const Plate* plate;
        glm::vec3 oldCentre;
        glm::vec3 delta;
        CollisionKind kind;
        glm::vec3 result;
    };
    const Case cases[] = {
        {"landing on the floor", &floorPlate, {0, 0, 5}, {0, -0.1f, 0.5f}, CollisionKind::Top, {0, -0.035f, 5.5f}},
        {"rising into a floor from below lifts onto it", &floorPlate, {0, -1.1f, 5}, {0, 0.2f, 0},
         CollisionKind::Top, {0, -0.035f, 5}},
        {"resting exactly on the top face touches", &slab, {0, 0.49f, 1}, {0, 0, 0}, CollisionKind::Top,
         {0, 0.5f, 1}},
        {"a hair above the top face", &slab, {0, 0.4901f, 1}, {0, 0, 0}, CollisionKind::None, {0, 0.4901f, 1}},
        {"forward into the near face", &block, {0, 0.5f, 18.2f}, {0, 0, 0.1f}, CollisionKind::Front,
         {0, 0.5f, 18.24f}},
        {"forward into a floor's near face is still front", &floorPlate, {0, -0.6f, -11.0f}, {0, 0, 0.5f},
         CollisionKind::Front, {0, -0.6f, -10.76f}},
        {"moving right into the left face", &block, {-1.55f, 0.5f, 20}, {0.1f, 0, 0}, CollisionKind::LeftSide,
         {-1.53f, 0.5f, 20}},
        {"moving left into the right face", &block, {1.55f, 0.5f, 20}, {-0.1f, 0, 0}, CollisionKind::RightSide,
         {1.53f, 0.5f, 20}},
        {"sideways and forward at a corner resolves sideways", &block, {-1.55f, 0.5f, 18.2f}, {0.1f, 0, 0.1f},
         CollisionKind::LeftSide, {-1.53f, 0.5f, 18.3f}},
        {"no contact", &block, {5, 0.5f, 20}, {0.1f, 0, 0.1f}, CollisionKind::None, {5.1f, 0.5f, 20.1f}},
        {"contact no single axis explains", &block, {-1.55f, 1.6f, 20}, {0.1f, -0.2f, 0}, CollisionKind::None,
         {-1.45f, 1.4f, 20}},
        {"vertical wins over forward and sideways", &block, {0, 0.5f, 20}, {0.1f, 0, 0.1f}, CollisionKind::Top,
         {0.1f, 1.5f, 20.1f}},
        {"forward wins over sideways", &block, {-0.5f, 0.5f, 18.2f}, {0.1f, 0, 0.1f}, CollisionKind::Front,
         {-0.4f, 0.5f, 18.24f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CollisionResult r = resolveCollision(*c.plate, c.oldCentre, kShip, c.delta);
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_NEAR(r.x, c.result.x, 1e-5f);
        EXPECT_NEAR(r.y, c.result.y, 1e-5f);
        EXPECT_NEAR(r.z, c.result.z, 1e-5f);
    }
}
