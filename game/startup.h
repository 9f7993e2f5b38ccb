#pragma once
// Start-up work that need not wait for the window: decoding the road's
// textures, the ship and the music on worker threads while GLFW and the GL driver
// start. The GL uploads, the log records and the order of construction stay
// on the main thread as they are: each loader takes its preloaded result
// where it would have decoded it.

#include <memory>

#include "orvo3d/image.h"
#include "orvo3d/preload.h"
#include "orvo3d/service.h"
#include "orvo3d/sound.h"
#include "orvo3d/staticmodel.h"

class StartupLoader {
public:
    // Starts the workers; make it once a display is open, so that a machine
    // with none decodes nothing. The music is decoded with `sound`, whose
    // engine starts on the worker if nothing has started it yet.
    explicit StartupLoader(Lazy<Sound>& sound);
    // Waits for the workers and drops what nobody took, so no worker
    // outlives the decision to leave, whichever way it is left.
    ~StartupLoader();
    StartupLoader(const StartupLoader&) = delete;
    StartupLoader& operator=(const StartupLoader&) = delete;

    // Starts the looping music once its decoding is done; call once a frame.
    // The first call stands where the music always started, after the screens
    // are built; if the decoding is still going on then, the music begins a
    // few frames after the menu appears. Returns true once the music is on.
    bool startMusicWhenDecoded();

    // The road's textures and the ship, for their loaders to take.
    ImagePreloads* images() { return &imageTable; }
    StaticModelPreloads* models() { return &modelTable; }

private:
    Lazy<Sound>& sound;
    // The tables go last, each waiting for its workers; the music's worker
    // is waited for first.
    ImagePreloads imageTable;
    StaticModelPreloads modelTable;
    // The sound engine starts on the worker too: the music can only be
    // decoded into the format of an opened mixer.
    std::unique_ptr<Preloaded<std::unique_ptr<SoundClip>>> music;
    bool musicStarted = false;
};
