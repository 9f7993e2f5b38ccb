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

// The remembered settings, or the defaults for what cannot be read (on
// Linux a line that is not understood gives its key alone the default).
LoadedSettings loadSettings();

// The settings the player changes one at a time (M, F11).
enum class SettingKey { Fullscreen, Mute };

// Remembers one setting and leaves everything else as it is, also when
// another game changes its own setting at the same moment. On Linux the
// file is read and replaced under a lock beside it, and only the line of
// the key changes (one is added when there is none); every other line a
// person wrote stays as it was. A file that cannot be read is left as it is.
// Returns "" or why the setting could not be kept.
std::string changeSetting(SettingKey key, bool value);

// The folder of the player's own files for the game (the settings file's
// folder on Linux; %APPDATA%\Orvo\Vimbrot on Windows); "" when no absolute
// folder is known. It may not exist yet.
std::string configFolder();
