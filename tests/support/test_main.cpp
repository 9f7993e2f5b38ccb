// Test entry: each test process works in its own temporary directory, with
// HOME and XDG_DATA_HOME pointing inside it, and removes it afterwards.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "support/sandbox.h"

namespace {

std::filesystem::path sandboxRoot;

}  // namespace

const std::filesystem::path& sandboxDirectory() { return sandboxRoot; }

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    char pattern[] = "/tmp/vimbrot-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 3;
    sandboxRoot = pattern;
    std::filesystem::create_directories(sandboxRoot / "home");
    setenv("HOME", (sandboxRoot / "home").c_str(), 1);
    setenv("XDG_DATA_HOME", (sandboxRoot / "home/.local/share").c_str(), 1);
    // Mesa keeps its shader cache under the passwd home unless told otherwise.
    setenv("XDG_CACHE_HOME", (sandboxRoot / "home/.cache").c_str(), 1);
    // Tests that reach the sound engine without choosing a driver get a
    // silent one rather than "no device" records in their logs.
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    if (chdir(sandboxRoot.c_str()) != 0) return 3;
    int result = RUN_ALL_TESTS();
    if (chdir("/") == 0) {
        std::error_code ignored;
        std::filesystem::remove_all(sandboxRoot, ignored);
    }
    return result;
}
