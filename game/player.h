#pragma once
// The player's ship: forward motion, steering, jumping, gravity, collisions
// with the road, the score, and the end-of-run save of the best score.

#include <cstdint>
#include <memory>
#include <vector>

class Plate;
class StaticModel;
class Track;

class Player {
public:
    Player();  // loads the ship model "data/ship"
    // Flies with the given model. The physics never touches it, so a null
    // model serves a ship that is never drawn.
    explicit Player(std::unique_ptr<StaticModel> shipModel);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    void reset();
    // One simulation step; false exactly once, in the update that ends the run.
    bool update(float dt, const Track& track);
    // The same against a plate list, first to last.
    bool update(float dt, const std::vector<std::unique_ptr<Plate>>& plates);
    // The ship in either pass; the score texts in the main pass. Needs the
    // model.
    void render();
    std::int64_t score() const;

    bool fallen = false;
    bool crashed = false;
    std::int32_t crashFrames = 30;
    bool inAir = true;
    std::int32_t steering = 0;  // 0 none, 1 left, 2 right
    float time = 0.0f;
    std::unique_ptr<StaticModel> model;
    float x = 0.0f;
    float y = 0.01f;
    float speed = 0.0f;
    float verticalSpeed = 0.0f;
    float z = 0.0f;
    std::int64_t best = 0;

private:
    // The steps of an update that is not frozen by a crash, in order.
    float steer(float dt);  // sets steering, returns the lateral step
    void jump();
    void moveAndCollide(float dt, float dx, const std::vector<std::unique_ptr<Plate>>& plates);
    // Reads the stored best and saves a greater score; returns false.
    bool endRun();
};
