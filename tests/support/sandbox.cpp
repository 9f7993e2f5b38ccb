#include "support/sandbox.h"

#include <cstdlib>
#include <string>

#include <unistd.h>

namespace {

std::filesystem::path sandboxRoot;

}  // namespace

bool enterSandbox(const char* prefix) {
    std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) return false;
    sandboxRoot = pattern;
    std::filesystem::create_directories(sandboxRoot / "home");
    setenv("HOME", (sandboxRoot / "home").c_str(), 1);
    setenv("XDG_DATA_HOME", (sandboxRoot / "home/.local/share").c_str(), 1);
    // Mesa keeps its shader cache under the passwd home unless told otherwise.
    setenv("XDG_CACHE_HOME", (sandboxRoot / "home/.cache").c_str(), 1);
    return chdir(sandboxRoot.c_str()) == 0;
}

void leaveSandbox() {
    if (chdir("/") != 0) return;
    std::error_code ignored;
    std::filesystem::remove_all(sandboxRoot, ignored);
}

const std::filesystem::path& sandboxDirectory() { return sandboxRoot; }

void setVariable(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }

void unsetVariable(const char* name) { unsetenv(name); }

void clearUserStore() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data == nullptr || data[0] != '/') return;
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(data) / "Orvo", ignored);
}
