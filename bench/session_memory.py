"""A long scripted session of the real game, with its resident memory at the
start and at the end: runs (START, Right held until the ship falls off the
road, back to the menu), again and again, for SECONDS (default 900, the
15-minute session). Resident memory is read from /proc when the first menu
is on screen and after the last run's menu, and printed with the number of
runs and the growth per run. A benchmark, not a test: it passes no verdict.

Usage: session_memory.py <vimbrot executable> [seconds]"""

import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
import faults as F  # noqa: E402  (also re-runs us under Debian's python3 for numpy)


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def main():
    exe = os.path.realpath(sys.argv[1])
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 900.0
    x = F.XServer(1280, 1024)  # the small window: software GL keeps up better
    work = F.Work("session-memory")
    game = F.Game(exe, work.dir, work.env)
    try:
        game.find_window()
        F.wait_menu(x, game)
        start_rss = resident_kib(game.proc.pid)
        started = time.monotonic()
        print("start: %d KiB resident" % start_rss, flush=True)
        runs = 0
        while time.monotonic() - started < seconds:
            F.play_until_game_over(x, game)
            game.keys.tap("Escape")
            F.wait_menu(x, game)
            runs += 1
            print("  run %d at %.0f s: %d KiB" % (runs, time.monotonic() - started, resident_kib(game.proc.pid)),
                  flush=True)
        end_rss = resident_kib(game.proc.pid)
        elapsed = time.monotonic() - started
        F.quit_from_menu(game)
        print("end after %.0f s and %d runs: %d KiB resident (%+d KiB, %+.1f KiB a run)"
              % (elapsed, runs, end_rss, end_rss - start_rss, (end_rss - start_rss) / max(runs, 1)))
    finally:
        game.stop()
        x.stop()
        work.cleanup()
    return 0


if __name__ == "__main__":
    sys.exit(main())
