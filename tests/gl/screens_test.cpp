// What the screens do with key taps: the menu's codes, moves and sounds, the
// game-over screen, pausing and resuming inside Game::update, and a tap
// handed from the end of a run to the game-over screen through the real
// screen machine.
#include "gl/game_fixture.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "game/gameloop.h"
#include "game/gameover.h"
#include "game/mainloop.h"
#include "game/menu.h"
#include "game/track.h"
#include "sim/player.h"

namespace {

const char* const kMove = "data/menu.wav";
const char* const kSelect = "data/select.wav";

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
    Input::instance().applyGamepad(pad, glfwGetTime());
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

struct MenuCase {
    const char* name;
    std::vector<Action> taps;
    int selectionBefore;
    int result;
    int selectionAfter;
    int moveSounds;
    int selectSounds;
    std::vector<Action> stillPending;  // taps the menu did not look at
};

void PrintTo(const MenuCase& c, std::ostream* os) { *os << c.name; }

const MenuCase kMenuCases[] = {
    {"BackBeforeAnyOtherTap", {Action::Down, Action::Jump, Action::ClearLog, Action::Back}, 0, 2, 0, 0, 0,
     {Action::Down, Action::Jump, Action::ClearLog}},
    {"DownMovesToExit", {Action::Down}, 0, 0, 1, 1, 0, {}},
    {"DownAtExitStaysWithASound", {Action::Down}, 1, 0, 1, 1, 0, {}},
    {"UpMovesToStart", {Action::Up}, 1, 0, 0, 1, 0, {}},
    {"UpAtStartStaysWithASound", {Action::Up}, 0, 0, 0, 1, 0, {}},
    {"DownAndUpCancelWithTwoSounds", {Action::Up, Action::Down}, 0, 0, 0, 2, 0, {}},
    {"JumpOnStartStarts", {Action::Jump}, 0, 1, 0, 0, 1, {}},
    {"JumpOnExitQuitsSilently", {Action::Jump}, 1, 2, 1, 0, 0, {}},
    {"DownThenJumpInOneFrameQuits", {Action::Jump, Action::Down}, 0, 2, 1, 1, 0, {}},
    {"NoTapStays", {}, 1, 0, 1, 0, 0, {}},
    {"PadBackNeverQuitsAndIsDropped", {Action::PadBack}, 0, 0, 0, 0, 0, {}},
    {"PadBackOnExitNeverQuits", {Action::PadBack}, 1, 0, 1, 0, 0, {}},
    {"PadStartNeverQuitsAndIsDropped", {Action::PadStart}, 0, 0, 0, 0, 0, {}},
    {"PadStartOnExitNeverQuits", {Action::PadStart}, 1, 0, 1, 0, 0, {}},
    {"SteeringIsNotLookedAt", {Action::Left, Action::Right}, 0, 0, 0, 0, 0, {Action::Left, Action::Right}},
};

class GLMenuUpdate : public GameGlTest, public testing::WithParamInterface<MenuCase> {};

TEST_P(GLMenuUpdate, CodesSelectionAndSounds) {
    const MenuCase& c = GetParam();
    Menu menu{best};
    menu.selection = c.selectionBefore;
    tap(c.taps);
    sounds.clear();
    EXPECT_EQ(menu.update(), c.result);
    EXPECT_EQ(menu.selection, c.selectionAfter);
    EXPECT_EQ(sounds.playing(kMove), c.moveSounds);
    EXPECT_EQ(sounds.playing(kSelect), c.selectSounds);
    for (Action a : kAllActions) {
        const bool kept = std::find(c.stillPending.begin(), c.stillPending.end(), a) != c.stillPending.end();
        EXPECT_EQ(pendingOf(a), kept ? 3 : 0) << "action " << static_cast<int>(a);
    }

    // Taps are used up: the next frame without keys stays, selection kept.
    resetInput();
    sounds.clear();
    EXPECT_EQ(menu.update(), 0);
    EXPECT_EQ(menu.selection, c.selectionAfter);
    EXPECT_EQ(sounds.playing(kMove) + sounds.playing(kSelect), 0);
}

INSTANTIATE_TEST_SUITE_P(Taps, GLMenuUpdate, testing::ValuesIn(kMenuCases),
                         [](const testing::TestParamInfo<MenuCase>& info) { return std::string(info.param.name); });

class GLScreens : public GameGlTest {};

TEST_F(GLScreens, MenuF12EmptiesTheLog) {
    Menu menu{best};
    writeFile("message.log", "ERROR (2024-01-01 00:00:00)\n => game/menu.cpp:1\nold\n\n");
    EXPECT_EQ(menu.update(), 0);
    EXPECT_FALSE(readLog().empty()) << "no tap, no clearing";
    tap({Action::ClearLog});
    EXPECT_EQ(menu.update(), 0);
    EXPECT_TRUE(std::filesystem::exists("message.log"));
    EXPECT_EQ(readLog(), "");
    EXPECT_EQ(menu.selection, 0);
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

class GLGameOverUpdate : public GameGlTest, public testing::WithParamInterface<GameOverCase> {};

TEST_P(GLGameOverUpdate, LeavesOnBackOrJumpWithTheSelectSound) {
    const GameOverCase& c = GetParam();
    GameOver gameOver{best};
    EXPECT_EQ(gameOver.score, 0);
    tap(c.taps);
    sounds.clear();
    EXPECT_EQ(gameOver.update(), c.stays);
    EXPECT_EQ(sounds.playing(kSelect), c.stays ? 0 : 1);
    for (Action a : kAllActions) {
        const bool kept = std::find(c.stillPending.begin(), c.stillPending.end(), a) != c.stillPending.end();
        EXPECT_EQ(pendingOf(a), kept ? 3 : 0) << "action " << static_cast<int>(a);
    }
}

INSTANTIATE_TEST_SUITE_P(Taps, GLGameOverUpdate, testing::ValuesIn(kGameOverCases),
                         [](const testing::TestParamInfo<GameOverCase>& info) { return std::string(info.param.name); });

// Everything a game update may move.
struct WorldState {
    float x, y, z, speed, verticalSpeed, time;
    float distance;
    std::uint32_t trackUpdates;
    std::size_t plates;

    bool operator==(const WorldState&) const = default;
};

WorldState worldOf(const Game& game) {
    const Player& p = *game.player;
    return {p.x, p.y, p.z, p.speed, p.verticalSpeed, p.time, game.track->distance, game.track->updateCount,
            game.track->plates.size()};
}

class GLGameUpdate : public GameGlTest {
protected:
    void SetUp() override {
        GameGlTest::SetUp();
        if (HasFatalFailure()) return;
        game = std::make_unique<Game>(best);
        // A little way into the run: resting on the first plate.
        for (int i = 0; i < 20; ++i) ASSERT_TRUE(game->update(kFrameDt));
    }

    std::unique_ptr<Game> game;
};

TEST_F(GLGameUpdate, BackPausesAtOnceTheWorldStandsStillAndJumpResumes) {
    ASSERT_FALSE(game->paused);
    tap({Action::Back});
    sounds.clear();
    WorldState before = worldOf(*game);
    EXPECT_TRUE(game->update(kFrameDt));
    EXPECT_TRUE(game->paused) << "paused in the update that saw the tap";
    EXPECT_EQ(worldOf(*game), before) << "nothing moves in the pausing update";
    EXPECT_EQ(sounds.playing(kSelect), 0) << "pausing is silent";

    // Paused: Back again and any other tap change nothing; nothing moves.
    for (int i = 0; i < 10; ++i) {
        if (i == 2) tap({Action::Back});
        if (i == 4) tap({Action::Left, Action::Down, Action::ClearLog});
        sounds.clear();
        EXPECT_TRUE(game->update(kFrameDt)) << i;
        EXPECT_TRUE(game->paused) << i;
        EXPECT_EQ(worldOf(*game), before) << i;
        EXPECT_EQ(sounds.playing(kSelect), 0) << i;
    }

    tap({Action::Jump});
    sounds.clear();
    EXPECT_TRUE(game->update(kFrameDt));
    EXPECT_FALSE(game->paused);
    EXPECT_EQ(sounds.playing(kSelect), 1) << "resuming plays the select sound";
    EXPECT_EQ(worldOf(*game), before) << "the resuming update does not advance the world";

    EXPECT_TRUE(game->update(kFrameDt));
    EXPECT_GT(game->player->z, before.z);
    EXPECT_GT(game->player->time, before.time);
    EXPECT_EQ(game->track->updateCount, before.trackUpdates + 1);
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

class GLPadPause : public GLGameUpdate, public testing::WithParamInterface<PadPauseCase> {};

TEST_P(GLPadPause, PausesAndResumesWithThePad) {
    const PadPauseCase& c = GetParam();
    tapPad(c.pauseWith);
    WorldState before = worldOf(*game);
    sounds.clear();
    EXPECT_TRUE(game->update(kFrameDt));
    EXPECT_TRUE(game->paused) << "one tap pauses, and does not resume in the same update";
    EXPECT_EQ(worldOf(*game), before);
    EXPECT_EQ(sounds.playing(kSelect), 0);
    EXPECT_TRUE(game->update(kFrameDt));
    EXPECT_TRUE(game->paused);

    tapPad(c.thenTap);
    sounds.clear();
    EXPECT_TRUE(game->update(kFrameDt));
    EXPECT_EQ(game->paused, !c.resumes);
    EXPECT_EQ(sounds.playing(kSelect), c.resumes ? 1 : 0);
    EXPECT_EQ(worldOf(*game), before) << "the resuming update does not advance the world";

    // The resuming tap is used up: the run goes on unpaused.
    EXPECT_TRUE(game->update(kFrameDt));
    EXPECT_EQ(game->paused, !c.resumes);
    EXPECT_EQ(game->player->z > before.z, c.resumes);
}

INSTANTIATE_TEST_SUITE_P(Pad, GLPadPause, testing::ValuesIn(kPadPauseCases),
                         [](const testing::TestParamInfo<PadPauseCase>& info) { return std::string(info.param.name); });

TEST_F(GLGameUpdate, BackAndJumpPendingTogetherPauseAndResumeInOneUpdate) {
    tap({Action::Back, Action::Jump});
    sounds.clear();
    WorldState before = worldOf(*game);
    EXPECT_TRUE(game->update(kFrameDt));
    EXPECT_FALSE(game->paused);
    EXPECT_EQ(sounds.playing(kSelect), 1);
    EXPECT_EQ(worldOf(*game), before);
    EXPECT_EQ(pendingOf(Action::Jump), 0);
}

TEST_F(GLGameUpdate, ResetStartsTheSameRoadUnpaused) {
    std::vector<glm::vec3> first;
    for (const auto& plate : game->track->plates) first.push_back(plate->position);
    tap({Action::Back});
    game->update(kFrameDt);
    ASSERT_TRUE(game->paused);
    game->reset();
    EXPECT_FALSE(game->paused);
    EXPECT_EQ(game->player->z, 0.0f);
    EXPECT_EQ(game->player->y, 0.01f);
    ASSERT_GE(game->track->plates.size(), first.size());
    for (std::size_t i = 0; i < first.size(); ++i) EXPECT_EQ(game->track->plates[i]->position, first[i]) << i;
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

class GLHandOver : public GameGlTest, public testing::WithParamInterface<HandOverCase> {
protected:
    // Holding Left from the start steers the ship off the first plate; the
    // run ends when it drops below -10. Returns the updates the run took.
    static int updatesOfARunSteeringLeft(Game& game) {
        game.reset();
        resetInput();
        pressKey(GLFW_KEY_LEFT);
        int updates = 1;
        while (game.update(kFrameDt)) {
            if (++updates > 1000) return -1;
        }
        resetInput();
        return updates;
    }
};

TEST_P(GLHandOver, NothingFromTheRunLeavesTheGameOverScreen) {
    const HandOverCase& c = GetParam();
    Game game{best};
    Menu menu{best};
    GameOver gameOver{best};
    windowEvents().attach(ctx.window);
    Input::instance().releaseFrames = 3;

    const int runLength = updatesOfARunSteeringLeft(game);
    ASSERT_GT(runLength, 30);

    // START from the menu, then the same run through the screen machine.
    ScreenState state = ScreenState::Menu;
    bool quit = false;
    tap({Action::Jump});
    state = runScreens(state, kFrameDt, game, menu, gameOver, quit);
    ASSERT_EQ(state, ScreenState::Playing);
    pressKey(GLFW_KEY_LEFT);
    for (int update = 1; update <= runLength; ++update) {
        ASSERT_EQ(state, ScreenState::Playing) << "update " << update;
        if (update == runLength - c.fromEnd + 1) c.inTheRun();
        if (update <= runLength - 5) {
            // The early frames without their (slow, software-rendered) drawing.
            ASSERT_TRUE(game.update(kFrameDt));
        } else {
            state = runScreens(state, kFrameDt, game, menu, gameOver, quit);
        }
    }
    ASSERT_EQ(state, ScreenState::GameOver) << "the run ends in the same update as before";
    EXPECT_EQ(gameOver.score, game.score());
    releaseKey(GLFW_KEY_LEFT);
    for (Action a : {Action::Jump, Action::Back, Action::PadBack, Action::PadStart}) {
        EXPECT_EQ(pendingOf(a), 0) << "no tap from the run is left, action " << static_cast<int>(a);
    }

    c.onTheScreen();
    sounds.clear();
    state = runScreens(state, kFrameDt, game, menu, gameOver, quit);
    EXPECT_EQ(state, c.leaves ? ScreenState::Menu : ScreenState::GameOver);
    EXPECT_EQ(sounds.playing(kSelect), c.leaves ? 1 : 0);
    EXPECT_FALSE(quit);
    EXPECT_EQ(menu.selection, 0);
    if (c.leaves) return;

    // The screen stays until a press made on it: one tap leaves it.
    for (int i = 0; i < 3; ++i) {
        state = runScreens(state, kFrameDt, game, menu, gameOver, quit);
        ASSERT_EQ(state, ScreenState::GameOver);
    }
    tapKey(GLFW_KEY_ENTER);
    sounds.clear();
    state = runScreens(state, kFrameDt, game, menu, gameOver, quit);
    EXPECT_EQ(state, ScreenState::Menu);
    EXPECT_EQ(sounds.playing(kSelect), 1);
}

INSTANTIATE_TEST_SUITE_P(EndOfRun, GLHandOver, testing::ValuesIn(kHandOverCases),
                         [](const testing::TestParamInfo<HandOverCase>& info) { return std::string(info.param.name); });

}  // namespace
