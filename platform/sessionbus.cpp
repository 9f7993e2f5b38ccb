#include "platform/sessionbus.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace SessionBus {

void forbidLaunching() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && address[0] != '\0') return;
    // The bus a user session runs under systemd, found without an address.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        struct stat info {};
        const std::string socket = std::string(runtime) + "/bus";
        if (::stat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) return;
    }
    // An address of a kind the library does not know: connecting fails at
    // once, with nothing run, and the audio starts without a bus as it does
    // wherever none runs.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
}

}  // namespace SessionBus
