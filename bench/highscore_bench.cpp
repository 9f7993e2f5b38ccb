// What reading and saving the store cost (the game reads it once at start and
// saves off the frame loop); Sound::play of a cached effect runs in the
// middle of a frame.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "game/highscore.h"
#include "orvo3d/sound.h"
#include "support/services.h"

static void BM_HighScoreLoad(benchmark::State& state) {
    HighScore::save(123456789);
    HighScore::ReadReport report;
    for (auto _ : state) benchmark::DoNotOptimize(HighScore::load(report));
    if (HighScore::load(report) != 123456789) state.SkipWithError("stored score did not read back");
}
BENCHMARK(BM_HighScoreLoad)->Repetitions(5)->ReportAggregatesOnly(true);

static void BM_HighScoreSave(benchmark::State& state) {
    std::int64_t score = 0;
    for (auto _ : state) HighScore::save(++score);
}
BENCHMARK(BM_HighScoreSave)->Repetitions(3)->ReportAggregatesOnly(true);

// A cached effect on the dummy driver (override with SDL_AUDIODRIVER=disk).
static void BM_SoundPlayCached(benchmark::State& state) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    Sound& sound = testSound();
    if (!sound.engine) {
        state.SkipWithError("no audio engine");
        return;
    }
    sound.play("data/menu.wav");  // decoded here, once
    for (auto _ : state) sound.play("data/menu.wav");
}
BENCHMARK(BM_SoundPlayCached)->Repetitions(5)->ReportAggregatesOnly(true);
