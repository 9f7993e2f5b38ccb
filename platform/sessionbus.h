#pragma once
// The desktop's message bus, which the game never uses but the audio library
// connects to when it starts. Where no session bus runs, the bus library
// would start one (running "dbus-launch --autolaunch"), and that daemon would
// outlive the game.

namespace SessionBus {

// When no session bus can be found (no DBUS_SESSION_BUS_ADDRESS, no
// $XDG_RUNTIME_DIR/bus), tells the bus library in this process that there
// is none, so that it launches nothing; a bus that runs is left as it is.
// Changes the environment: call on the main thread before any other thread
// starts a library.
void forbidLaunching();

}  // namespace SessionBus
