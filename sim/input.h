#pragma once
// What the player asks of one simulation step: the actions held, the taps
// not yet used, and which of Left and Right went down last. The screens make
// one from the key table per step; a recorded list of them replays a run.

#include <array>
#include <optional>

// PadBack is the gamepad's B: it pauses a run and leaves the game-over screen
// like Back, but never quits from the title menu. PadStart is the gamepad's
// Start: the same, and it also resumes a paused run.
enum class Action : int {
    Left = 0,
    Right = 1,
    Up = 2,
    Down = 3,
    Jump = 4,
    Back = 5,
    ClearLog = 6,
    PadBack = 7,
    PadStart = 8
};

constexpr int kActionCount = 9;

struct InputSnapshot {
    bool isHeld(Action a) const { return held[index(a)]; }
    // a is held and went down after b (or b is up): the later key wins. Only
    // for Left and Right, the pair whose order the snapshot keeps.
    bool isHeldOver(Action a, Action b) const {
        return held[index(a)] && (!held[index(b)] || laterOfLeftRight == a);
    }
    // Reports a tap once, and marks it used so that the key table can drop it.
    bool takeTap(Action a) {
        if (!tapped[index(a)]) return false;
        tapped[index(a)] = false;
        taken[index(a)] = true;
        return true;
    }

    static constexpr int index(Action a) { return static_cast<int>(a); }

    std::array<bool, kActionCount> held{};
    std::array<bool, kActionCount> tapped{};
    // Left or Right, whichever was pressed later; none when both went down at
    // the same instant.
    std::optional<Action> laterOfLeftRight;
    // Taps this step used (takeTap).
    std::array<bool, kActionCount> taken{};

    bool operator==(const InputSnapshot&) const = default;
};
