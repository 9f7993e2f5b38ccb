#pragma once
// Shared pieces for tests of the ship and the road: the input of a step as a
// plain value, the events a step reports, and roads laid by hand. Nothing
// here needs a display, a sound device or a HOME.

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <memory>

#include "sim/input.h"
#include "sim/player.h"
#include "sim/road.h"

// The main loop's frame period (1/60 s + 1 ms) and its clamp after a stall.
constexpr float kFrameDt = 0.0176667f;
constexpr float kSlowDt = 1.0f / 30.0f;

// The centre height of a ship resting on a floor plate of the road (top at
// -0.535): half the ship's height and the 0.01 gap above the top.
constexpr double kRestY = -0.035;

// A step's input with these actions held. When both Left and Right are held,
// the one listed later went down later.
inline InputSnapshot holding(std::initializer_list<Action> actions) {
    InputSnapshot input;
    for (Action a : actions) {
        input.held[InputSnapshot::index(a)] = true;
        if (a == Action::Left || a == Action::Right) input.laterOfLeftRight = a;
    }
    return input;
}

// How many events of this kind a step reported.
inline int countOf(const Events& events, EventKind kind) {
    return static_cast<int>(
        std::count_if(events.begin(), events.end(), [kind](const Event& e) { return e.kind == kind; }));
}

struct PlateShape {
    glm::vec3 position;
    glm::vec3 size;
    bool isFloor;
    bool isPillar;
};

// A floor plate at the road's height, centred at (x, z).
inline PlateShape floorPlate(float x, float z, float width, float length) {
    return {{x, -0.635f, z}, {width, 0.2f, length}, true, false};
}
// A building block standing on the road.
inline PlateShape blockPlate(float x, float z, float width, float length) {
    return {{x, 0.22f, z}, {width, 1.4f, length}, false, false};
}
// A pillar as the generator makes them: 1 x 6 x 1, centred at height 0.
inline PlateShape pillarPlate(float x, float z) { return {{x, 0.0f, z}, {1.0f, 6.0f, 1.0f}, false, true}; }

// Replaces the plates of a road (a track's or a plain list) with these.
inline void layRoad(PlateList& plates, std::initializer_list<PlateShape> shapes) {
    plates.clear();
    for (const PlateShape& s : shapes) {
        plates.push_back(std::make_unique<Plate>(s.position.x, s.position.y, s.position.z, s.size.x, s.size.y,
                                                 s.size.z, s.isFloor, s.isPillar));
    }
}
