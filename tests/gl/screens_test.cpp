// What the screens do with real key taps, frame by frame through the screen
// machine as the application runs it: the menu's choices, moves and sounds,
// the game-over screen, pausing and resuming a run, the taps each screen
// takes from the key table and the ones it leaves, a tap or a held key
// handed from the end of a run to the game-over screen, and a new run that
// goes on from the last road's update count.
#include "gl/game_fixture.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "game/gameloop.h"
#include "game/gameover.h"
#include "game/menu.h"
#include "game/screenmachine.h"
#include "sim/player.h"
#include "sim/road.h"

namespace {

int keyFor(Action a) {
    switch (a) {
        case Action::Left: return GLFW_KEY_LEFT;
        case Action::Right: return GLFW_KEY_D;
        case Action::Up: return GLFW_KEY_UP;
        case Action::Down: return GLFW_KEY_S;
        case Action::Jump: return GLFW_KEY_ENTER;
        case Action::Back: return GLFW_KEY_ESCAPE;
        case Action::ClearLog: return GLFW_KEY_F12;
        case Action::PadBack:   // no key: the pad's B
        case Action::PadStart: break;  // no key: the pad's Start
    }
    return -1;
}

// A pad button goes down or up through the gamepad seam; the other buttons
// stay as they were.
void padButton(int button, bool down) {
    static GamepadState pad;
    pad.connected = true;
    pad.buttons[button] = down;
    testInput().applyGamepad(pad, glfwGetTime());
}

void tapPad(int button) {
    padButton(button, true);
    padButton(button, false);
}

void tap(const std::vector<Action>& actions) {
    for (Action a : actions) {
        if (a == Action::PadBack) {
            tapPad(GLFW_GAMEPAD_BUTTON_B);
        } else if (a == Action::PadStart) {
            tapPad(GLFW_GAMEPAD_BUTTON_START);
        } else {
            tapKey(keyFor(a));
        }
    }
}

const Action kAllActions[] = {Action::Left, Action::Right,    Action::Up,      Action::Down,    Action::Jump,
                              Action::Back, Action::ClearLog, Action::PadBack, Action::PadStart};

// The three screens on the fixture's context, run as the application's
// frame loop runs them.
class GLScreens : public GameGlTest {
protected:
    void SetUp() override {
        GameGlTest::SetUp();
        if (HasFatalFailure()) return;
        screens = newScreens();
    }

    // One frame: the key table's input for the screen that is on (its taps
    // aged when a run is stepped), carried out and drawn. The pixels are the
    // screens' GL tests' concern; here the picture is a small corner of the
    // window, which keeps software-rendered runs quick.
    Outcome frame() {
        FrameInput input = collectFrame(testInput(), screens->state, kFrameDt, windowEvents().takeCommands());
        return screens->frame(input, kSmallTarget);
    }

    static constexpr RenderTarget kSmallTarget{0, 160, 90};

    std::unique_ptr<ScreenMachine> screens;
};

enum class Choice { Stay, Start, Exit };

struct MenuCase {
    const char* name;
    std::vector<Action> taps;
    int selectionBefore;
    Choice result;
    int selectionAfter;
    int moveSounds;
    int selectSounds;
    std::vector<Action> stillPending;  // taps the menu did not look at
};

void PrintTo(const MenuCase& c, std::ostream* os) { *os << c.name; }

const MenuCase kMenuCases[] = {
    {"BackBeforeAnyOtherTap", {Action::Down, Action::Jump, Action::ClearLog, Action::Back}, 0, Choice::Exit, 0, 0, 0,
     {Action::Down, Action::Jump, Action::ClearLog}},
    {"DownMovesToExit", {Action::Down}, 0, Choice::Stay, 1, 1, 0, {}},
    {"DownAtExitStaysWithASound", {Action::Down}, 1, Choice::Stay, 1, 1, 0, {}},
    {"UpMovesToStart", {Action::Up}, 1, Choice::Stay, 0, 1, 0, {}},
    {"UpAtStartStaysWithASound", {Action::Up}, 0, Choice::Stay, 0, 1, 0, {}},
    {"DownAndUpCancelWithTwoSounds", {Action::Up, Action::Down}, 0, Choice::Stay, 0, 2, 0, {}},
    {"JumpOnStartStarts", {Action::Jump}, 0, Choice::Start, 0, 0, 1, {}},
    {"JumpOnExitQuitsSilently", {Action::Jump}, 1, Choice::Exit, 1, 0, 0, {}},
    {"DownThenJumpInOneFrameQuits", {Action::Jump, Action::Down}, 0, Choice::Exit, 1, 1, 0, {}},
    {"NoTapStays", {}, 1, Choice::Stay, 1, 0, 0, {}},
    {"PadBackNeverQuitsAndIsDropped", {Action::PadBack}, 0, Choice::Stay, 0, 0, 0, {}},
    {"PadBackOnExitNeverQuits", {Action::PadBack}, 1, Choice::Stay, 1, 0, 0, {}},
    {"PadStartNeverQuitsAndIsDropped", {Action::PadStart}, 0, Choice::Stay, 0, 0, 0, {}},
    {"PadStartOnExitNeverQuits", {Action::PadStart}, 1, Choice::Stay, 1, 0, 0, {}},
    {"SteeringIsNotLookedAt", {Action::Left, Action::Right}, 0, Choice::Stay, 0, 0, 0, {Action::Left, Action::Right}},
};

class GLMenuFrame : public GLScreens, public testing::WithParamInterface<MenuCase> {};

TEST_P(GLMenuFrame, ChoiceSelectionSoundsAndTakenTaps) {
    const MenuCase& c = GetParam();
    ASSERT_EQ(screens->state, ScreenState::Menu) << "the game opens on the menu";
    screens->menu->selection = c.selectionBefore;
    tap(c.taps);
    sounds.clear();
    const Outcome outcome = frame();
    EXPECT_EQ(outcome.quit, c.result == Choice::Exit);
    EXPECT_EQ(outcome.newRun, c.result == Choice::Start);
    EXPECT_EQ(screens->state, c.result == Choice::Start ? ScreenState::Playing : ScreenState::Menu);
    EXPECT_EQ(screens->menu->selection, c.selectionAfter);
    EXPECT_EQ(sounds.playing(kMenuMoveSound), c.moveSounds);
    EXPECT_EQ(sounds.playing(kSelectSound), c.selectSounds);
    for (Action a : kAllActions) {
        const bool kept = std::find(c.stillPending.begin(), c.stillPending.end(), a) != c.stillPending.end();
        EXPECT_EQ(pendingOf(a), kept ? 3 : 0) << "action " << static_cast<int>(a);
    }

    // The menu's next frame without keys stays, its selection kept.
    resetInput();
    screens->state = ScreenState::Menu;
    sounds.clear();
    const Outcome next = frame();
    EXPECT_FALSE(next.quit);
    EXPECT_EQ(screens->state, ScreenState::Menu);
    EXPECT_EQ(screens->menu->selection, c.selectionAfter);
    EXPECT_EQ(sounds.playing(kMenuMoveSound) + sounds.playing(kSelectSound), 0);
}

INSTANTIATE_TEST_SUITE_P(Taps, GLMenuFrame, testing::ValuesIn(kMenuCases),
                         [](const testing::TestParamInfo<MenuCase>& info) { return std::string(info.param.name); });

TEST_F(GLScreens, MenuF12EmptiesTheLog) {
    writeFile("message.log", "ERROR (2024-01-01 00:00:00)\n => game/menu.cpp:1\nold\n\n");
    EXPECT_FALSE(frame().quit);
    EXPECT_FALSE(readLog().empty()) << "no tap, no clearing";
    tap({Action::ClearLog});
    EXPECT_FALSE(frame().quit);
    EXPECT_EQ(screens->state, ScreenState::Menu);
    EXPECT_TRUE(std::filesystem::exists("message.log"));
    EXPECT_EQ(readLog(), "");
    EXPECT_EQ(screens->menu->selection, 0);
    EXPECT_EQ(pendingOf(Action::ClearLog), 0);
}

struct GameOverCase {
    const char* name;
    std::vector<Action> taps;
    bool stays;
    std::vector<Action> stillPending;
};

void PrintTo(const GameOverCase& c, std::ostream* os) { *os << c.name; }

const GameOverCase kGameOverCases[] = {
    {"BackLeaves", {Action::Back}, false, {}},
    {"JumpLeaves", {Action::Jump}, false, {}},
    {"PadBackLeaves", {Action::PadBack}, false, {}},
    {"PadStartLeaves", {Action::PadStart}, false, {}},
    {"BackAndJumpLeaveOnceJumpStaysPending", {Action::Jump, Action::Back}, false, {Action::Jump}},
    {"NoTapStays", {}, true, {}},
    {"OtherTapsAreNotLookedAt",
     {Action::Left, Action::Right, Action::Up, Action::Down, Action::ClearLog},
     true,
     {Action::Left, Action::Right, Action::Up, Action::Down, Action::ClearLog}},
};

class GLGameOverFrame : public GLScreens, public testing::WithParamInterface<GameOverCase> {};

TEST_P(GLGameOverFrame, LeavesOnBackOrJumpWithTheSelectSound) {
    const GameOverCase& c = GetParam();
    screens->state = ScreenState::GameOver;
    EXPECT_EQ(screens->gameOver->score, 0);
    tap(c.taps);
    sounds.clear();
    const Outcome outcome = frame();
    EXPECT_FALSE(outcome.quit);
    EXPECT_EQ(screens->state, c.stays ? ScreenState::GameOver : ScreenState::Menu);
    EXPECT_EQ(sounds.playing(kSelectSound), c.stays ? 0 : 1);
    for (Action a : kAllActions) {
        const bool kept = std::find(c.stillPending.begin(), c.stillPending.end(), a) != c.stillPending.end();
        EXPECT_EQ(pendingOf(a), kept ? 3 : 0) << "action " << static_cast<int>(a);
    }
}

INSTANTIATE_TEST_SUITE_P(Taps, GLGameOverFrame, testing::ValuesIn(kGameOverCases),
                         [](const testing::TestParamInfo<GameOverCase>& info) { return std::string(info.param.name); });

// Everything a game update may move.
struct WorldState {
    float x, y, z, speed, verticalSpeed, time;
    float distance;
    std::uint32_t roadUpdates;
    std::size_t plates;

    bool operator==(const WorldState&) const = default;
};

WorldState worldOf(const Game& game) {
    const Player& p = *game.player;
    return {p.x, p.y, p.z, p.speed, p.verticalSpeed, p.time, game.road->distance, game.road->updateCount,
            game.road->plates.size()};
}

std::vector<glm::vec3> platesOf(const Road& road) {
    std::vector<glm::vec3> positions;
    for (const auto& plate : road.plates) positions.push_back(plate->position);
    return positions;
}

// A run started from the menu with a tap of Enter.
class GLGameFrame : public GLScreens {
protected:
    void SetUp() override {
        GLScreens::SetUp();
        if (HasFatalFailure()) return;
        tapKey(GLFW_KEY_ENTER);
        ASSERT_TRUE(frame().newRun);
        ASSERT_EQ(screens->state, ScreenState::Playing);
        // A little way into the run: resting on the first plate.
        for (int i = 0; i < 20; ++i) ASSERT_EQ(frame().next, ScreenState::Playing) << i;
    }

    Game& game() { return *screens->game; }
};

TEST_F(GLGameFrame, BackPausesAtOnceTheWorldStandsStillAndJumpResumes) {
    ASSERT_FALSE(game().paused);
    tap({Action::Back});
    sounds.clear();
    WorldState before = worldOf(game());
    EXPECT_EQ(frame().next, ScreenState::Playing);
    EXPECT_TRUE(game().paused) << "paused in the update that saw the tap";
    EXPECT_EQ(worldOf(game()), before) << "nothing moves in the pausing update";
    EXPECT_EQ(sounds.playing(kSelectSound), 0) << "pausing is silent";
    EXPECT_EQ(pendingOf(Action::Back), 0);

    // Paused: Back again and any other tap change nothing; nothing moves.
    for (int i = 0; i < 10; ++i) {
        if (i == 2) tap({Action::Back});
        if (i == 4) tap({Action::Left, Action::Down, Action::ClearLog});
        sounds.clear();
        EXPECT_EQ(frame().next, ScreenState::Playing) << i;
        EXPECT_TRUE(game().paused) << i;
        EXPECT_EQ(worldOf(game()), before) << i;
        EXPECT_EQ(sounds.playing(kSelectSound), 0) << i;
    }

    tap({Action::Jump});
    sounds.clear();
    EXPECT_EQ(frame().next, ScreenState::Playing);
    EXPECT_FALSE(game().paused);
    EXPECT_EQ(sounds.playing(kSelectSound), 1) << "resuming plays the select sound";
    EXPECT_EQ(worldOf(game()), before) << "the resuming update does not advance the world";
    EXPECT_EQ(pendingOf(Action::Jump), 0) << "the resuming tap is taken, no jump is left for the run";

    EXPECT_EQ(frame().next, ScreenState::Playing);
    EXPECT_GT(game().player->z, before.z);
    EXPECT_GT(game().player->time, before.time);
    EXPECT_EQ(game().road->updateCount, before.roadUpdates + 1);
}

// The pad's Start and B pause; A resumes, and so does Start, but not B.
struct PadPauseCase {
    const char* name;
    int pauseWith;
    int thenTap;
    bool resumes;
};

void PrintTo(const PadPauseCase& c, std::ostream* os) { *os << c.name; }

const PadPauseCase kPadPauseCases[] = {
    {"StartPausesAndAResumes", GLFW_GAMEPAD_BUTTON_START, GLFW_GAMEPAD_BUTTON_A, true},
    {"StartPausesAndStartResumes", GLFW_GAMEPAD_BUTTON_START, GLFW_GAMEPAD_BUTTON_START, true},
    {"BPausesAndStartResumes", GLFW_GAMEPAD_BUTTON_B, GLFW_GAMEPAD_BUTTON_START, true},
    {"BPausesAndBDoesNotResume", GLFW_GAMEPAD_BUTTON_B, GLFW_GAMEPAD_BUTTON_B, false},
    {"StartPausesAndXDoesNotResume", GLFW_GAMEPAD_BUTTON_START, GLFW_GAMEPAD_BUTTON_X, false},
};

class GLPadPause : public GLGameFrame, public testing::WithParamInterface<PadPauseCase> {};

TEST_P(GLPadPause, PausesAndResumesWithThePad) {
    const PadPauseCase& c = GetParam();
    tapPad(c.pauseWith);
    WorldState before = worldOf(game());
    sounds.clear();
    EXPECT_EQ(frame().next, ScreenState::Playing);
    EXPECT_TRUE(game().paused) << "one tap pauses, and does not resume in the same update";
    EXPECT_EQ(worldOf(game()), before);
    EXPECT_EQ(sounds.playing(kSelectSound), 0);
    EXPECT_EQ(frame().next, ScreenState::Playing);
    EXPECT_TRUE(game().paused);

    tapPad(c.thenTap);
    sounds.clear();
    EXPECT_EQ(frame().next, ScreenState::Playing);
    EXPECT_EQ(game().paused, !c.resumes);
    EXPECT_EQ(sounds.playing(kSelectSound), c.resumes ? 1 : 0);
    EXPECT_EQ(worldOf(game()), before) << "the resuming update does not advance the world";

    // The resuming tap is used up: the run goes on unpaused.
    EXPECT_EQ(frame().next, ScreenState::Playing);
    EXPECT_EQ(game().paused, !c.resumes);
    EXPECT_EQ(game().player->z > before.z, c.resumes);
}

INSTANTIATE_TEST_SUITE_P(Pad, GLPadPause, testing::ValuesIn(kPadPauseCases),
                         [](const testing::TestParamInfo<PadPauseCase>& info) { return std::string(info.param.name); });

TEST_F(GLGameFrame, BackAndJumpPendingTogetherPauseAndResumeInOneUpdate) {
    tap({Action::Back, Action::Jump});
    sounds.clear();
    WorldState before = worldOf(game());
    EXPECT_EQ(frame().next, ScreenState::Playing);
    EXPECT_FALSE(game().paused);
    EXPECT_EQ(sounds.playing(kSelectSound), 1);
    EXPECT_EQ(worldOf(game()), before);
    EXPECT_EQ(pendingOf(Action::Jump), 0);
    EXPECT_EQ(pendingOf(Action::Back), 0);
}

TEST_F(GLGameFrame, ResetStartsTheSameRoadUnpaused) {
    const std::vector<glm::vec3> first = platesOf(*game().road);
    tap({Action::Back});
    frame();
    ASSERT_TRUE(game().paused);
    game().reset(best.value());
    EXPECT_FALSE(game().paused);
    EXPECT_EQ(game().player->z, 0.0f);
    EXPECT_EQ(game().player->y, 0.01f);
    const std::vector<glm::vec3> again = platesOf(*game().road);
    ASSERT_GE(again.size(), first.size());
    for (std::size_t i = 0; i < first.size(); ++i) EXPECT_EQ(again[i], first[i]) << i;
}

// A run played to its end with the keys, back to the menu and START again:
// the new run is on the same road, whose update count goes on from where the
// last run's road left it, and its HUD shows the best the last run set.
TEST_F(GLScreens, ANewRunFromTheMenuGoesOnFromTheLastRoadsUpdateCount) {
    tapKey(GLFW_KEY_ENTER);
    ASSERT_TRUE(frame().newRun);
    const std::vector<glm::vec3> firstPlates = platesOf(*screens->game->road);
    const std::uint32_t start = screens->game->road->updateCount;

    // Holding Left steers the ship off the first plate.
    pressKey(GLFW_KEY_LEFT);
    int updates = 0;
    while (screens->state == ScreenState::Playing) {
        frame();
        ASSERT_LT(++updates, 1000) << "the run never ended";
    }
    releaseKey(GLFW_KEY_LEFT);
    ASSERT_EQ(screens->state, ScreenState::GameOver);
    const std::uint32_t atEnd = screens->game->road->updateCount;
    EXPECT_EQ(atEnd, start + static_cast<std::uint32_t>(updates) - 1)
        << "one road update a frame, but for the one that ends the run";
    EXPECT_EQ(screens->gameOver->score, screens->game->score());
    EXPECT_EQ(best.value(), screens->game->score()) << "the run's score was offered to the empty store";

    tapKey(GLFW_KEY_ENTER);
    frame();
    ASSERT_EQ(screens->state, ScreenState::Menu);
    tapKey(GLFW_KEY_ENTER);
    ASSERT_TRUE(frame().newRun);
    ASSERT_EQ(screens->state, ScreenState::Playing);
    EXPECT_EQ(screens->game->road->updateCount, atEnd) << "the new road starts from the last one's count";
    EXPECT_FALSE(screens->game->paused);
    EXPECT_EQ(screens->game->player->z, 0.0f);
    EXPECT_EQ(screens->game->player->best, best.value());
    const std::vector<glm::vec3> again = platesOf(*screens->game->road);
    ASSERT_GE(again.size(), firstPlates.size());
    for (std::size_t i = 0; i < firstPlates.size(); ++i) EXPECT_EQ(again[i], firstPlates[i]) << i;

    EXPECT_EQ(frame().next, ScreenState::Playing);
    EXPECT_EQ(screens->game->road->updateCount, atEnd + 1);
}

// The game-over screen is fair: Jump or Back pressed while the run was on
// never leaves it. Taps still pending when it takes over are dropped, and a
// key or pad control still down then counts only once released and pressed
// again. Each case acts in one of the run's last updates and again on the
// game-over screen, through the real screen machine.
struct HandOverCase {
    const char* name;
    int fromEnd;             // 1: before the last update, 2: before the one before...
    void (*inTheRun)();      // what the player does then
    void (*onTheScreen)();   // and after the hand-over, before the screen's first update
    bool leaves;             // whether that first update goes back to the menu
};

void PrintTo(const HandOverCase& c, std::ostream* os) { *os << c.name; }

void nothing() {}

const HandOverCase kHandOverCases[] = {
    {"JumpTapInTheLastUpdate", 1, [] { tapKey(GLFW_KEY_ENTER); }, nothing, false},
    {"JumpTapTwoUpdatesBefore", 2, [] { tapKey(GLFW_KEY_SPACE); }, nothing, false},
    {"JumpTapThreeUpdatesBefore", 3, [] { tapKey(GLFW_KEY_J); }, nothing, false},
    {"PadATapInTheLastUpdate", 1, [] { tapPad(GLFW_GAMEPAD_BUTTON_A); }, nothing, false},
    {"SpaceHeldThenLetGo", 2, [] { pressKey(GLFW_KEY_SPACE); }, [] { releaseKey(GLFW_KEY_SPACE); }, false},
    {"EscapeHeldThenLetGo", 1, [] { pressKey(GLFW_KEY_ESCAPE); }, [] { releaseKey(GLFW_KEY_ESCAPE); }, false},
    {"PadStartHeldThenLetGo", 1, [] { padButton(GLFW_GAMEPAD_BUTTON_START, true); },
     [] { padButton(GLFW_GAMEPAD_BUTTON_START, false); }, false},
    {"PadBHeldThenLetGo", 2, [] { padButton(GLFW_GAMEPAD_BUTTON_B, true); },
     [] { padButton(GLFW_GAMEPAD_BUTTON_B, false); }, false},
    {"PadAHeldThenLetGo", 1, [] { padButton(GLFW_GAMEPAD_BUTTON_A, true); },
     [] { padButton(GLFW_GAMEPAD_BUTTON_A, false); }, false},
    {"SpaceHeldLetGoAndPressedAgain", 1, [] { pressKey(GLFW_KEY_SPACE); },
     [] {
         releaseKey(GLFW_KEY_SPACE);
         tapKey(GLFW_KEY_SPACE);
     },
     true},
    {"SpaceHeldWhileEnterIsTapped", 1, [] { pressKey(GLFW_KEY_SPACE); }, [] { tapKey(GLFW_KEY_ENTER); }, true},
    {"EscapeHeldWhilePadBIsTapped", 1, [] { pressKey(GLFW_KEY_ESCAPE); }, [] { tapPad(GLFW_GAMEPAD_BUTTON_B); },
     true},
    {"PadAHeldLetGoAndPressedAgain", 2, [] { padButton(GLFW_GAMEPAD_BUTTON_A, true); },
     [] {
         padButton(GLFW_GAMEPAD_BUTTON_A, false);
         tapPad(GLFW_GAMEPAD_BUTTON_A);
     },
     true},
};

class GLHandOver : public GLScreens, public testing::WithParamInterface<HandOverCase> {
protected:
    // Holding Left from the start steers the ship off the first plate; the
    // run ends when it drops below -10. Returns the updates the run took.
    int updatesOfARunSteeringLeft() {
        Game& game = *screens->game;
        game.reset(best.value());
        for (int updates = 1; updates <= 1000; ++updates) {
            InputSnapshot input = holding({Action::Left});
            if (runEnded(game.step(kFrameDt, input))) return updates;
        }
        return -1;
    }
};

TEST_P(GLHandOver, NothingFromTheRunLeavesTheGameOverScreen) {
    const HandOverCase& c = GetParam();
    windowEvents().attach(ctx.window);

    const int runLength = updatesOfARunSteeringLeft();
    ASSERT_GT(runLength, 30);

    // START from the menu, then the same run with the keys.
    tapKey(GLFW_KEY_ENTER);
    frame();
    ASSERT_EQ(screens->state, ScreenState::Playing);
    pressKey(GLFW_KEY_LEFT);
    Outcome outcome;
    for (int update = 1; update <= runLength; ++update) {
        ASSERT_EQ(screens->state, ScreenState::Playing) << "update " << update;
        if (update == runLength - c.fromEnd + 1) c.inTheRun();
        outcome = frame();
    }
    ASSERT_EQ(screens->state, ScreenState::GameOver) << "the run ends in the same update as before";
    EXPECT_EQ(screens->gameOver->score, screens->game->score());
    releaseKey(GLFW_KEY_LEFT);
    for (Action a : {Action::Jump, Action::Back, Action::PadBack, Action::PadStart}) {
        EXPECT_EQ(pendingOf(a), 0) << "no tap from the run is left, action " << static_cast<int>(a);
    }

    c.onTheScreen();
    sounds.clear();
    outcome = frame();
    EXPECT_EQ(screens->state, c.leaves ? ScreenState::Menu : ScreenState::GameOver);
    EXPECT_EQ(sounds.playing(kSelectSound), c.leaves ? 1 : 0);
    EXPECT_FALSE(outcome.quit);
    EXPECT_EQ(screens->menu->selection, 0);
    if (c.leaves) return;

    // The screen stays until a press made on it: one tap leaves it.
    for (int i = 0; i < 3; ++i) {
        frame();
        ASSERT_EQ(screens->state, ScreenState::GameOver);
    }
    tapKey(GLFW_KEY_ENTER);
    sounds.clear();
    outcome = frame();
    EXPECT_EQ(screens->state, ScreenState::Menu);
    EXPECT_EQ(sounds.playing(kSelectSound), 1);
    EXPECT_FALSE(outcome.quit);
}

INSTANTIATE_TEST_SUITE_P(EndOfRun, GLHandOver, testing::ValuesIn(kHandOverCases),
                         [](const testing::TestParamInfo<HandOverCase>& info) { return std::string(info.param.name); });

}  // namespace
