// Benchmark entry: runs in a temporary working directory with its own HOME.
#include <benchmark/benchmark.h>

#include "support/sandbox.h"

int main(int argc, char** argv) {
    if (!enterSandbox("vimbrot-bench")) return 3;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    leaveSandbox();
    return 0;
}
