#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "game/mainloop.h"

namespace {

TEST(WindowSize, LargeWindowOnlyOnMonitorsWiderAndTallerThanIt) {
    struct Case {
        int monitorWidth, monitorHeight, width, height;
    };
    const Case cases[] = {
        {1920, 1080, 1280, 720},  {1920, 1200, 1920, 1080}, {2560, 1080, 1280, 720},
        {1680, 1050, 1280, 720},  {2560, 1440, 1920, 1080}, {1920, 1081, 1920, 1080},
        {1919, 1200, 1280, 720},  {3840, 2160, 1920, 1080}, {1280, 720, 1280, 720},
        {1024, 768, 1280, 720},   {0, 0, 1280, 720},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.monitorWidth << "x" << c.monitorHeight);
        WindowSize size = chooseWindowSize(c.monitorWidth, c.monitorHeight);
        EXPECT_EQ(size.width, c.width);
        EXPECT_EQ(size.height, c.height);
    }
}

TEST(FrameStep, ElapsedTimeIsClampedToOneThirtieth) {
    const float cap = static_cast<float>(1.0 / 30.0);
    struct Case {
        double elapsed;
        float step;
    };
    const Case cases[] = {
        {0.0176667, static_cast<float>(0.0176667)},
        {0.03, static_cast<float>(0.03)},
        {1.0 / 30.0, cap},
        {0.0333334, cap},
        {0.5, cap},
        {12.75, cap},  // the first frame counts all of start-up
        {1e9, cap},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.elapsed);
        EXPECT_EQ(frameStep(c.elapsed), c.step);
    }
}

// Screens that write down what the loop asks of them.
struct Journal {
    std::vector<std::string> calls;
};

struct FakeGame {
    Journal& journal;
    bool keepRunning = true;
    bool paused = false;
    std::int64_t runScore = 0;
    bool update(float dt) {
        journal.calls.push_back("game.update " + std::to_string(dt));
        return keepRunning;
    }
    void render() { journal.calls.push_back("game.render"); }
    void reset() { journal.calls.push_back("game.reset"); }
    std::int64_t score() {
        journal.calls.push_back("game.score");
        return runScore;
    }
};

struct FakeMenu {
    Journal& journal;
    int choice = 0;
    int update() {
        journal.calls.push_back("menu.update");
        return choice;
    }
    void render() { journal.calls.push_back("menu.render"); }
};

struct FakeGameOver {
    Journal& journal;
    bool stay = true;
    std::int64_t shown = -1;
    void setScore(std::int64_t score) {
        shown = score;
        journal.calls.push_back("gameover.setScore " + std::to_string(score));
    }
    void takeOver() { journal.calls.push_back("gameover.takeOver"); }
    bool update() {
        journal.calls.push_back("gameover.update");
        return stay;
    }
    void render() { journal.calls.push_back("gameover.render"); }
};

class Screens : public testing::Test {
protected:
    // Runs one frame and returns what the screens were asked, in order.
    std::vector<std::string> frame(float dt = 0.025f) {
        journal.calls.clear();
        state = runScreens(state, dt, game, menu, gameOver, quit);
        return journal.calls;
    }

    using Calls = std::vector<std::string>;
    Journal journal;
    FakeGame game{journal};
    FakeMenu menu{journal};
    FakeGameOver gameOver{journal};
    ScreenState state = ScreenState::Menu;
    bool quit = false;
};

TEST_F(Screens, MenuStaysUntilAChoice) {
    for (int other : {0, 3, -1}) {
        menu.choice = other;
        EXPECT_EQ(frame(), (Calls{"menu.update", "menu.render"}));
        EXPECT_EQ(state, ScreenState::Menu);
        EXPECT_FALSE(quit);
    }
}

TEST_F(Screens, StartResetsTheGameInTheSameFrameAndTheMenuStillDraws) {
    menu.choice = 1;
    EXPECT_EQ(frame(), (Calls{"menu.update", "game.reset", "menu.render"}));
    EXPECT_EQ(state, ScreenState::Playing);
    EXPECT_FALSE(quit);
    // The first game update comes in the next frame, with that frame's step.
    EXPECT_EQ(frame(0.03f), (Calls{"game.update " + std::to_string(0.03f), "game.render"}));
}

TEST_F(Screens, ExitQuitsAfterTheMenuFrameIsDrawn) {
    menu.choice = 2;
    EXPECT_EQ(frame(), (Calls{"menu.update", "menu.render"}));
    EXPECT_TRUE(quit);
    EXPECT_EQ(state, ScreenState::Menu);
}

TEST_F(Screens, RunEndHandsTheScoreOverAndTheGameDrawsThatFrame) {
    state = ScreenState::Playing;
    EXPECT_EQ(frame(), (Calls{"game.update " + std::to_string(0.025f), "game.render"}));
    EXPECT_EQ(state, ScreenState::Playing);

    game.keepRunning = false;
    game.runScore = 5'000'000'123;  // beyond 32 bits
    EXPECT_EQ(frame(), (Calls{"game.update " + std::to_string(0.025f), "game.score",
                              "gameover.setScore 5000000123", "gameover.takeOver", "game.render"}));
    EXPECT_EQ(state, ScreenState::GameOver);
    EXPECT_EQ(gameOver.shown, 5'000'000'123);

    // The game-over screen takes over in the next frame, already holding the score.
    EXPECT_EQ(frame(), (Calls{"gameover.update", "gameover.render"}));
    EXPECT_EQ(state, ScreenState::GameOver);
    gameOver.stay = false;
    EXPECT_EQ(frame(), (Calls{"gameover.update", "gameover.render"}));
    EXPECT_EQ(state, ScreenState::Menu);
    EXPECT_FALSE(quit);
}

// A window closed in any state: the frame runs as usual in its state and
// the loop's quit flag is left set.
TEST_F(Screens, QuitFromTheWindowSurvivesAFrameInEveryState) {
    for (ScreenState s : {ScreenState::Menu, ScreenState::Playing, ScreenState::GameOver}) {
        SCOPED_TRACE(static_cast<int>(s));
        state = s;
        quit = true;
        frame();
        EXPECT_EQ(state, s);
        EXPECT_TRUE(quit);
    }
}

TEST(Interruption, PausesARunAndNothingElse) {
    struct Case {
        ScreenState state;
        bool interrupted, pausedBefore, pausedAfter;
    };
    const Case cases[] = {
        {ScreenState::Playing, true, false, true},   {ScreenState::Playing, true, true, true},
        {ScreenState::Playing, false, false, false}, {ScreenState::Menu, true, false, false},
        {ScreenState::GameOver, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.state) << " " << c.interrupted << " " << c.pausedBefore);
        Journal journal;
        FakeGame game{journal};
        game.paused = c.pausedBefore;
        pauseOnInterruption(c.state, c.interrupted, game);
        EXPECT_EQ(game.paused, c.pausedAfter);
        EXPECT_TRUE(journal.calls.empty()) << "nothing is updated or drawn for it";
    }
}

}  // namespace
