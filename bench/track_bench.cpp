// Road generation: building the road out to distance 10 000 the way a run
// does (one Track::update per frame at top speed), and one culling and
// generation step on its own.
#include <benchmark/benchmark.h>

#include "game/plate.h"
#include "game/track.h"
#include "support/gl_context.h"

namespace {

// Top speed 40 units/s at about 57 frames per second.
constexpr float kStepPerUpdate = 40.0f / 57.0f;

bool haveContext() {
    static GlContext ctx(1280, 720);  // plates need the GL context for their renderer
    return ctx.ok();
}

void BM_TrackUpdateTo10000(benchmark::State& state) {
    if (!haveContext()) {
        state.SkipWithError("no GL context");
        return;
    }
    std::size_t plates = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Track* track = new Track();
        state.ResumeTiming();
        for (float distance = 0.0f; distance < 10000.0f; distance += kStepPerUpdate) track->update(distance);
        benchmark::DoNotOptimize(track->frontier);
        state.PauseTiming();
        plates = track->plates.size();
        delete track;
        state.ResumeTiming();
    }
    state.counters["live plates"] = static_cast<double>(plates);
}
BENCHMARK(BM_TrackUpdateTo10000)->Unit(benchmark::kMillisecond);

void BM_CullAndGenerateTo10000(benchmark::State& state) {
    if (!haveContext()) {
        state.SkipWithError("no GL context");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        Track* track = new Track();
        state.ResumeTiming();
        // Every 50th update at top speed.
        for (float distance = 0.0f; distance < 10000.0f; distance += 50.0f * kStepPerUpdate) {
            track->distance = distance;
            track->cullAndGenerate();
        }
        benchmark::DoNotOptimize(track->frontier);
        state.PauseTiming();
        delete track;
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CullAndGenerateTo10000)->Unit(benchmark::kMillisecond);

// One step as the game takes it: 50 updates' worth of road at top speed
// culled behind and generated ahead, in the block-on-every-plate stretch
// (distance 2000 .. 10 000, so float precision stays what a run sees).
void BM_CullAndGenerateStep(benchmark::State& state) {
    if (!haveContext()) {
        state.SkipWithError("no GL context");
        return;
    }
    Track* track = new Track();
    track->distance = 2000.0f;
    track->cullAndGenerate();
    for (auto _ : state) {
        track->distance += 50.0f * kStepPerUpdate;
        track->cullAndGenerate();
        benchmark::DoNotOptimize(track->plates.data());
        if (track->distance > 10000.0f) {
            state.PauseTiming();
            track->distance = 2000.0f;
            track->plates.clear();
            track->frontier = 2000.0f;
            track->cullAndGenerate();
            state.ResumeTiming();
        }
    }
    state.counters["live plates"] = static_cast<double>(track->plates.size());
    delete track;
}
BENCHMARK(BM_CullAndGenerateStep)->Unit(benchmark::kMicrosecond);

// What a reset costs: a new Track with its sheet, program and first 200 units.
void BM_NewTrack(benchmark::State& state) {
    if (!haveContext()) {
        state.SkipWithError("no GL context");
        return;
    }
    for (auto _ : state) {
        Track* track = new Track();
        benchmark::DoNotOptimize(track->plates.data());
        delete track;
    }
}
BENCHMARK(BM_NewTrack)->Unit(benchmark::kMillisecond);

}  // namespace
