#include "sim/plate.h"

Plate::Plate(float x, float y, float z, float width, float height, float length, bool floor, bool pillar)
    : position(x, y, z), size(width, height, length), isFloor(floor), isPillar(pillar) {}

bool boxesOverlap(glm::vec3 centreA, glm::vec3 sizeA, glm::vec3 centreB, glm::vec3 sizeB) {
    for (int axis = 0; axis < 3; ++axis) {
        float minA = centreA[axis] - sizeA[axis] / 2.0f;
        float maxA = centreA[axis] + sizeA[axis] / 2.0f;
        float minB = centreB[axis] - sizeB[axis] / 2.0f;
        float maxB = centreB[axis] + sizeB[axis] / 2.0f;
        if (minA > maxB || minB > maxA) return false;
    }
    return true;
}

CollisionResult resolveCollision(const Plate& plate, glm::vec3 oldCentre, glm::vec3 shipSize, glm::vec3 delta) {
    glm::vec3 next = oldCentre + delta;
    CollisionResult result{next.x, next.y, next.z, CollisionKind::None};
    if (!boxesOverlap(next, shipSize, plate.position, plate.size)) return result;

    // One axis at a time, in priority order: standing on top first, then the
    // near face, then the sides.
    if (boxesOverlap({oldCentre.x, next.y, oldCentre.z}, shipSize, plate.position, plate.size)) {
        result.kind = CollisionKind::Top;
        result.y = plate.position.y + plate.size.y * 0.5f + shipSize.y * 0.5f + 0.01f;
        return result;
    }
    if (boxesOverlap({oldCentre.x, oldCentre.y, next.z}, shipSize, plate.position, plate.size)) {
        result.kind = CollisionKind::Front;
        result.z = plate.position.z - plate.size.z * 0.5f - shipSize.z * 0.5f - 0.01f;
        return result;
    }
    if (boxesOverlap({next.x, oldCentre.y, next.z}, shipSize, plate.position, plate.size)) {
        if (next.x > oldCentre.x) {
            result.kind = CollisionKind::LeftSide;
            result.x = plate.position.x - plate.size.x * 0.5f - shipSize.x * 0.5f - 0.03f;
        } else {
            result.kind = CollisionKind::RightSide;
            result.x = plate.position.x + plate.size.x * 0.5f + shipSize.x * 0.5f + 0.03f;
        }
    }
    return result;
}
