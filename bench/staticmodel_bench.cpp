// Building the player's ship model: the whole StaticModel (GLB parse, image
// decode and upload, vertex fill, buffer upload, both shader programs), and
// the GLB load on its own for comparison.
#include <benchmark/benchmark.h>

#include "orvo3d/gltf2.h"
#include "orvo3d/staticmodel.h"
#include "support/gl_context.h"

namespace {

void BM_StaticModelShip(benchmark::State& state) {
    GlContext ctx(1280, 720);
    if (!ctx.ok()) {
        state.SkipWithError("no GL context");
        return;
    }
    std::size_t faces = 0;
    for (auto _ : state) {
        StaticModel model("data/ship");
        glFinish();
        faces = model.parts.empty() ? 0 : model.parts.back().firstFace + model.parts.back().faceCount;
        benchmark::DoNotOptimize(model.vbo);
    }
    state.counters["faces"] = static_cast<double>(faces);
}
BENCHMARK(BM_StaticModelShip)->Unit(benchmark::kMillisecond);

void BM_LoadGltfShip(benchmark::State& state) {
    for (auto _ : state) {
        GltfModel model = loadGltfBinary("data/ship");
        benchmark::DoNotOptimize(model.accessors.data());
    }
}
BENCHMARK(BM_LoadGltfShip)->Unit(benchmark::kMicrosecond);

}  // namespace
