#include "platform/timing.h"

#include <windows.h>
#include <timeapi.h>

void sleepOneMillisecond() {
    // Windows sleeps in steps of its timer period (often 15.6 ms): the frame
    // wait asks for 1 ms once, for the whole process.
    static const bool finePeriod = timeBeginPeriod(1) == TIMERR_NOERROR;
    (void)finePeriod;
    Sleep(1);
}
