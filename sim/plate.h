#pragma once
// One axis-aligned box of the road (floor plate, building block or pillar)
// and the box tests the ship uses on them. Plain records: road generation and
// collisions run without a GL context.

#include <cstdint>

#include <glm/glm.hpp>

class Plate {
public:
    Plate(float x, float y, float z, float width, float height, float length, bool isFloor, bool isPillar);

    glm::vec3 position;  // centre: x lateral, y up, z along the road
    glm::vec3 size;      // full width, height, length
    bool isFloor;
    bool isPillar;
};

enum class CollisionKind : std::int32_t { None = 0, Front = 1, LeftSide = 2, RightSide = 3, Top = 4 };

struct CollisionResult {
    float x;
    float y;
    float z;
    CollisionKind kind;
};

// Boxes given by centre and full size; touching faces, edges or corners count
// as overlap.
bool boxesOverlap(glm::vec3 centreA, glm::vec3 sizeA, glm::vec3 centreB, glm::vec3 sizeB);

// The ship's box at oldCentre moved by delta, against one plate: which single
// axis of the move runs into the plate, and the corrected coordinate.
CollisionResult resolveCollision(const Plate& plate, glm::vec3 oldCentre, glm::vec3 shipSize, glm::vec3 delta);
