// Benchmark entry: runs in a temporary working directory with its own HOME.
#include <benchmark/benchmark.h>

#include "support/sandbox.h"
#include "support/services.h"

int main(int argc, char** argv) {
    if (!enterSandbox("vimbrot-bench")) return 3;
    benchmark::Initialize(&argc, argv);
    {
        // The services without GL, as the application owns them; each
        // GlContext owns the GL ones. Gone before the sandbox is.
        TestServices services;
        benchmark::RunSpecifiedBenchmarks();
    }
    benchmark::Shutdown();
    leaveSandbox();
    return 0;
}
