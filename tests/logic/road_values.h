#pragma once
// A road's plates as values, for comparing roads plate by plate.

#include <vector>

#include <glm/glm.hpp>

#include "sim/plate.h"
#include "sim/road.h"

enum class Kind { Floor, Block, Pillar };

inline Kind kindOf(const Plate& plate) {
    if (plate.isFloor) return Kind::Floor;
    return plate.isPillar ? Kind::Pillar : Kind::Block;
}

struct PlateValues {
    Kind kind;
    glm::vec3 position;
    glm::vec3 size;
    bool operator==(const PlateValues&) const = default;
};

inline std::vector<PlateValues> snapshot(const PlateList& plates) {
    std::vector<PlateValues> out;
    for (const auto& plate : plates) out.push_back({kindOf(*plate), plate->position, plate->size});
    return out;
}
