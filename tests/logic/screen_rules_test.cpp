// The rules of the screens without a window: what the menu, the game-over
// screen, the pause and a run make of one frame's taps, and what a run's
// events ask of the application.
#include "logic/ship_fixture.h"

#include <string>
#include <vector>

#include "game/screenrules.h"

namespace {

const Action kAllActions[] = {Action::Left, Action::Right,    Action::Up,      Action::Down,    Action::Jump,
                              Action::Back, Action::ClearLog, Action::PadBack, Action::PadStart};

InputSnapshot tapping(const std::vector<Action>& actions) {
    InputSnapshot input;
    for (Action a : actions) input.tapped[InputSnapshot::index(a)] = true;
    return input;
}

// The actions whose taps the screen took from the snapshot.
std::vector<Action> takenOf(const InputSnapshot& input) {
    std::vector<Action> taken;
    for (Action a : kAllActions) {
        if (input.taken[InputSnapshot::index(a)]) taken.push_back(a);
    }
    return taken;
}

std::vector<std::string> soundsOf(const Outcome& outcome) {
    std::vector<std::string> sounds;
    for (const Effect& e : outcome.effects) {
        if (e.kind == Effect::Kind::PlaySound) sounds.emplace_back(e.sound);
    }
    return sounds;
}

const std::string kMove = kMenuMoveSound;
const std::string kSelect = kSelectSound;

struct MenuCase {
    const char* name;
    std::vector<Action> taps;
    int selectionBefore;
    ScreenState next;
    bool quit;
    int selectionAfter;
    std::vector<std::string> sounds;
    std::vector<Action> taken;  // taps the menu used or dropped; the rest stay pending
};

void PrintTo(const MenuCase& c, std::ostream* os) { *os << c.name; }

const MenuCase kMenuCases[] = {
    {"BackBeforeAnyOtherTap", {Action::Down, Action::Jump, Action::ClearLog, Action::Back}, 0, ScreenState::Menu,
     true, 0, {}, {Action::Back}},
    {"DownMovesToExit", {Action::Down}, 0, ScreenState::Menu, false, 1, {kMove}, {Action::Down}},
    {"DownAtExitStaysWithASound", {Action::Down}, 1, ScreenState::Menu, false, 1, {kMove}, {Action::Down}},
    {"UpMovesToStart", {Action::Up}, 1, ScreenState::Menu, false, 0, {kMove}, {Action::Up}},
    {"UpAtStartStaysWithASound", {Action::Up}, 0, ScreenState::Menu, false, 0, {kMove}, {Action::Up}},
    {"DownAndUpCancelWithTwoSounds", {Action::Up, Action::Down}, 0, ScreenState::Menu, false, 0, {kMove, kMove},
     {Action::Up, Action::Down}},
    {"JumpOnStartStarts", {Action::Jump}, 0, ScreenState::Playing, false, 0, {kSelect}, {Action::Jump}},
    {"JumpOnExitQuitsSilently", {Action::Jump}, 1, ScreenState::Menu, true, 1, {}, {Action::Jump}},
    {"DownThenJumpInOneFrameQuits", {Action::Jump, Action::Down}, 0, ScreenState::Menu, true, 1, {kMove},
     {Action::Down, Action::Jump}},
    {"NoTapStays", {}, 1, ScreenState::Menu, false, 1, {}, {}},
    {"PadBackNeverQuitsAndIsDropped", {Action::PadBack}, 0, ScreenState::Menu, false, 0, {}, {Action::PadBack}},
    {"PadStartNeverQuitsAndIsDropped", {Action::PadStart}, 1, ScreenState::Menu, false, 1, {}, {Action::PadStart}},
    {"SteeringIsNotLookedAt", {Action::Left, Action::Right}, 0, ScreenState::Menu, false, 0, {}, {}},
    {"F12ClearsTheLogAndStays", {Action::ClearLog}, 0, ScreenState::Menu, false, 0, {}, {Action::ClearLog}},
};

class MenuRules : public testing::TestWithParam<MenuCase> {};

TEST_P(MenuRules, SelectionOutcomeSoundsAndTakenTaps) {
    const MenuCase& c = GetParam();
    std::int32_t selection = c.selectionBefore;
    InputSnapshot input = tapping(c.taps);
    const Outcome outcome = updateMenu(selection, input);
    EXPECT_EQ(outcome.next, c.next);
    EXPECT_EQ(outcome.quit, c.quit);
    EXPECT_EQ(outcome.newRun, c.next == ScreenState::Playing) << "START, and only START, begins a run";
    EXPECT_EQ(selection, c.selectionAfter);
    EXPECT_EQ(soundsOf(outcome), c.sounds);
    EXPECT_EQ(takenOf(input), c.taken);
    const bool clears = std::find(c.taken.begin(), c.taken.end(), Action::ClearLog) != c.taken.end();
    const bool cleared = std::any_of(outcome.effects.begin(), outcome.effects.end(),
                                     [](const Effect& e) { return e.kind == Effect::Kind::ClearLog; });
    EXPECT_EQ(cleared, clears);
}

INSTANTIATE_TEST_SUITE_P(Taps, MenuRules, testing::ValuesIn(kMenuCases),
                         [](const testing::TestParamInfo<MenuCase>& info) { return std::string(info.param.name); });

TEST(MenuRules, EffectsKeepTheOrderTheTapsWereLookedAt) {
    // Down's sound, then the log cleared, then START's sound: the order the
    // application carries them out in.
    std::int32_t selection = 1;
    InputSnapshot input = tapping({Action::Jump, Action::ClearLog, Action::Up});
    const Outcome outcome = updateMenu(selection, input);
    const std::vector<Effect> expected = {Effect::play(kMenuMoveSound), {Effect::Kind::ClearLog},
                                          Effect::play(kSelectSound)};
    EXPECT_EQ(outcome.effects, expected);
    EXPECT_EQ(outcome.next, ScreenState::Playing);
}

TEST(GameOverRules, EachWayOutPlaysTheSelectSoundAndAnythingElseStays) {
    struct Case {
        std::vector<Action> taps;
        bool leaves;
        std::vector<Action> taken;
    } cases[] = {
        {{Action::Back}, true, {Action::Back}},
        {{Action::PadBack}, true, {Action::PadBack}},
        {{Action::PadStart}, true, {Action::PadStart}},
        {{Action::Jump}, true, {Action::Jump}},
        // Jump is only looked at without a Back tap, so it stays pending.
        {{Action::Back, Action::Jump}, true, {Action::Back}},
        {{Action::Left, Action::Right, Action::Up, Action::Down, Action::ClearLog}, false, {}},
        {{}, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.taps.size()) + " taps, first " +
                     (c.taps.empty() ? "none" : std::to_string(static_cast<int>(c.taps[0]))));
        InputSnapshot input = tapping(c.taps);
        const Outcome outcome = updateGameOver(input);
        EXPECT_EQ(outcome.next, c.leaves ? ScreenState::Menu : ScreenState::GameOver);
        EXPECT_FALSE(outcome.quit);
        EXPECT_EQ(soundsOf(outcome), c.leaves ? std::vector<std::string>{kSelect} : std::vector<std::string>{});
        EXPECT_EQ(takenOf(input), c.taken);
    }
}

// A run a little way in, on the road of every run.
class RunRules : public testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 20; ++i) {
            InputSnapshot none;
            ASSERT_FALSE(runEnded(stepGame(kFrameDt, none, paused, ship, road)));
        }
    }

    Road road{kTrackSeed};
    Player ship{0};
    bool paused = false;
};

TEST_F(RunRules, BackPadBackAndPadStartPauseTheWorldStandsStillJumpAndPadStartResume) {
    struct Case {
        Action pause;
        Action resume;
        bool resumes;
    } cases[] = {
        {Action::Back, Action::Jump, true},        {Action::PadBack, Action::Jump, true},
        {Action::PadStart, Action::PadStart, true}, {Action::Back, Action::PadStart, true},
        {Action::Back, Action::PadBack, false},    {Action::PadStart, Action::Back, false},
        {Action::Back, Action::Left, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.pause)) + " then " + std::to_string(static_cast<int>(c.resume)));
        paused = false;
        InputSnapshot pause = tapping({c.pause});
        EXPECT_TRUE(stepGame(kFrameDt, pause, paused, ship, road).empty()) << "the pausing step stands still";
        EXPECT_TRUE(paused);
        EXPECT_EQ(takenOf(pause), std::vector<Action>{c.pause});

        const Player before = ship;
        const std::uint32_t updates = road.updateCount;
        InputSnapshot held = holding({Action::Left, Action::Jump});
        EXPECT_TRUE(stepGame(kFrameDt, held, paused, ship, road).empty()) << "held keys do nothing while paused";
        EXPECT_EQ(ship.z, before.z);
        EXPECT_EQ(ship.x, before.x);
        EXPECT_EQ(ship.time, before.time);
        EXPECT_EQ(road.updateCount, updates);

        InputSnapshot resume = tapping({c.resume});
        const Events events = stepGame(kFrameDt, resume, paused, ship, road);
        EXPECT_EQ(paused, !c.resumes);
        EXPECT_EQ(events, c.resumes ? Events{{EventKind::Resumed}} : Events{});
        EXPECT_EQ(ship.z, before.z) << "the resuming step does not move the ship either";
        EXPECT_EQ(road.updateCount, updates);
        if (c.resumes) {
            InputSnapshot none;
            stepGame(kFrameDt, none, paused, ship, road);
            EXPECT_GT(ship.z, before.z) << "the next step goes on";
            EXPECT_EQ(road.updateCount, updates + 1);
        }
    }
}

TEST_F(RunRules, StepsOfARunAreTheSimulationsOwnSteps) {
    // The playing screen adds nothing to a step it does not pause: the same
    // inputs give the same ship as stepRun on a road of its own.
    Road other(kTrackSeed);
    Player copy(0);
    for (int i = 0; i < 20; ++i) {
        InputSnapshot none;
        stepRun(kFrameDt, none, copy, other);
    }
    for (int i = 0; i < 200; ++i) {
        InputSnapshot a = holding({i % 40 < 20 ? Action::Left : Action::Right});
        InputSnapshot b = a;
        EXPECT_EQ(stepGame(kFrameDt, a, paused, ship, road), stepRun(kFrameDt, b, copy, other)) << "step " << i;
    }
    EXPECT_EQ(ship.z, copy.z);
    EXPECT_EQ(ship.x, copy.x);
}

TEST(EventAnswers, EachEventPlaysItsSoundInOrderAndLandingIsSilent) {
    const Outcome outcome = answerEvents({{EventKind::Jumped},
                                          {EventKind::Landed},
                                          {EventKind::Crashed},
                                          {EventKind::FellOff},
                                          {EventKind::Resumed},
                                          {EventKind::Lost}});
    const std::vector<std::string> expected = {"data/jump.wav", "data/crash.wav", "data/falloff.wav", kSelect,
                                               "data/crash.wav"};
    EXPECT_EQ(soundsOf(outcome), expected);
    EXPECT_EQ(outcome.effects.size(), expected.size()) << "nothing but sounds before a run ends";
    EXPECT_EQ(outcome.next, ScreenState::Playing);
    EXPECT_TRUE(answerEvents({}).effects.empty());
}

TEST(EventAnswers, TheEndOfARunOffersItsScoreThenGuardsTheGameOverScreen) {
    const Outcome outcome = answerEvents({{EventKind::Lost}, {EventKind::RunEnded, 4321}});
    EXPECT_EQ(outcome.next, ScreenState::GameOver);
    EXPECT_FALSE(outcome.quit);
    const std::vector<Effect> expected = {
        Effect::play("data/crash.wav"),
        {Effect::Kind::OfferScore, nullptr, 4321},
        // A press that began during the run never leaves the game-over screen.
        {Effect::Kind::StartAfresh, nullptr, 0, Action::Back},
        {Effect::Kind::StartAfresh, nullptr, 0, Action::PadBack},
        {Effect::Kind::StartAfresh, nullptr, 0, Action::PadStart},
        {Effect::Kind::StartAfresh, nullptr, 0, Action::Jump},
    };
    EXPECT_EQ(outcome.effects, expected);
}

// A whole run through the rules: the playing screen hands over to the
// game-over screen in the step the run ends, with the score the ship has.
TEST(EventAnswers, ARunSteeringOffTheRoadEndsOnTheGameOverScreen) {
    Road road(kTrackSeed);
    Player ship(0);
    bool paused = false;
    Outcome outcome;
    int steps = 0;
    for (; steps < 2000 && outcome.next != ScreenState::GameOver; ++steps) {
        InputSnapshot left = holding({Action::Left});
        outcome = answerEvents(stepGame(kFrameDt, left, paused, ship, road));
    }
    ASSERT_EQ(outcome.next, ScreenState::GameOver) << "the ship never left the road";
    EXPECT_GT(steps, 30);
    const auto offer = std::find_if(outcome.effects.begin(), outcome.effects.end(),
                                    [](const Effect& e) { return e.kind == Effect::Kind::OfferScore; });
    ASSERT_NE(offer, outcome.effects.end());
    EXPECT_EQ(offer->score, ship.score());
}

}  // namespace
