#pragma once
// The player's ship: forward motion, steering, jumping, gravity, collisions
// with the road, the score, and the end-of-run save of the best score.

#include <cstdint>

class StaticModel;
class Track;

class Player {
public:
    Player();  // loads the ship model "data/ship"

    void reset();
    // One simulation step; false exactly once, in the update that ends the run.
    bool update(float dt, const Track& track);
    // The ship in either pass; the score texts in the main pass.
    void render();
    std::int64_t score() const;

    bool fallen = false;
    bool crashed = false;
    std::int32_t crashFrames = 30;
    bool inAir = true;
    std::int32_t steering = 0;  // 0 none, 1 left, 2 right
    float time = 0.0f;
    StaticModel* model = nullptr;
    float x = 0.0f;
    float y = 0.01f;
    float speed = 0.0f;
    float verticalSpeed = 0.0f;
    float z = 0.0f;
    std::int64_t best = 0;
};
