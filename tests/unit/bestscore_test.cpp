// The best score as the game keeps it, over a real store in the test's HOME:
// the end of a run offers its score, which is saved only when it beats the
// stored best, and games whose runs end at once leave the largest stored.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "game/bestscore.h"
#include "game/highscore.h"
#include "platform/userstore.h"
#include "support/sandbox.h"

namespace {

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

class BestScoreOffer : public testing::TestWithParam<SaveCase> {};

// The end of a run gives back the stored best before it (the corner shows
// it) and saves only a greater score.
TEST_P(BestScoreOffer, OnlyAGreaterScoreIsSaved) {
    const SaveCase& c = GetParam();
    storePaddedBest("000512");
    ASSERT_FALSE(HasFatalFailure());
    BestScore best;
    ASSERT_EQ(best.value(), 512);
    const std::string before = storedBytes();
    ASSERT_FALSE(before.empty());

    EXPECT_EQ(best.offer(c.score), 512) << "the best before the run";
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

    // The next run's end starts from the best this one left.
    EXPECT_EQ(best.offer(c.score), c.expectedBest);
    best.finish();
    EXPECT_EQ(HighScore::load(report), c.expectedBest);
    EXPECT_EQ(countOf(readLog(), "ERROR"), 0) << readLog();
}

INSTANTIATE_TEST_SUITE_P(Scores, BestScoreOffer, testing::ValuesIn(kSaveCases),
                         [](const testing::TestParamInfo<SaveCase>& info) { return std::string(info.param.name); });

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
                    // As a game keeps its best: read at its start, offered
                    // the run's score, the save waited for on the way out.
                    BestScore best;
                    best.offer(score);
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

}  // namespace
