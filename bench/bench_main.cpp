// Benchmark entry: runs in a temporary working directory with its own HOME.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include <unistd.h>

#include "support/sandbox.h"

namespace {
std::filesystem::path sandboxRoot;
}

const std::filesystem::path& sandboxDirectory() { return sandboxRoot; }

int main(int argc, char** argv) {
    char pattern[] = "/tmp/vimbrot-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 3;
    sandboxRoot = pattern;
    std::filesystem::create_directories(sandboxRoot / "home");
    setenv("HOME", (sandboxRoot / "home").c_str(), 1);
    setenv("XDG_DATA_HOME", (sandboxRoot / "home/.local/share").c_str(), 1);
    // Mesa keeps its shader cache under the passwd home unless told otherwise.
    setenv("XDG_CACHE_HOME", (sandboxRoot / "home/.cache").c_str(), 1);
    if (chdir(sandboxRoot.c_str()) != 0) return 3;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (chdir("/") == 0) {
        std::error_code ignored;
        std::filesystem::remove_all(sandboxRoot, ignored);
    }
    return 0;
}
