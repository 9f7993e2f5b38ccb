#pragma once
// The player's choices that outlive a run. On Linux a small text file a
// person can read and edit, $XDG_CONFIG_HOME/Orvo/Vimbrot/settings
// ($HOME/.config when XDG_CONFIG_HOME is unset or not absolute), of
// `key = value` lines; another platform keeps the same two values its own
// way behind this interface.

#include <string>

struct Settings {
    bool fullscreen = false;
    bool mute = false;
};

struct LoadedSettings {
    Settings settings;
    // Empty when the settings were read or there were none yet; otherwise
    // why the defaults stand in (worth one log record).
    std::string problem;
};

// The remembered settings, or the defaults.
LoadedSettings loadSettings();

// Remembers the settings, replacing the old ones whole. Returns "" or why
// they could not be kept (the old ones then stay as they were).
std::string saveSettings(const Settings& settings);

// The folder of the player's own files for the game (the settings file's
// folder on Linux; %APPDATA%\Orvo\Vimbrot on Windows); "" when no absolute
// folder is known. It may not exist yet.
std::string configFolder();
