#pragma once
// Shared pieces for tests of the ship and the road without GL: sounds that go
// to SDL's disk driver, keys pressed and released through the real key
// callback, roads laid by hand, and a probe of the effects the mixer starts.

#include <gtest/gtest.h>

#include "orvo3d/opengl.h"  // epoxy before GLFW's own GL header

#include <GLFW/glfw3.h>
#include <SDL2/SDL_mixer.h>

#include <cstdlib>
#include <initializer_list>
#include <memory>

#include "game/input.h"
#include "game/plate.h"
#include "game/track.h"
#include "orvo3d/sound.h"
#include "support/sandbox.h"

// The main loop's frame period (1/60 s + 1 ms) and its clamp after a stall.
constexpr float kFrameDt = 0.0176667f;
constexpr float kSlowDt = 1.0f / 30.0f;

// The centre height of a ship resting on a floor plate of the road (top at
// -0.535): half the ship's height and the 0.01 gap above the top.
constexpr double kRestY = -0.035;

// Sounds the mixer has started. The disk driver is told to wait minutes
// between buffers, so a started effect stays on its channel until clear();
// counting the channels that hold a clip therefore counts its plays.
class EffectProbe {
public:
    // Before the first use of Sound in the process.
    static void useDiskDriver() {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", (sandboxDirectory() / "mixed.raw").c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "600000", 1);
    }

    bool ready() const { return Sound::instance().engine != nullptr; }

    void clear() const { Mix_HaltChannel(-1); }

    // Channels now playing the clip of `path`.
    int playing(const char* path) const {
        Mix_Chunk* chunk = Sound::instance().load(path).chunk.get();
        if (chunk == nullptr) return -1;
        int count = 0;
        for (int channel = 0; channel < Mix_AllocateChannels(-1); ++channel) {
            count += Mix_Playing(channel) != 0 && Mix_GetChunk(channel) == chunk;
        }
        return count;
    }
};

// Keys as GLFW reports them to the game.
inline void pressKey(int key) { keyCallback(nullptr, key, 0, GLFW_PRESS, 0); }
inline void releaseKey(int key) { keyCallback(nullptr, key, 0, GLFW_RELEASE, 0); }
inline void tapKey(int key) {
    pressKey(key);
    releaseKey(key);
}

// Every key up, no tap pending, taps kept for 3 game updates as the main
// loop sets it.
inline void resetInput() {
    Input::instance() = Input{};
    Input::instance().releaseFrames = 3;
}

inline int pendingOf(Action a) { return Input::instance().pending[static_cast<int>(a)]; }

struct PlateShape {
    glm::vec3 position;
    glm::vec3 size;
    bool isFloor;
    bool isPillar;
};

// A floor plate at the road's height, centred at (x, z).
inline PlateShape floorPlate(float x, float z, float width, float length) {
    return {{x, -0.635f, z}, {width, 0.2f, length}, true, false};
}
// A building block standing on the road.
inline PlateShape blockPlate(float x, float z, float width, float length) {
    return {{x, 0.22f, z}, {width, 1.4f, length}, false, false};
}
// A pillar as the generator makes them: 1 x 6 x 1, centred at height 0.
inline PlateShape pillarPlate(float x, float z) { return {{x, 0.0f, z}, {1.0f, 6.0f, 1.0f}, false, true}; }

// Replaces the plates of a road (a track's or a plain list) with these.
inline void layRoad(PlateList& plates, std::initializer_list<PlateShape> shapes) {
    plates.clear();
    for (const PlateShape& s : shapes) {
        plates.push_back(std::make_unique<Plate>(s.position.x, s.position.y, s.position.z, s.size.x, s.size.y,
                                                 s.size.z, s.isFloor, s.isPillar));
    }
}

// Sounds on the probe's driver, a clean keyboard and log; no GL context.
class ShipTest : public testing::Test {
protected:
    void SetUp() override {
        EffectProbe::useDiskDriver();
        ASSERT_TRUE(sounds.ready()) << "the disk audio driver did not start";
        resetInput();
        writeFile("message.log", "");
    }

    EffectProbe sounds;
};
