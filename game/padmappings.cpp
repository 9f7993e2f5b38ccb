#include "game/padmappings.h"

#include <GLFW/glfw3.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "orvo3d/log.h"
#include "platform/settings.h"

namespace {

constexpr const char* kModule = "game/padmappings";
constexpr const char* kFileName = "gamecontrollerdb.txt";
constexpr const char* kVariable = "SDL_GAMECONTROLLERCONFIG";
// SDL's whole community list is well under 1 MiB; anything far larger is
// not a mapping file.
constexpr std::uintmax_t kMaxFileSize = 8u << 20;

enum class Read { Ok, Missing, Failed };

// The file's bytes, or why not. Only a regular file (or a link to one) is
// opened, so a FIFO in its place cannot stall the start.
Read readMappingFile(const std::filesystem::path& path, std::string& text, std::string& problem) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) return Read::Missing;
    if (error) {
        problem = error.message();
        return Read::Failed;
    }
    if (status.type() != std::filesystem::file_type::regular) {
        problem = "not a regular file";
        return Read::Failed;
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxFileSize) {
        problem = error ? error.message() : "larger than 8 MiB";
        return Read::Failed;
    }
    // Read through the stream's own read(), which turns a failing read (a
    // failing disk, a network mount) into its bad state; the stream buffer's
    // iterators would let that failure out as an exception that ends the start.
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open()) {
        problem = std::string("cannot be opened: ") + std::strerror(errno);
        return Read::Failed;
    }
    char buffer[65536];
    errno = 0;
    while (text.size() <= kMaxFileSize && in.read(buffer, sizeof buffer)) text.append(buffer, sizeof buffer);
    if (!in.bad()) text.append(buffer, static_cast<std::size_t>(in.gcount()));
    const int why = errno;
    const bool failed = in.bad();
    if (failed) {
        problem = std::string("cannot be read: ") + std::strerror(why != 0 ? why : EIO);
        text.clear();
        return Read::Failed;
    }
    if (text.size() > kMaxFileSize) {
        problem = "larger than 8 MiB";
        text.clear();
        return Read::Failed;
    }
    return Read::Ok;
}

// GLFW reads at most this many characters of a line, and skips a longer
// line, or one that does not start with a hex digit, without an error.
constexpr std::size_t kMaxLine = 1023;

bool startsWithHexDigit(const std::string& line) {
    return !line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) != 0;
}

}  // namespace

std::string padMappingFile() {
    const std::string folder = configFolder();
    if (folder.empty()) return "";
    return (std::filesystem::path(folder) / kFileName).string();
}

bool addPadMappings(const std::string& text, const std::string& source) {
    // GLFW reads up to the first NUL: text after one would be lost unseen.
    if (text.find('\0') != std::string::npos) {
        Logger::error(kModule, __LINE__, "Gamepad mappings from %s not used: they hold a NUL byte", source.c_str());
        return false;
    }
    // The lines GLFW would skip in silence are refused here, one record each;
    // blank lines and comments are no mappings and pass unremarked.
    std::string lines;
    bool allTaken = true;
    std::size_t number = 0;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;
        if (line.size() > kMaxLine) {
            Logger::error(kModule, __LINE__, "Gamepad mapping line %zu of %s not used: %zu characters, more than %zu",
                          number, source.c_str(), line.size(), kMaxLine);
            allTaken = false;
        } else if (!startsWithHexDigit(line)) {
            Logger::error(kModule, __LINE__, "Gamepad mapping line %zu of %s not used: it does not start with a GUID",
                          number, source.c_str());
            allTaken = false;
        } else {
            lines += line;
            lines += '\n';
        }
    }
    if (lines.empty()) return allTaken;
    glfwGetError(nullptr);  // only what this call reports counts
    const int taken = glfwUpdateGamepadMappings(lines.c_str());
    const char* description = nullptr;
    const int code = glfwGetError(&description);
    if (taken == GLFW_TRUE && code == GLFW_NO_ERROR) return allTaken;
    Logger::error(kModule, __LINE__, "Gamepad mappings from %s not understood (%s); the lines GLFW could read are used",
                  source.c_str(), description != nullptr ? description : "GLFW gave no reason");
    return false;
}

std::vector<PadMappingSource> loadPadMappings() {
    std::vector<PadMappingSource> sources;
    if (const std::string path = padMappingFile(); !path.empty()) {
        std::string text, problem;
        switch (readMappingFile(path, text, problem)) {
            case Read::Missing: break;
            case Read::Failed:
                Logger::error(kModule, __LINE__, "Cannot read the gamepad mappings %s: %s", path.c_str(),
                              problem.c_str());
                break;
            case Read::Ok: sources.push_back({path, addPadMappings(text, path)}); break;
        }
    }
    if (const char* variable = std::getenv(kVariable); variable != nullptr && variable[0] != '\0') {
        sources.push_back({kVariable, addPadMappings(variable, kVariable)});
    }
    return sources;
}

void UnmappedPads::check(int slot, const JoystickSlot& seen) {
    if (slot < 0 || slot >= static_cast<int>(reported.size())) return;
    const bool unmapped = seen.present && !seen.gamepad;
    if (!unmapped) {
        reported[slot] = false;
        return;
    }
    if (reported[slot]) return;
    reported[slot] = true;
    const std::string file = padMappingFile();
    Logger::error(kModule, __LINE__,
                  "Joystick \"%s\" has no gamepad mapping, so the game cannot read it. Its GUID is %s: add a "
                  "mapping line starting with it to %s or to SDL_GAMECONTROLLERCONFIG",
                  seen.name.c_str(), seen.guid.c_str(), file.empty() ? kFileName : file.c_str());
}

void reportUnmappedPads(UnmappedPads& pads) {
    for (int jid = GLFW_JOYSTICK_1; jid <= GLFW_JOYSTICK_LAST; ++jid) {
        JoystickSlot seen;
        seen.present = glfwJoystickPresent(jid) == GLFW_TRUE;
        seen.gamepad = seen.present && glfwJoystickIsGamepad(jid) == GLFW_TRUE;
        if (seen.present && !seen.gamepad && !pads.reported[jid]) {
            // Asked only when there is something to report; a pad that goes
            // away meanwhile gives null.
            const char* name = glfwGetJoystickName(jid);
            const char* guid = glfwGetJoystickGUID(jid);
            seen.name = name != nullptr ? name : "(no name)";
            seen.guid = guid != nullptr ? guid : "(unknown)";
        }
        pads.check(jid, seen);
    }
}
