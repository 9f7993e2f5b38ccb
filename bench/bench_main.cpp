// Benchmark entry: runs in a temporary working directory with its own HOME.
#include <benchmark/benchmark.h>

#include "game/input.h"
#include "orvo3d/service.h"
#include "orvo3d/sound.h"
#include "support/sandbox.h"

int main(int argc, char** argv) {
    if (!enterSandbox("vimbrot-bench")) return 3;
    benchmark::Initialize(&argc, argv);
    {
        // The services without GL, as the application owns them; each
        // GlContext owns the GL ones.
        ServiceOwner<Input> input;
        ServiceOwner<Sound> sound;
        benchmark::RunSpecifiedBenchmarks();
    }
    benchmark::Shutdown();
    leaveSandbox();
    return 0;
}
