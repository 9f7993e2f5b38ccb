#pragma once
// Start-up work that need not wait for the window: decoding the road's
// textures, the ship and the music on worker threads while GLFW and the GL driver
// start. The GL uploads, the log records and the order of construction stay
// on the main thread as they are: each loader takes its preloaded result
// where it would have decoded it.

// Starts the workers; call once a display is open, so that a machine with
// none decodes nothing.
void startPreloading();

// Waits for the workers and drops what nobody took; every way out of the
// process calls it first, so no worker outlives the decision to leave.
void stopPreloading();

// Starts the looping music once its decoding is done; call once a frame.
// The first call stands where the music always started, after the screens
// are built; if the decoding is still going on then, the music begins a
// few frames after the menu appears. Returns true once the music is on.
bool startMusicWhenDecoded();
