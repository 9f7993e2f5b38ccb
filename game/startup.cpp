#include "game/startup.h"

#include <memory>

#include "orvo3d/image.h"
#include "orvo3d/preload.h"
#include "orvo3d/sound.h"
#include "orvo3d/staticmodel.h"
#include "platform/sessionbus.h"

namespace {

constexpr const char* kMusic = "data/music.mp3";

// The sound engine starts on the worker too: the music can only be decoded
// into the format of an opened mixer.
std::unique_ptr<Preloaded<std::unique_ptr<SoundClip>>> music;
bool musicStarted = false;

}  // namespace

void startPreloading() {
    // Before the sound engine starts on its worker.
    SessionBus::forbidLaunching();
    for (const char* path : {"data/metal.jpg", "data/metal-normal.jpg", "data/building.jpg", "data/building-normal.jpg"}) {
        preloadImage(path);
    }
    preloadStaticModel("data/ship");
    music = std::make_unique<Preloaded<std::unique_ptr<SoundClip>>>([] { return Sound::instance().decode(kMusic); });
}

void stopPreloading() {
    music.reset();
    dropImagePreloads();
    dropStaticModelPreloads();
}

bool startMusicWhenDecoded() {
    if (musicStarted) return true;
    if (music) {
        if (!music->ready()) return false;
        // Its records (an engine that would not start, a clip that would not
        // decode) are written here, where the music starts.
        Sound::instance().adopt(kMusic, music->take());
        music.reset();
    }
    Sound::instance().playMusic(kMusic);
    musicStarted = true;
    return true;
}
