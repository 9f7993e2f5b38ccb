#include "platform/settings.h"

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <string_view>

#include "platform/userstore.h"

namespace {

constexpr const char* kFile = "settings";
// Far more than the file ever needs; a larger one is not ours.
constexpr std::size_t kMaxFileSize = 4096;

std::string_view trimmed(std::string_view text) {
    const std::string_view blanks = " \t\r";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// Reads `key = value` lines into `settings`; "" or what is wrong, naming the
// line. Blank lines and lines starting with '#' are for people.
std::string parse(std::string_view text, Settings& settings) {
    int number = 0;
    while (!text.empty()) {
        ++number;
        std::size_t end = text.find('\n');
        std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#') continue;

        const std::string where = "line " + std::to_string(number);
        std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) return where + " is not `key = value`";
        std::string_view key = trimmed(line.substr(0, equals));
        std::string_view value = trimmed(line.substr(equals + 1));
        bool flag = false;
        if (value == "true") {
            flag = true;
        } else if (value != "false") {
            return where + ": the value of " + std::string(key) + " is neither true nor false";
        }
        if (key == "fullscreen") {
            settings.fullscreen = flag;
        } else if (key == "mute") {
            settings.mute = flag;
        } else {
            return where + ": unknown setting '" + std::string(key) + "'";
        }
    }
    return {};
}

}  // namespace

std::string configFolder() {
    // $XDG_CONFIG_HOME/Orvo/Vimbrot, else $HOME/.config/Orvo/Vimbrot.
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        config = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        config = std::string(home) + "/.config";
    } else {
        return {};
    }
    return config + "/Orvo/Vimbrot";
}

LoadedSettings loadSettings() {
    LoadedSettings loaded;
    const std::string folder = configFolder();
    if (folder.empty()) return loaded;  // nowhere to keep any: the defaults, as on a first start
    char buffer[kMaxFileSize];
    std::size_t size = sizeof buffer;
    const std::string path = folder + "/" + kFile;
    switch (UserStore::readFile(folder, kFile, buffer, size)) {
        case UserStore::Status::NotFound:
            return loaded;
        case UserStore::Status::Failed:
            loaded.problem = "Cannot read the settings " + path + ": " + UserStore::failureText(errno) +
                             "; the defaults are used";
            return loaded;
        case UserStore::Status::Ok:
            break;
    }
    const std::string_view text(buffer, size);
    Settings read;
    std::string garbled = text.find('\0') != std::string_view::npos ? "it holds a NUL byte" : parse(text, read);
    if (!garbled.empty()) {
        loaded.problem = "The settings " + path + " are not understood (" + garbled + "); the defaults are used";
        return loaded;
    }
    loaded.settings = read;
    return loaded;
}

std::string saveSettings(const Settings& settings) {
    const std::string folder = configFolder();
    if (folder.empty()) return "Cannot keep the settings: neither XDG_CONFIG_HOME nor HOME is an absolute path";
    const std::string text = std::string("fullscreen = ") + (settings.fullscreen ? "true" : "false") + "\n" +
                             "mute = " + (settings.mute ? "true" : "false") + "\n";
    if (!UserStore::makePrivateFolders(folder) ||
        UserStore::replaceFile(folder, kFile, text.data(), text.size()) != UserStore::Status::Ok) {
        return "Cannot keep the settings in " + folder + "/" + kFile + ": " + UserStore::failureText(errno);
    }
    return {};
}
