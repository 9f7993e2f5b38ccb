"""Watches the game's window from the moment the X server creates it: every
position it is mapped or moved to must be the centred one, so the player
never sees it anywhere else. xev reports the root window's substructure
events (create, configure, map); the game is started, its first menu frame
is waited for on the window's pixels, then it is quit and the events read.

Usage: window_placement.py <vimbrot executable> <work dir>
Runs on the X server in $DISPLAY, whose screen size is in $PLACEMENT_SCREEN."""

import os
import re
import subprocess
import sys
import time

sys.dont_write_bytecode = True
import screen as S  # noqa: E402

TITLE = S.Text("Vimbrot", 960, 570, 224, S.rgb255(0.2, 0.5, 0.26))
EVENT = re.compile(r"^(CreateNotify|ConfigureNotify|MapNotify|UnmapNotify) event")
WINDOW = re.compile(r"\bwindow (0x[0-9a-f]+)")
POSITION = re.compile(r"\((-?\d+),(-?\d+)\), width (\d+), height (\d+)")


def events(text):
    """(kind, window id, position or None) for every event xev printed."""
    found, kind = [], None
    for line in text.splitlines():
        m = EVENT.match(line)
        if m:
            kind = m.group(1)
            continue
        if kind is None:
            continue
        ids = WINDOW.findall(line)
        if not ids:
            continue
        # CreateNotify names the parent first, then the new window.
        window = int(ids[-1], 16)
        pos = POSITION.search(line)
        found.append((kind, window, (int(pos.group(1)), int(pos.group(2))) if pos else None))
        kind = None
    return found


def main():
    exe, work = sys.argv[1], sys.argv[2]
    screen_w, screen_h = (int(v) for v in os.environ["PLACEMENT_SCREEN"].split("x")[:2])
    expected = (1920, 1080) if screen_w >= 1920 and screen_h > 1080 else (1280, 720)
    centred = ((screen_w - expected[0]) // 2, (screen_h - expected[1]) // 2)

    xev_out = open(os.path.join(work, "xev.txt"), "w")
    xev = subprocess.Popen(["stdbuf", "-oL", "xev", "-root", "-event", "substructure"], stdout=xev_out)
    # xev prints nothing until an event comes, and sees only the windows
    # made after it has started watching: throwaway windows until one is
    # reported show that it watches before the game starts.
    deadline = time.monotonic() + 60
    while "CreateNotify" not in open(xev_out.name).read():
        if time.monotonic() > deadline:
            sys.exit("FAIL: xev reported no event")
        probe = subprocess.Popen(["xlogo", "-geometry", "10x10-0-0"], stderr=subprocess.DEVNULL)
        S.find_window("xlogo", 10, alive=lambda: probe.poll() is None)
        probe.terminate()
        probe.wait()

    game = subprocess.Popen([exe], cwd=work, stderr=open(os.path.join(work, "stderr.txt"), "wb"))
    try:
        window = S.find_window("Vimbrot", 120, alive=lambda: game.poll() is None)
        if window is None:
            sys.exit("FAIL: no window named Vimbrot (exit code %s)" % game.poll())
        display = S.Display()
        deadline = time.monotonic() + 120
        while True:
            rgb = display.grab(window)
            if rgb is not None and S.find_text(rgb, TITLE)[0]:
                break
            if game.poll() is not None or time.monotonic() > deadline:
                sys.exit("FAIL: the menu never appeared (exit code %s)" % game.poll())
            time.sleep(0.05)
        S.Keys(window).tap("Escape")
        if game.wait(timeout=60) != 0:
            sys.exit("FAIL: the game exited with code %d" % game.returncode)
    finally:
        if game.poll() is None:
            game.kill()
        xev.terminate()
        xev.wait()
        xev_out.close()

    mine = [e for e in events(open(xev_out.name).read()) if e[1] == window]
    if not any(kind == "MapNotify" for kind, _, _ in mine):
        sys.exit("FAIL: xev saw no MapNotify of window 0x%x" % window)
    position, mapped = None, False
    for kind, _, pos in mine:
        if pos is not None:
            position = pos
        if kind == "MapNotify":
            mapped = True
        if kind == "UnmapNotify":
            mapped = False
        if mapped and position != centred:
            sys.exit("FAIL: the window was on screen at %s (%s); centred is %s" % (position, kind, centred))
        print("  %-15s %s" % (kind, position))
    print("PASS: the %dx%d window was only ever mapped at (%d, %d) on the %dx%d screen"
          % (expected + centred + (screen_w, screen_h)))


if __name__ == "__main__":
    main()
