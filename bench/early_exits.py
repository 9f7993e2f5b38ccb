"""Starts of the real game that end before the first frame (no display, a
wrong display, a GL the driver refuses), STARTS times each (default 300), as
the fault suite runs a few of them. Prints how many of each ended with
something other than their own exit code and a clean stderr (a crash, a
sanitizer's report), and the first such end. Build with VIMBROT_SANITIZE=ON
and run with ASAN_OPTIONS=detect_leaks=0 to see reports as well as crashes.
Exits 1 when any start ended badly.

Usage: early_exits.py <vimbrot executable> [starts]"""

import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import faults as F  # noqa: E402  (also re-runs us under Debian's python3 for numpy)


def main():
    exe = os.path.realpath(sys.argv[1])
    starts = int(sys.argv[2]) if len(sys.argv) > 2 else 300
    x = F.XServer(1280, 1024)
    work = F.Work("early-exits")
    try:
        started = time.monotonic()
        bad = F.early_exits(exe, work, x, starts)
        for name, outcomes in bad.items():
            print("%-26s %4d starts, %4d bad%s" % (name, starts, len(outcomes),
                                                   (": " + outcomes[0]) if outcomes else ""))
        print("%.0f s" % (time.monotonic() - started))
        return 1 if any(bad.values()) else 0
    finally:
        x.stop()
        work.cleanup()


if __name__ == "__main__":
    sys.exit(main())
