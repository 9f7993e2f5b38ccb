"""The window rule of the Windows game under Wine, seen from the X side: on
an X server of $PLACEMENT_SCREEN the game's window has a client area of
1920 x 1080 when the screen is at least 1920 wide and more than 1080 high,
1280 x 720 otherwise, centred on the screen (xwininfo), and every position
xev saw it mapped or moved to is the centred one. Wine on a bare X server
runs no window manager, so the X window is the client area alone: no frame
shifts it.

Usage: window_rule.py <vimbrot.exe> <source dir> <work dir>"""

import os
import re
import subprocess
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(sys.argv[2], "tests", "e2e"))
import screen as S  # noqa: E402
from window_placement import events  # noqa: E402

TIMEOUT = float(os.environ.get("WINDOWS_E2E_TIMEOUT", "120"))


def geometry(window):
    """(x, y, width, height) of the window on the screen, as xwininfo reports it."""
    out = subprocess.run(["xwininfo", "-id", str(window)], capture_output=True, text=True, check=True).stdout
    value = {}
    for key, pattern in (("x", r"Absolute upper-left X:\s+(-?\d+)"), ("y", r"Absolute upper-left Y:\s+(-?\d+)"),
                         ("w", r"Width:\s+(\d+)"), ("h", r"Height:\s+(\d+)")):
        m = re.search(pattern, out)
        if not m:
            sys.exit("FAIL: xwininfo gave no %s:\n%s" % (key, out))
        value[key] = int(m.group(1))
    return value["x"], value["y"], value["w"], value["h"]


def main():
    exe, _, work = sys.argv[1:4]
    screen_w, screen_h = (int(v) for v in os.environ["PLACEMENT_SCREEN"].split("x")[:2])
    expected = (1920, 1080) if screen_w >= 1920 and screen_h > 1080 else (1280, 720)
    centred = ((screen_w - expected[0]) // 2, (screen_h - expected[1]) // 2)

    xev_out = open(os.path.join(work, "xev.txt"), "w")
    xev = subprocess.Popen(["stdbuf", "-oL", "xev", "-root", "-event", "substructure"], stdout=xev_out)
    # xev sees only the windows made after it has started watching: a
    # throwaway window reported shows that it watches.
    deadline = time.monotonic() + 60
    while "CreateNotify" not in open(xev_out.name).read():
        if time.monotonic() > deadline:
            sys.exit("FAIL: xev reported no event")
        probe = subprocess.Popen(["xlogo", "-geometry", "10x10-0-0"], stderr=subprocess.DEVNULL)
        S.find_window("xlogo", 10, alive=lambda: probe.poll() is None)
        probe.terminate()
        probe.wait()

    game = subprocess.Popen(["wine", exe], cwd=work, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        window = S.find_window("Vimbrot", TIMEOUT, alive=lambda: game.poll() is None)
        if window is None:
            sys.exit("FAIL: no window named Vimbrot (exit code %s)" % game.poll())
        display = S.Display()
        if not S.wait_for_title(display, window, TIMEOUT, alive=lambda: game.poll() is None):
            sys.exit("FAIL: the menu never appeared (exit code %s)" % game.poll())
        x, y, w, h = geometry(window)
        S.Keys(window).tap("Escape")
        if game.wait(timeout=TIMEOUT) != 0:
            sys.exit("FAIL: the game exited with code %d" % game.returncode)
    finally:
        if game.poll() is None:
            game.kill()
        xev.terminate()
        xev.wait()
        xev_out.close()

    if (w, h) != expected:
        sys.exit("FAIL: the client area is %dx%d on the %dx%d screen, not %dx%d" % ((w, h, screen_w, screen_h) + expected))
    if (x, y) != centred:
        sys.exit("FAIL: the %dx%d window is at (%d, %d), not centred at (%d, %d)" % (w, h, x, y) + centred)
    mine = [e for e in events(open(xev_out.name).read()) if e[1] == window]
    if not any(kind == "MapNotify" for kind, _, _ in mine):
        sys.exit("FAIL: xev saw no MapNotify of window 0x%x" % window)
    position, mapped = None, False
    for kind, _, pos in mine:
        if pos is not None:
            position = pos
        mapped = {"MapNotify": True, "UnmapNotify": False}.get(kind, mapped)
        if mapped and position != centred:
            sys.exit("FAIL: the window was on screen at %s (%s); centred is %s" % (position, kind, centred))
    print("PASS: a %dx%d client area at (%d, %d) on the %dx%d screen, only ever mapped there"
          % (w, h, x, y, screen_w, screen_h), flush=True)


main()
