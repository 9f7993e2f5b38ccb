// Road generation: building the road out to distance 10 000 the way a run
// does (one Road::update per frame at top speed), and one culling and
// generation step on its own. The road is the simulation's alone: no GL.
#include <benchmark/benchmark.h>

#include <memory>

#include "sim/road.h"

namespace {

// Top speed 40 units/s at about 57 frames per second.
constexpr float kStepPerUpdate = 40.0f / 57.0f;

void BM_RoadUpdateTo10000(benchmark::State& state) {
    std::size_t plates = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto road = std::make_unique<Road>();
        state.ResumeTiming();
        for (float distance = 0.0f; distance < 10000.0f; distance += kStepPerUpdate) road->update(distance);
        benchmark::DoNotOptimize(road->frontier);
        state.PauseTiming();
        plates = road->plates.size();
        road.reset();
        state.ResumeTiming();
    }
    state.counters["live plates"] = static_cast<double>(plates);
}
BENCHMARK(BM_RoadUpdateTo10000)->Unit(benchmark::kMillisecond);

void BM_CullAndGenerateTo10000(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto road = std::make_unique<Road>();
        state.ResumeTiming();
        // Every 50th update at top speed.
        for (float distance = 0.0f; distance < 10000.0f; distance += 50.0f * kStepPerUpdate) {
            road->distance = distance;
            road->cullAndGenerate();
        }
        benchmark::DoNotOptimize(road->frontier);
        state.PauseTiming();
        road.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CullAndGenerateTo10000)->Unit(benchmark::kMillisecond);

// One step as the game takes it: 50 updates' worth of road at top speed
// culled behind and generated ahead, in the block-on-every-plate stretch
// (distance 2000 .. 10 000, so float precision stays what a run sees).
void BM_CullAndGenerateStep(benchmark::State& state) {
    Road road;
    road.distance = 2000.0f;
    road.cullAndGenerate();
    for (auto _ : state) {
        road.distance += 50.0f * kStepPerUpdate;
        road.cullAndGenerate();
        benchmark::DoNotOptimize(road.plates.data());
        if (road.distance > 10000.0f) {
            state.PauseTiming();
            road.distance = 2000.0f;
            road.plates.clear();
            road.frontier = 2000.0f;
            road.cullAndGenerate();
            state.ResumeTiming();
        }
    }
    state.counters["live plates"] = static_cast<double>(road.plates.size());
}
BENCHMARK(BM_CullAndGenerateStep)->Unit(benchmark::kMicrosecond);

// What a reset costs: a new road with its first 200 units (the road's look
// is built once and stays).
void BM_NewRoad(benchmark::State& state) {
    for (auto _ : state) {
        auto road = std::make_unique<Road>();
        benchmark::DoNotOptimize(road->plates.data());
    }
}
BENCHMARK(BM_NewRoad)->Unit(benchmark::kMicrosecond);

}  // namespace
