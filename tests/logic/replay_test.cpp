// A run is a function of its inputs: the input snapshots of a recorded run,
// fed to a new road and ship, give the same trace, events and score.
#include "logic/ship_fixture.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Everything a step leaves behind, compared bit for bit.
struct StepRecord {
    Player ship;
    float frontier;
    std::size_t plates;
    Events events;
};

// The step lengths of the run: the frame period, and the stall clamp every
// 97th step.
float dtAt(std::size_t step) { return step % 97 == 96 ? kSlowDt : kFrameDt; }

bool sameBits(const Player& a, const Player& b) {
    const float af[] = {a.time, a.x, a.y, a.speed, a.verticalSpeed, a.z};
    const float bf[] = {b.time, b.x, b.y, b.speed, b.verticalSpeed, b.z};
    return std::memcmp(af, bf, sizeof af) == 0 && a.fallen == b.fallen && a.crashed == b.crashed &&
           a.crashFrames == b.crashFrames && a.inAir == b.inAir && a.steering == b.steering && a.best == b.best;
}

// A pilot that keeps the ship on the road for a while: it steers for the
// middle of the floor ahead and holds Jump near the end of the floor under
// it, with a stray key now and then so that every kind of input occurs.
InputSnapshot pilot(const Player& ship, const Road& road, std::uint32_t& noise) {
    noise = noise * 1103515245u + 12345u;
    const int stray = static_cast<int>((noise >> 16) % 16);
    InputSnapshot input;
    float target = ship.x;
    for (const auto& plate : road.plates) {
        if (!plate->isFloor) continue;
        const float nearEnd = plate->position.z - plate->size.z * 0.5f;
        const float farEnd = plate->position.z + plate->size.z * 0.5f;
        if (ship.z >= nearEnd && ship.z <= farEnd) {
            target = plate->position.x;
            if (farEnd - ship.z < 2.5f) input.held[InputSnapshot::index(Action::Jump)] = true;
        }
    }
    if (target < ship.x - 0.3f) input = holding({Action::Left});
    if (target > ship.x + 0.3f) input = holding({Action::Right});
    if (stray == 0) input = holding({Action::Left, Action::Right});
    if (stray == 1) input = holding({Action::Right, Action::Left, Action::Jump});
    if (stray == 2) input.tapped[InputSnapshot::index(Action::Back)] = true;  // not the ship's business
    return input;
}

std::vector<StepRecord> play(const std::vector<InputSnapshot>& inputs, std::uint32_t startCount) {
    // The replay's road starts at the same place in its cycle of 50 updates.
    Road road(kTrackSeed, startCount);
    Player ship(1234);
    std::vector<StepRecord> trace;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        Events events = stepRun(dtAt(i), inputs[i], ship, road);
        trace.push_back({ship, road.frontier, road.plates.size(), events});
    }
    return trace;
}

TEST(Replay, RecordedInputsReplayTheRunExactly) {
    const std::uint32_t startCount = 17;
    Road road(kTrackSeed, startCount);
    Player ship(1234);
    std::vector<InputSnapshot> inputs;
    std::vector<StepRecord> recorded;
    std::uint32_t noise = 7;
    std::int64_t endScore = -1;
    int jumps = 0;
    for (int i = 0; i < 20000 && endScore < 0; ++i) {
        inputs.push_back(pilot(ship, road, noise));
        Events events = stepRun(dtAt(inputs.size() - 1), inputs.back(), ship, road);
        recorded.push_back({ship, road.frontier, road.plates.size(), events});
        jumps += countOf(events, EventKind::Jumped);
        for (const Event& e : events) {
            if (e.kind == EventKind::RunEnded) endScore = e.score;
        }
    }
    ASSERT_GE(endScore, 0) << "the recorded run must end";
    EXPECT_EQ(endScore, ship.score());
    ASSERT_GT(jumps, 2) << "the run must take some jumps to be worth replaying";
    ASSERT_GT(endScore, 100) << "the pilot should get a fair way down the road";

    // Another road first, so that nothing carried over from the recording
    // could pass for determinism.
    Road other(kTrackSeed + 1);
    other.update(500.0f);

    const std::vector<StepRecord> replayed = play(inputs, startCount);
    ASSERT_EQ(replayed.size(), recorded.size());
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        ASSERT_TRUE(sameBits(replayed[i].ship, recorded[i].ship)) << "step " << i;
        ASSERT_EQ(replayed[i].events, recorded[i].events) << "step " << i;
        ASSERT_EQ(replayed[i].frontier, recorded[i].frontier) << "step " << i;
        ASSERT_EQ(replayed[i].plates, recorded[i].plates) << "step " << i;
    }
    EXPECT_EQ(replayed.back().ship.score(), endScore);
    EXPECT_EQ(replayed.back().events.back(), (Event{EventKind::RunEnded, endScore}));

    // A changed input changes the run: the trace depends on the inputs.
    std::vector<InputSnapshot> changed = inputs;
    for (std::size_t i = 10; i < 40 && i < changed.size(); ++i) changed[i] = holding({Action::Left});
    const std::vector<StepRecord> otherRun = play(changed, startCount);
    bool differs = otherRun.size() != recorded.size();
    for (std::size_t i = 0; !differs && i < otherRun.size(); ++i) {
        differs = !sameBits(otherRun[i].ship, recorded[i].ship);
    }
    EXPECT_TRUE(differs);
}

}  // namespace
