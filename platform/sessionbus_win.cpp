#include "platform/sessionbus.h"

// Windows has no session bus to launch.
namespace SessionBus {

void forbidLaunching() {}

}  // namespace SessionBus
