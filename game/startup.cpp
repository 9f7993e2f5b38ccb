#include "game/startup.h"

#include "platform/sessionbus.h"

namespace {

constexpr const char* kMusic = "data/music.mp3";

}  // namespace

StartupLoader::StartupLoader(Lazy<Sound>& soundService) : sound(soundService) {
    // Before the sound engine starts on its worker.
    SessionBus::forbidLaunching();
    for (const char* path : {"data/metal.jpg", "data/metal-normal.jpg", "data/building.jpg", "data/building-normal.jpg"}) {
        preloadImage(imageTable, path);
    }
    preloadStaticModel(modelTable, "data/ship");
    music = std::make_unique<Preloaded<std::unique_ptr<SoundClip>>>([this] { return sound.get().decode(kMusic); });
}

StartupLoader::~StartupLoader() {
    // The music's worker uses the Sound, which its owner keeps until the
    // loader is gone; the tables wait for theirs as they go.
    if (music) music->wait();
}

bool StartupLoader::startMusicWhenDecoded() {
    if (musicStarted) return true;
    if (music) {
        if (!music->ready()) return false;
        // Its records (an engine that would not start, a clip that would not
        // decode) are written here, where the music starts.
        sound.get().adopt(kMusic, music->take());
        music.reset();
    }
    sound.get().playMusic(kMusic);
    musicStarted = true;
    return true;
}
