// The screen's answer to a step's events: each event's sound in the order
// of the events, and at the end of a run the best-score save, on the real
// mixer (SDL's disk driver) and a real store in the test's HOME.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "game/bestscore.h"
#include "game/highscore.h"
#include "game/stepevents.h"
#include "platform/userstore.h"
#include "support/effect_probe.h"
#include "support/sandbox.h"

namespace {

class StepEvents : public testing::Test {
protected:
    void SetUp() override {
        EffectProbe::useDiskDriver();
        ASSERT_TRUE(sounds.ready()) << "the disk audio driver did not start";
        sounds.clear();
    }

    // The clips on the effect channels, first channel first: the mixer gives
    // each new effect the lowest free channel, so this is the play order.
    std::vector<Mix_Chunk*> effectsInOrder() const {
        std::vector<Mix_Chunk*> order;
        for (int channel = Sound::kMusicChannel + 1; channel < Mix_AllocateChannels(-1); ++channel) {
            if (Mix_Playing(channel) != 0) order.push_back(Mix_GetChunk(channel));
        }
        return order;
    }
    Mix_Chunk* clip(const char* path) const { return Sound::instance().load(path).chunk.get(); }

    EffectProbe sounds;
};

// The events' own test, with a best of its own.
class StepEventsSounds : public StepEvents {
protected:
    BestScore best;
};

TEST_F(StepEventsSounds, EachEventPlaysItsSoundInOrder) {
    Player player(5);
    answerEvents({{EventKind::Jumped},
                  {EventKind::Landed},
                  {EventKind::Crashed},
                  {EventKind::FellOff},
                  {EventKind::Resumed},
                  {EventKind::Lost}},
                 player, best);
    const std::vector<Mix_Chunk*> expected = {clip("data/jump.wav"), clip("data/crash.wav"), clip("data/falloff.wav"),
                                              clip("data/select.wav"), clip("data/crash.wav")};
    for (Mix_Chunk* chunk : expected) ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(effectsInOrder(), expected) << "landing is silent; the rest sound in the order reported";
    EXPECT_EQ(player.best, 5) << "only the end of a run reads the store";

    sounds.clear();
    answerEvents({}, player, best);
    EXPECT_TRUE(effectsInOrder().empty());
}

// The stored best as the original store wrote it, padded so that a fresh
// save of the same number gives different bytes.
void storePaddedBest(const char* digits) {
    std::string plain = std::string("VIMBROT_DATA_STRUCT_FOR_HIGHSCORE::::") + digits;
    const std::string hex = HighScore::encryptToHex(plain.c_str());
    ASSERT_EQ(UserStore::createKey("", "Orvo"), UserStore::Status::Ok);
    ASSERT_EQ(UserStore::createKey("Orvo", "Vimbrot"), UserStore::Status::Ok);
    ASSERT_EQ(UserStore::setValue("Orvo/Vimbrot", "Data", hex.c_str(), hex.size() + 1), UserStore::Status::Ok);
}

std::string storedBytes() { return readFile(std::filesystem::path(UserStore::rootFolder()) / "Orvo/Vimbrot/data"); }

struct SaveCase {
    const char* name;
    std::int64_t score;
    std::int64_t expectedBest;
    bool saves;
};

void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.name; }

const SaveCase kSaveCases[] = {
    {"Lower", 511, 512, false},
    {"Equal", 512, 512, false},
    {"Greater", 513, 513, true},
};

class StepEventsSave : public StepEvents, public testing::WithParamInterface<SaveCase> {};

// The end of a run reads the stored best into the player (the corner shows
// it) and saves only a greater score; the crash of that step still sounds.
TEST_P(StepEventsSave, OnlyAGreaterScoreIsSavedAtTheEndOfTheRun) {
    const SaveCase& c = GetParam();
    storePaddedBest("000512");
    ASSERT_FALSE(HasFatalFailure());
    BestScore best;
    ASSERT_EQ(best.value(), 512);
    const std::string before = storedBytes();
    ASSERT_FALSE(before.empty());

    Player player(0);
    answerEvents({{EventKind::Lost}, {EventKind::RunEnded, c.score}}, player, best);
    EXPECT_EQ(player.best, 512) << "the best before the run";
    EXPECT_EQ(best.value(), c.expectedBest) << "at once, while the save may still be on its way";
    best.finish();
    EXPECT_EQ(best.value(), c.expectedBest);
    HighScore::ReadReport report;
    EXPECT_EQ(HighScore::load(report), c.expectedBest);
    if (c.saves) {
        EXPECT_NE(storedBytes(), before);
    } else {
        EXPECT_EQ(storedBytes(), before) << "nothing may be written";
    }
    EXPECT_EQ(sounds.playing("data/crash.wav"), 1);
}

// How many times each race below is run: a few in the suite, hundreds from
// bench/save_races.sh.
int raceTrials() {
    const char* trials = std::getenv("VIMBROT_SAVE_RACE_TRIALS");
    return trials != nullptr ? std::max(1, std::atoi(trials)) : 20;
}

// Games whose runs end at the same moment, each with a score of its own, over
// a stored best of 10: whichever reads or writes first, the largest score is
// the one that stays.
TEST(RunsEndingAtOnce, TheLargestScoreAlwaysSurvives) {
    const std::int64_t scores[] = {500, 1000, 250, 750};
    for (int games : {2, 4}) {
        int lost = 0;
        const int trials = raceTrials();
        for (int trial = 0; trial < trials; ++trial) {
            storePaddedBest("10");
            ASSERT_FALSE(HasFatalFailure());
            // The games wait on one pipe and all go when its last writer closes.
            int gate[2];
            ASSERT_EQ(::pipe(gate), 0);
            std::vector<pid_t> children;
            for (int game = 0; game < games; ++game) {
                const std::int64_t score = scores[(game + trial) % games];
                pid_t child = ::fork();
                ASSERT_GE(child, 0);
                if (child == 0) {
                    ::close(gate[1]);
                    char byte = 0;
                    if (::read(gate[0], &byte, 1) != 0) ::_exit(2);
                    Player player(0);
                    BestScore best;
                    answerEvents({{EventKind::RunEnded, score}}, player, best);
                    best.finish();
                    ::_exit(0);
                }
                children.push_back(child);
            }
            ::close(gate[0]);
            ::close(gate[1]);
            for (pid_t child : children) {
                int status = 0;
                ASSERT_EQ(::waitpid(child, &status, 0), child);
                ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            }
            // 1000 is among the scores of two games and of four.
            HighScore::ReadReport report;
            lost += HighScore::load(report) != 1000;
        }
        EXPECT_EQ(lost, 0) << games << " games: a lower score replaced the largest in " << lost << " of " << trials
                           << " trials";
    }
}

INSTANTIATE_TEST_SUITE_P(Scores, StepEventsSave, testing::ValuesIn(kSaveCases),
                         [](const testing::TestParamInfo<SaveCase>& info) { return std::string(info.param.name); });

}  // namespace
