#pragma once
// The player's ship as a step function: forward motion, steering, jumping,
// gravity and collisions with the road, and the score. One step takes the
// input of that step and the road and tells what happened; sounds and the
// best-score save are the screen's answer to those events.

#include <cstdint>
#include <vector>

#include "sim/input.h"
#include "sim/road.h"

enum class EventKind : int {
    Jumped,    // a jump started
    Landed,    // the ship came down onto a plate's top from a jump or a fall
    Crashed,   // the ship ran into the near face of a block or pillar
    FellOff,   // the ship dropped below the road, once per run
    Lost,      // the ship fell out of the world (below -10): the run ends
    RunEnded,  // the run is over; score holds its score
    Resumed,   // the pause was left (the game's step, not the ship's)
};

struct Event {
    EventKind kind;
    std::int64_t score = 0;
    bool operator==(const Event&) const = default;
};

// A step's events, in the order they happened.
using Events = std::vector<Event>;

// True when the events hold the end of the run.
bool runEnded(const Events& events);

class Player {
public:
    // The values of a new run; best is the stored best score the screens
    // read for it.
    explicit Player(std::int64_t storedBest = 0);

    void reset(std::int64_t storedBest = 0);
    // One simulation step against the road's plates, first to last. Ends
    // with a RunEnded event exactly once, in the step that ends the run.
    Events update(float dt, const InputSnapshot& input, const PlateList& plates);
    Events update(float dt, const InputSnapshot& input, const Road& road) { return update(dt, input, road.plates); }
    std::int64_t score() const;

    bool fallen = false;
    bool crashed = false;
    std::int32_t crashFrames = 30;
    bool inAir = true;
    std::int32_t steering = 0;  // 0 none, 1 left, 2 right
    float time = 0.0f;
    float x = 0.0f;
    float y = 0.01f;
    float speed = 0.0f;
    float verticalSpeed = 0.0f;
    float z = 0.0f;
    // The stored best score: read by the screens at reset and again when
    // the run ends.
    std::int64_t best = 0;

private:
    // The steps of an update that is not frozen by a crash, in order.
    float steer(float dt, const InputSnapshot& input);  // sets steering, returns the lateral step
    void jump(const InputSnapshot& input, Events& events);
    void moveAndCollide(float dt, float dx, const PlateList& plates, Events& events);
};

// One step of a run: the ship's update, then, unless the run ended, the road
// follows the ship's distance.
Events stepRun(float dt, const InputSnapshot& input, Player& player, Road& road);
