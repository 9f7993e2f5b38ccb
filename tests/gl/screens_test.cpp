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
        case Action::PadBack: break;  // no key: the pad's Start
    }
    return -1;
}

// Presses and lets go of a pad button through the gamepad seam.
void tapPad(int button) {
    GamepadState pad;
    pad.connected = true;
    pad.buttons[button] = true;
    Input::instance().applyGamepad(pad, glfwGetTime());
    pad.buttons[button] = false;
    Input::instance().applyGamepad(pad, glfwGetTime());
}

void tap(const std::vector<Action>& actions) {
    for (Action a : actions) {
        if (a == Action::PadBack) {
            tapPad(GLFW_GAMEPAD_BUTTON_START);
        } else {
            tapKey(keyFor(a));
        }
    }
}

const Action kAllActions[] = {Action::Left, Action::Right,    Action::Up,     Action::Down,
                              Action::Jump, Action::Back, Action::ClearLog, Action::PadBack};

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
    {"SteeringIsNotLookedAt", {Action::Left, Action::Right}, 0, 0, 0, 0, 0, {Action::Left, Action::Right}},
};

class GLMenuUpdate : public GameGlTest, public testing::WithParamInterface<MenuCase> {};

TEST_P(GLMenuUpdate, CodesSelectionAndSounds) {
    const MenuCase& c = GetParam();
    Menu menu;
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
    Menu menu;
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
    GameOver gameOver;
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
    return {p.x, p.y, p.z, p.speed, p.verticalSpeed, p.time, game.track->distance, Track::updateCount,
            game.track->plates.size()};
}

class GLGameUpdate : public GameGlTest {
protected:
    void SetUp() override {
        GameGlTest::SetUp();
        if (HasFatalFailure()) return;
        game = std::make_unique<Game>();
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
    EXPECT_EQ(Track::updateCount, before.trackUpdates + 1);
}

TEST_F(GLGameUpdate, PadStartPausesAndPadAResumes) {
    tap({Action::PadBack});
    WorldState before = worldOf(*game);
    EXPECT_TRUE(game->update(kFrameDt));
    EXPECT_TRUE(game->paused);
    EXPECT_EQ(worldOf(*game), before);
    EXPECT_TRUE(game->update(kFrameDt));
    EXPECT_TRUE(game->paused);

    tapPad(GLFW_GAMEPAD_BUTTON_A);
    sounds.clear();
    EXPECT_TRUE(game->update(kFrameDt));
    EXPECT_FALSE(game->paused);
    EXPECT_EQ(sounds.playing(kSelect), 1);
}

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

// A Jump tap released in the last two updates of a run is still pending when
// the game-over screen takes over; its first update uses it and goes back
// to the menu. Released one update earlier, it has aged out.
class GLHandOver : public GameGlTest, public testing::WithParamInterface<int> {
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

TEST_P(GLHandOver, JumpTapFromTheLastUpdatesReachesTheGameOverScreen) {
    const int releasedBeforeLast = GetParam();  // 1: before the last update, 2: before the one before...
    Game game;
    Menu menu;
    GameOver gameOver;
    Input::instance().attach(ctx.window, 3);

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
        if (update == runLength - releasedBeforeLast + 1) tap({Action::Jump});
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

    const bool handedOver = releasedBeforeLast <= 2;
    EXPECT_EQ(pendingOf(Action::Jump), handedOver ? 3 - releasedBeforeLast : 0);
    sounds.clear();
    state = runScreens(state, kFrameDt, game, menu, gameOver, quit);
    EXPECT_EQ(state, handedOver ? ScreenState::Menu : ScreenState::GameOver);
    EXPECT_EQ(sounds.playing(kSelect), handedOver ? 1 : 0);
    EXPECT_EQ(pendingOf(Action::Jump), 0);
    EXPECT_FALSE(quit);
    EXPECT_EQ(menu.selection, 0);
}

INSTANTIATE_TEST_SUITE_P(Release, GLHandOver, testing::Values(1, 2, 3),
                         [](const testing::TestParamInfo<int>& info) {
                             return "ReleasedBeforeUpdate" + std::to_string(info.param) + "FromTheEnd";
                         });

}  // namespace
