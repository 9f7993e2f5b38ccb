#pragma once
// Gamepad mappings beyond GLFW's own, in SDL's mapping format: the lines of
// the environment variable SDL_GAMECONTROLLERCONFIG and of the file
// "gamecontrollerdb.txt" in the game's config folder. A joystick that no
// mapping covers is named once per connection in the log, with the GUID a
// mapping line for it starts with.

#include <array>
#include <string>
#include <vector>

// Where the player's mapping file is looked for; "" when no config folder is
// known.
std::string padMappingFile();

// Hands GLFW the mapping lines of text. A line GLFW would skip without a
// word (one that does not start with a hex digit, or longer than 1023
// characters) is refused here with one ERROR record naming its number and
// the source; blank lines and lines starting with '#' are skipped. False
// when a line was refused or GLFW reports an error (one ERROR record naming
// the source); the lines that could be read are used all the same. Needs
// GLFW initialised.
bool addPadMappings(const std::string& text, const std::string& source);

struct PadMappingSource {
    std::string name;  // the file's path, or the environment variable's name
    bool accepted;     // every mapping line was taken
};

// Loads the file's mappings, then the environment's (so a line there wins
// over one for the same pad in the file). A missing file or an unset
// variable is no problem; an unreadable file is one ERROR record. Returns
// the sources handed to GLFW, in that order. Call once, after glfwInit.
std::vector<PadMappingSource> loadPadMappings();

// One joystick slot as GLFW shows it in a frame.
struct JoystickSlot {
    bool present = false;
    bool gamepad = false;  // GLFW has a mapping for it
    std::string name;
    std::string guid;
};

// Names each joystick without a mapping once per connection: a slot is
// reported when it first shows such a joystick, and again only after it
// has been empty (or mapped) in between.
class UnmappedPads {
public:
    void check(int slot, const JoystickSlot& seen);

    std::array<bool, 16> reported{};
};

// Reads GLFW's joystick slots and reports the unmapped ones not yet
// reported to `pads`; once a frame.
void reportUnmappedPads(UnmappedPads& pads);
