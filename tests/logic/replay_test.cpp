// A run is a function of its inputs, and the simulation's answer to a given
// run is pinned down: a run recorded once (tests/logic/fixtures/
// replay_run.txt: the road's seed and start count, the ship's stored best,
// and per step its dt and input snapshot) is replayed through stepRun on a
// new road and ship, and every step must leave the trace the fixture holds,
// bit for bit. A changed constant of the ship or the road (gravity, steering
// speed, the road's generation) changes the trace and fails the test at the
// first step and field it changes; a changed road seed (kTrackSeed) fails it
// too, since the fixture must be a run of the game's own road.
//
// The fixture is written by the generator below, from the code of the day it
// was made, which is the reference behaviour:
//
//   VIMBROT_WRITE_REPLAY_FIXTURE=$PWD/tests/logic/fixtures/replay_run.txt
//     build/tests/vimbrot_logic_tests --gtest_also_run_disabled_tests
//     --gtest_filter=ReplayRecorder.DISABLED_WriteFixture
//
// (one command line, from the top of the tree).
//
// Regenerate it only for a deliberate change of the simulation, and say so
// in the commit.
//
// The format, one record a line ('#' starts a comment line):
//   vimbrot-replay 1
//   seed <road seed>            Road(seed, updates)
//   updates <road start count>
//   best <stored best>          Player(best)
//   steps <count>
//   then per step, in order:
//   <dt> <held> <tapped> <later> <x> <y> <z> <speed> <vspeed> <time>
//       <fallen><crashed><inAir> <crashFrames> <steering> <frontier> <plates> <events>
//   score <final score>
// Floats are their IEEE bit patterns in 8 hex digits; held and tapped are
// the action bits (bit n is Action n) in 3 hex digits; later is L, R or -;
// the flags are three 0/1 digits; events are "-" or the step's events in
// order, comma-separated, RunEnded with its score (RunEnded=123).
#include "logic/ship_fixture.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#ifndef VIMBROT_LOGIC_FIXTURES
// A build that does not pass the folder (tests/CMakeLists.txt does; the
// Windows tree's tests/windows/unit_tests.cmake does not): the one next to
// this file, by the path it was compiled from. The Windows tree runs under
// Wine, which maps the Unix root to Z:.
#ifdef _WIN32
#define VIMBROT_LOGIC_FIXTURES_PREFIX "Z:"
#else
#define VIMBROT_LOGIC_FIXTURES_PREFIX ""
#endif
#endif

namespace {

std::string fixturePath() {
#ifdef VIMBROT_LOGIC_FIXTURES
    return std::string(VIMBROT_LOGIC_FIXTURES) + "/replay_run.txt";
#else
    std::string file = __FILE__;
    return VIMBROT_LOGIC_FIXTURES_PREFIX + file.substr(0, file.find_last_of("/\\")) + "/fixtures/replay_run.txt";
#endif
}

// What a step leaves behind, as the fixture writes it: the ship's floats as
// bit patterns, its flags, the road's frontier and plate count, the events.
struct StepTrace {
    std::uint32_t x, y, z, speed, verticalSpeed, time;
    int fallen, crashed, inAir, crashFrames, steering;
    std::uint32_t frontier;
    std::uint64_t plates;
    std::string events;
};

struct Step {
    float dt;
    InputSnapshot input;
    StepTrace trace;
};

struct Fixture {
    std::uint32_t seed = 0;
    std::uint32_t updates = 0;
    std::int64_t best = 0;
    std::vector<Step> steps;
    std::int64_t score = -1;
};

std::uint32_t bits(float f) { return std::bit_cast<std::uint32_t>(f); }
float fromBits(std::uint32_t b) { return std::bit_cast<float>(b); }

const char* kindName(EventKind kind) {
    switch (kind) {
        case EventKind::Jumped: return "Jumped";
        case EventKind::Landed: return "Landed";
        case EventKind::Crashed: return "Crashed";
        case EventKind::FellOff: return "FellOff";
        case EventKind::Lost: return "Lost";
        case EventKind::RunEnded: return "RunEnded";
        case EventKind::Resumed: return "Resumed";
    }
    return "?";
}

std::string eventsText(const Events& events) {
    if (events.empty()) return "-";
    std::string text;
    for (const Event& e : events) {
        if (!text.empty()) text += ',';
        text += kindName(e.kind);
        // Only the end of a run carries a score; any other score that is not
        // 0 is written too, so that it cannot change unseen.
        if (e.kind == EventKind::RunEnded || e.score != 0) text += '=' + std::to_string(e.score);
    }
    return text;
}

StepTrace traceOf(const Player& ship, const Road& road, const Events& events) {
    return {bits(ship.x),
            bits(ship.y),
            bits(ship.z),
            bits(ship.speed),
            bits(ship.verticalSpeed),
            bits(ship.time),
            ship.fallen ? 1 : 0,
            ship.crashed ? 1 : 0,
            ship.inAir ? 1 : 0,
            ship.crashFrames,
            ship.steering,
            bits(road.frontier),
            static_cast<std::uint64_t>(road.plates.size()),
            eventsText(events)};
}

unsigned actionBits(const std::array<bool, kActionCount>& actions) {
    unsigned value = 0;
    for (int i = 0; i < kActionCount; ++i) {
        if (actions[static_cast<std::size_t>(i)]) value |= 1u << i;
    }
    return value;
}

void setActionBits(std::array<bool, kActionCount>& actions, unsigned value) {
    for (int i = 0; i < kActionCount; ++i) actions[static_cast<std::size_t>(i)] = (value >> i) & 1u;
}

// ---- Writing and reading the fixture ---------------------------------------

std::string hex8(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
    return text;
}

std::string stepLine(const Step& step) {
    const StepTrace& t = step.trace;
    char head[64];
    char later = '-';
    if (step.input.laterOfLeftRight == Action::Left) later = 'L';
    if (step.input.laterOfLeftRight == Action::Right) later = 'R';
    std::snprintf(head, sizeof head, "%08x %03x %03x %c", static_cast<unsigned>(bits(step.dt)),
                  actionBits(step.input.held), actionBits(step.input.tapped), later);
    std::ostringstream line;
    line << head << ' ' << hex8(t.x) << ' ' << hex8(t.y) << ' ' << hex8(t.z) << ' ' << hex8(t.speed) << ' '
         << hex8(t.verticalSpeed) << ' ' << hex8(t.time) << ' ' << t.fallen << t.crashed << t.inAir << ' '
         << t.crashFrames << ' ' << t.steering << ' ' << hex8(t.frontier) << ' ' << t.plates << ' ' << t.events;
    return line.str();
}

void writeFixture(const Fixture& fixture, const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    ASSERT_TRUE(out) << "cannot write " << path;
    out << "vimbrot-replay 1\n"
        << "# A recorded run of the simulation and the trace it gave, written by\n"
        << "# ReplayRecorder.DISABLED_WriteFixture in tests/logic/replay_test.cpp (the\n"
        << "# format is described there). Floats are IEEE bit patterns in hex.\n"
        << "seed " << fixture.seed << "\n"
        << "updates " << fixture.updates << "\n"
        << "best " << fixture.best << "\n"
        << "steps " << fixture.steps.size() << "\n"
        << "# dt held tapped later | x y z speed verticalSpeed time fallen,crashed,inAir crashFrames steering"
           " | frontier plates | events\n";
    for (const Step& step : fixture.steps) out << stepLine(step) << "\n";
    out << "score " << fixture.score << "\n";
    out.close();
    ASSERT_TRUE(out) << "cannot write " << path;
}

bool parseHex(const std::string& text, std::size_t digits, std::uint32_t& value) {
    if (text.size() != digits) return false;
    char* end = nullptr;
    const unsigned long parsed = std::strtoul(text.c_str(), &end, 16);
    if (*end != '\0') return false;
    value = static_cast<std::uint32_t>(parsed);
    return true;
}

// Reads the fixture; error says what is wrong with it, and where.
bool readFixture(const std::string& path, Fixture& fixture, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::string line;
    int lineNumber = 0;
    std::size_t expectedSteps = 0;
    bool header = false;
    auto fail = [&](const std::string& what) {
        error = path + ":" + std::to_string(lineNumber) + ": " + what + ": " + line;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();  // a checkout with CR LF
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        if (!header) {
            int version = 0;
            if (key != "vimbrot-replay" || !(fields >> version) || version != 1) return fail("not a replay fixture");
            header = true;
        } else if (key == "seed") {
            if (!(fields >> fixture.seed)) return fail("bad seed");
        } else if (key == "updates") {
            if (!(fields >> fixture.updates)) return fail("bad update count");
        } else if (key == "best") {
            if (!(fields >> fixture.best)) return fail("bad best");
        } else if (key == "steps") {
            if (!(fields >> expectedSteps)) return fail("bad step count");
        } else if (key == "score") {
            if (!(fields >> fixture.score)) return fail("bad score");
        } else {
            // A step: key is its dt.
            Step step{};
            std::uint32_t dt = 0, held = 0, tapped = 0;
            std::string heldText, tappedText, later, f[7], flags, eventsText;
            fields >> heldText >> tappedText >> later >> f[0] >> f[1] >> f[2] >> f[3] >> f[4] >> f[5] >> flags >>
                step.trace.crashFrames >> step.trace.steering >> f[6] >> step.trace.plates >> eventsText;
            if (!fields || !parseHex(key, 8, dt) || !parseHex(heldText, 3, held) || !parseHex(tappedText, 3, tapped))
                return fail("bad step");
            std::string rest;
            if (fields >> rest) return fail("more fields than a step has");
            step.dt = fromBits(dt);
            setActionBits(step.input.held, held);
            setActionBits(step.input.tapped, tapped);
            if (later == "L") step.input.laterOfLeftRight = Action::Left;
            else if (later == "R") step.input.laterOfLeftRight = Action::Right;
            else if (later != "-") return fail("bad laterOfLeftRight");
            std::uint32_t* floats[] = {&step.trace.x,     &step.trace.y,             &step.trace.z,
                                       &step.trace.speed, &step.trace.verticalSpeed, &step.trace.time,
                                       &step.trace.frontier};
            for (int i = 0; i < 7; ++i) {
                if (!parseHex(f[i], 8, *floats[i])) return fail("bad float bits");
            }
            if (flags.size() != 3 || flags.find_first_not_of("01") != std::string::npos) return fail("bad flags");
            step.trace.fallen = flags[0] - '0';
            step.trace.crashed = flags[1] - '0';
            step.trace.inAir = flags[2] - '0';
            step.trace.events = eventsText;
            fixture.steps.push_back(step);
        }
    }
    if (!header) {
        error = path + ": empty";
        return false;
    }
    if (fixture.steps.size() != expectedSteps) {
        error = path + ": " + std::to_string(fixture.steps.size()) + " steps, the header says " +
                std::to_string(expectedSteps);
        return false;
    }
    if (fixture.score < 0) {
        error = path + ": no final score";
        return false;
    }
    return true;
}

// ---- Replaying --------------------------------------------------------------

std::string floatText(std::uint32_t b) {
    std::ostringstream text;
    text.precision(9);
    text << "0x" << hex8(b) << " (" << fromBits(b) << ")";
    return text.str();
}

// The first field in which the replayed step differs from the fixture's, as
// "field: fixture ..., replay ..."; empty when the two are the same.
std::string firstDifference(const StepTrace& want, const StepTrace& got) {
    const struct {
        const char* name;
        std::uint32_t want, got;
    } floats[] = {{"x", want.x, got.x},
                  {"y", want.y, got.y},
                  {"z", want.z, got.z},
                  {"speed", want.speed, got.speed},
                  {"verticalSpeed", want.verticalSpeed, got.verticalSpeed},
                  {"time", want.time, got.time}};
    for (const auto& f : floats) {
        if (f.want != f.got)
            return std::string(f.name) + ": fixture " + floatText(f.want) + ", replay " + floatText(f.got);
    }
    const struct {
        const char* name;
        long long want, got;
    } ints[] = {{"fallen", want.fallen, got.fallen},
                {"crashed", want.crashed, got.crashed},
                {"inAir", want.inAir, got.inAir},
                {"crashFrames", want.crashFrames, got.crashFrames},
                {"steering", want.steering, got.steering}};
    for (const auto& f : ints) {
        if (f.want != f.got)
            return std::string(f.name) + ": fixture " + std::to_string(f.want) + ", replay " + std::to_string(f.got);
    }
    if (want.frontier != got.frontier)
        return "road frontier: fixture " + floatText(want.frontier) + ", replay " + floatText(got.frontier);
    if (want.plates != got.plates)
        return "road plates: fixture " + std::to_string(want.plates) + ", replay " + std::to_string(got.plates);
    if (want.events != got.events) return "events: fixture " + want.events + ", replay " + got.events;
    return {};
}

struct Replay {
    std::vector<StepTrace> trace;
    std::int64_t score = -1;  // the run's end score, from its RunEnded event
};

Replay replay(const Fixture& fixture, const std::vector<InputSnapshot>& inputs) {
    Road road(fixture.seed, fixture.updates);
    Player ship(fixture.best);
    Replay result;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const Events events = stepRun(fixture.steps[i].dt, inputs[i], ship, road);
        result.trace.push_back(traceOf(ship, road, events));
        for (const Event& e : events) {
            if (e.kind == EventKind::RunEnded) result.score = e.score;
        }
    }
    return result;
}

std::vector<InputSnapshot> inputsOf(const Fixture& fixture) {
    std::vector<InputSnapshot> inputs;
    for (const Step& step : fixture.steps) inputs.push_back(step.input);
    return inputs;
}

class ReplayFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(readFixture(fixturePath(), fixture, error)) << error;
        ASSERT_FALSE(fixture.steps.empty());
    }
    Fixture fixture;
};

TEST_F(ReplayFixture, TheRecordedRunGivesTheRecordedTraceBitForBit) {
    // The fixture is a run of the game's road.
    EXPECT_EQ(fixture.seed, kTrackSeed) << "the fixture was recorded on the road of seed " << fixture.seed
                                        << ", the game's road now has seed " << kTrackSeed;

    // Another road first, so that nothing left over from an earlier road
    // could pass for determinism.
    Road other(fixture.seed + 1);
    other.update(500.0f);

    const Replay run = replay(fixture, inputsOf(fixture));
    for (std::size_t i = 0; i < fixture.steps.size(); ++i) {
        const std::string difference = firstDifference(fixture.steps[i].trace, run.trace[i]);
        ASSERT_TRUE(difference.empty()) << "the replay leaves the fixture at step " << i << " of "
                                        << fixture.steps.size() << " (dt " << floatText(bits(fixture.steps[i].dt))
                                        << "), " << difference;
    }
    EXPECT_EQ(run.score, fixture.score) << "final score";
}

// The fixture is worth replaying: varied step lengths, steering both ways,
// jumps, and an end past 100 units.
TEST_F(ReplayFixture, TheRecordedRunCoversTheShipsMoves) {
    std::set<std::uint32_t> dts;
    std::set<int> steering;
    int jumps = 0;
    bool ended = false;
    for (const Step& step : fixture.steps) {
        dts.insert(bits(step.dt));
        steering.insert(step.trace.steering);
        jumps += step.trace.events.find("Jumped") != std::string::npos;
        ended = ended || step.trace.events.find("RunEnded=") != std::string::npos;
    }
    EXPECT_TRUE(dts.count(bits(kFrameDt)) && dts.count(bits(kSlowDt))) << "frame period and stall clamp";
    EXPECT_GE(dts.size(), 4u) << "some odd step lengths too";
    EXPECT_TRUE(steering.count(1) && steering.count(2)) << "steers left and right";
    EXPECT_GT(jumps, 2);
    EXPECT_TRUE(ended);
    EXPECT_NE(fixture.steps.back().trace.events.find("RunEnded=" + std::to_string(fixture.score)), std::string::npos)
        << "the run ends in its last step, with the final score";
    EXPECT_GT(fixture.score, 100);
}

// A changed input changes the run: the trace depends on the inputs.
TEST_F(ReplayFixture, AChangedInputChangesTheRun) {
    std::vector<InputSnapshot> changed = inputsOf(fixture);
    ASSERT_GT(changed.size(), 40u);
    for (std::size_t i = 10; i < 40; ++i) changed[i] = holding({Action::Left});
    const Replay run = replay(fixture, changed);
    bool differs = false;
    for (std::size_t i = 0; !differs && i < fixture.steps.size(); ++i) {
        differs = !firstDifference(fixture.steps[i].trace, run.trace[i]).empty();
    }
    EXPECT_TRUE(differs);
}

// ---- The generator ----------------------------------------------------------

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

// The step lengths of the recorded run: the frame period, the stall clamp
// every 97th step, and every 23rd step one of a few odd lengths.
float dtAt(std::size_t step) {
    static const float odd[] = {1.0f / 60.0f, 0.0213f, 0.0051f, 0.0287f, 0.001f, 0.0333f};
    if (step % 97 == 96) return kSlowDt;
    if (step % 23 == 11) return odd[(step / 23) % std::size(odd)];
    return kFrameDt;
}

// Records a run of the pilot on the game's road with the code of today and
// writes it to $VIMBROT_WRITE_REPLAY_FIXTURE (see the top of this file).
TEST(ReplayRecorder, DISABLED_WriteFixture) {
    const char* path = std::getenv("VIMBROT_WRITE_REPLAY_FIXTURE");
    ASSERT_NE(path, nullptr) << "set VIMBROT_WRITE_REPLAY_FIXTURE to the file to write";

    Fixture fixture;
    fixture.seed = kTrackSeed;
    fixture.updates = 17;  // the road starts partway into its cycle of 50
    fixture.best = 1234;
    Road road(fixture.seed, fixture.updates);
    Player ship(fixture.best);
    std::uint32_t noise = 1;  // a run that ends in a crash at 142
    for (std::size_t i = 0; i < 20000 && fixture.score < 0; ++i) {
        Step step{};
        step.dt = dtAt(i);
        step.input = pilot(ship, road, noise);
        const Events events = stepRun(step.dt, step.input, ship, road);
        step.trace = traceOf(ship, road, events);
        fixture.steps.push_back(step);
        for (const Event& e : events) {
            if (e.kind == EventKind::RunEnded) fixture.score = e.score;
        }
    }
    ASSERT_GE(fixture.score, 0) << "the recorded run must end";
    ASSERT_EQ(fixture.score, ship.score());
    ASSERT_GT(fixture.score, 100) << "the pilot should get a fair way down the road";
    writeFixture(fixture, path);

    // What was written reads back as what was recorded.
    Fixture back;
    std::string error;
    ASSERT_TRUE(readFixture(path, back, error)) << error;
    ASSERT_EQ(back.steps.size(), fixture.steps.size());
    for (std::size_t i = 0; i < back.steps.size(); ++i) {
        ASSERT_EQ(stepLine(back.steps[i]), stepLine(fixture.steps[i])) << "step " << i;
        ASSERT_EQ(back.steps[i].input, fixture.steps[i].input) << "step " << i;
    }
}

}  // namespace
