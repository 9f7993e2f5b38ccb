#include "platform/settings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/userstore.h"

// On Windows the two choices are values of the game's registry key, beside
// the best score: "Fullscreen" and "Mute", each the text "true" or "false".

namespace {

constexpr std::string_view kKey = "Orvo/Vimbrot";

struct Entry {
    const char* name;
    bool Settings::*field;
};
constexpr Entry kEntries[] = {{"Fullscreen", &Settings::fullscreen}, {"Mute", &Settings::mute}};

}  // namespace

LoadedSettings loadSettings() {
    LoadedSettings loaded;
    for (const Entry& entry : kEntries) {
        char text[16] = {};
        std::size_t size = sizeof text - 1;
        UserStore::Status status = UserStore::queryValue(kKey, entry.name, text, size);
        if (status == UserStore::Status::NotFound) continue;
        if (status != UserStore::Status::Ok) {
            loaded.problem = std::string("cannot read ") + UserStore::valuePath(kKey, entry.name) + ": " +
                             UserStore::failureText(errno);
            return LoadedSettings{Settings{}, loaded.problem};
        }
        std::string_view value(text, strnlen(text, size));
        if (value == "true" || value == "false") {
            loaded.settings.*entry.field = value == "true";
        } else {
            return LoadedSettings{Settings{}, UserStore::valuePath(kKey, entry.name) + " holds neither true nor false"};
        }
    }
    return loaded;
}

std::string changeSetting(SettingKey key, bool value) {
    const Entry& entry = kEntries[key == SettingKey::Fullscreen ? 0 : 1];
    if (UserStore::createKey("", "Orvo") != UserStore::Status::Ok ||
        UserStore::createKey("Orvo", "Vimbrot") != UserStore::Status::Ok) {
        return "cannot create " + UserStore::keyPath(kKey) + ": " + UserStore::failureText(errno);
    }
    // A value of its own: the other one stays as whichever game wrote it last.
    const char* text = value ? "true" : "false";
    if (UserStore::setValue(kKey, entry.name, text, std::strlen(text) + 1) != UserStore::Status::Ok) {
        return "cannot write " + UserStore::valuePath(kKey, entry.name) + ": " + UserStore::failureText(errno);
    }
    return "";
}

std::string configFolder() {
    // The user's roaming application data, where a player looks for a
    // program's own files; the registry holds only the two choices above.
    const char* appData = std::getenv("APPDATA");
    if (appData == nullptr || appData[0] == '\0') return "";
    return std::string(appData) + "\\Orvo\\Vimbrot";
}
