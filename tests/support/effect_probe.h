#pragma once
// Counting the sound effects the mixer starts, on SDL's disk driver.

#include <SDL2/SDL_mixer.h>

#include <cstdlib>

#include "orvo3d/sound.h"
#include "support/sandbox.h"
#include "support/services.h"

// Sounds the mixer has started. The disk driver is told to wait minutes
// between buffers, so a started effect stays on its channel until clear();
// counting the channels that hold a clip therefore counts its plays.
class EffectProbe {
public:
    // Before the first use of the test process's Sound.
    static void useDiskDriver() {
        setVariable("SDL_AUDIODRIVER", "disk");
        setVariable("SDL_DISKAUDIOFILE", (sandboxDirectory() / "mixed.raw").string());
        setVariable("SDL_DISKAUDIODELAY", "600000");
    }

    bool ready() const { return testSound().engine != nullptr; }

    void clear() const { Mix_HaltChannel(-1); }

    // Channels now playing the clip of `path`.
    int playing(const char* path) const {
        Mix_Chunk* chunk = testSound().load(path).chunk.get();
        if (chunk == nullptr) return -1;
        int count = 0;
        for (int channel = 0; channel < Mix_AllocateChannels(-1); ++channel) {
            count += Mix_Playing(channel) != 0 && Mix_GetChunk(channel) == chunk;
        }
        return count;
    }
};
