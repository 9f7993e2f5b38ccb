#include "platform/timing.h"

#include <cerrno>
#include <ctime>

void sleepOneMillisecond() {
    timespec request{0, 1'000'000};
    timespec remaining{};
    // Resume after a signal so that one call always waits the whole millisecond.
    while (nanosleep(&request, &remaining) == -1 && errno == EINTR) {
        request = remaining;
    }
}
