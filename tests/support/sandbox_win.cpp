// The Windows form of the test sandbox: a fresh folder under the system's
// temporary folder, made the working directory, with USERPROFILE, HOME and
// APPDATA/LOCALAPPDATA pointing inside it.
#include "support/sandbox.h"

#include <stdlib.h>
#include <windows.h>

#include <string>

namespace {

std::filesystem::path sandboxRoot;

}  // namespace

bool enterSandbox(const char* prefix) {
    std::error_code failed;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(failed);
    if (failed) return false;
    // The process id and a counter make the name unique; create_directory
    // reports whether it was new.
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        std::filesystem::path candidate =
            temp / (std::string(prefix) + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt));
        if (std::filesystem::create_directory(candidate, failed)) {
            sandboxRoot = candidate;
            break;
        }
    }
    if (sandboxRoot.empty()) return false;
    std::filesystem::create_directories(sandboxRoot / "home/AppData/Local", failed);
    setVariable("HOME", (sandboxRoot / "home").string());
    setVariable("USERPROFILE", (sandboxRoot / "home").string());
    setVariable("APPDATA", (sandboxRoot / "home/AppData/Roaming").string());
    setVariable("LOCALAPPDATA", (sandboxRoot / "home/AppData/Local").string());
    std::filesystem::current_path(sandboxRoot, failed);
    return !failed;
}

void leaveSandbox() {
    std::error_code ignored;
    std::filesystem::current_path(sandboxRoot.root_path(), ignored);
    std::filesystem::remove_all(sandboxRoot, ignored);
}

const std::filesystem::path& sandboxDirectory() { return sandboxRoot; }

void setVariable(const char* name, const std::string& value) { _putenv_s(name, value.c_str()); }

// An empty value removes the variable.
void unsetVariable(const char* name) { _putenv_s(name, ""); }

// The registry outlives the test program (it belongs to the Wine prefix):
// the store is emptied by the tests that use it.
void clearUserStore() { RegDeleteTreeA(HKEY_CURRENT_USER, "SOFTWARE\\Orvo"); }
