"""Fullscreen in the real game, each case on an X server of its own:

- 1280 x 1024: the menu in its 1280 x 720 window; F11 covers the screen with
  the very same pixels between black bars of 152 rows, and the settings say
  fullscreen; Alt+Enter brings the window back at its size, centred, still on
  the menu (the Enter confirmed nothing: Down then moves the selection), and
  the settings say windowed.
- 2560 x 1600: --fullscreen starts covering the screen: the 1920 x 1080
  picture made larger to 2560 x 1440 between bars of 80 rows, its texts
  where the layout puts them; a run started there pauses when another
  window takes the focus, and stays on the screen; nothing is written to the
  settings.
- 800 x 600: fullscreen remembered in the settings: the 1280 x 720 picture
  made smaller to 800 x 450 between bars of 75 rows, texts readable.
- 1280 x 1024 with the settings saying fullscreen: --windowed opens the
  window, centred.

Every step waits for what the screen must show, never for a fixed time.
Usage: fullscreen.py <vimbrot executable> [case name part...]"""

import ctypes
import os
import shutil
import subprocess
import sys
import tempfile
import time

import numpy as np

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import screen as S  # noqa: E402
import play_session as P  # noqa: E402

TIMEOUT = float(os.environ.get("FULLSCREEN_STEP_TIMEOUT", "120"))
MENU = (P.MENU_TITLE, P.START_SELECTED, P.EXIT_PLAIN)


class Failure(Exception):
    pass


def wait_until(what, condition, timeout=TIMEOUT, poll=0.03):
    deadline = time.monotonic() + timeout
    detail = ""
    while True:
        ok, detail = condition()
        if ok:
            return detail
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for %s; last check: %s" % (what, detail))
        time.sleep(poll)


class XServer:
    def __init__(self, width, height):
        self.width, self.height = width, height
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height),
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end, "rb") as pipe:
            number = pipe.readline().strip()
        if not number:
            raise Failure("Xvfb did not start")
        os.environ["DISPLAY"] = ":" + number.decode()
        self.display = S.Display()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


class Game:
    def __init__(self, exe, work, x, *args):
        self.work, self.x = work, x
        self.stderr_path = os.path.join(work, "stderr.txt")
        self.proc = subprocess.Popen([exe, *args], cwd=work, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=open(self.stderr_path, "wb"))
        self.window = S.find_window("Vimbrot", TIMEOUT, alive=lambda: self.proc.poll() is None)
        if self.window is None:
            raise Failure("no window (exit code %s): %s" % (self.proc.poll(), self.stderr()))
        self.keys = S.Keys(self.window)

    def stderr(self):
        with open(self.stderr_path, errors="replace") as f:
            return f.read()[-800:]

    def geometry(self):
        """(x, y, width, height) of the window on the screen (no window
        manager: its parent is the root window)."""
        attrs = S._XWindowAttributes()
        if not self.x.display.x.XGetWindowAttributes(self.x.display.dpy, self.window, ctypes.byref(attrs)):
            return None
        return attrs.x, attrs.y, attrs.width, attrs.height

    def grab(self):
        if self.proc.poll() is not None:
            raise Failure("the game ended (exit code %s): %s" % (self.proc.returncode, self.stderr()))
        return self.x.display.grab(self.window)

    def shows(self, *texts):
        """A wait condition: the window shows the texts where the layout
        puts them."""
        def check():
            rgb = self.grab()
            return (False, "no picture") if rgb is None else P.Session.all_found(*texts)(rgb)
        return check

    def wait_geometry(self, what, expected):
        wait_until(what, lambda: (self.geometry() == expected, "window at %s, expected %s" % (self.geometry(), expected)))

    def wait_picture(self, what, picture, *texts, tolerance=4.0):
        """Waits until the window shows black bars around `picture` (x, y,
        width, height, rows from the top) and the texts inside it, within
        `tolerance` pixels of their places (a scaled picture blends the thin
        tips of the strokes, so they lose their exact colour)."""
        px, py, pw, ph = picture

        def check():
            rgb = self.grab()
            if rgb is None:
                return False, "no picture"
            bars = rgb.copy()
            bars[py:py + ph, px:px + pw] = 0
            if bars.any():
                return False, "%d lit pixels in the bars" % int(np.any(bars, axis=2).sum())
            inner = rgb[py:py + ph, px:px + pw]
            for text in texts:
                ok, detail = S.find_text(inner, text, tolerance)
                if not ok:
                    return False, detail
            return True, "bars black around %dx%d at (%d, %d)" % (pw, ph, px, py)

        detail = wait_until(what, check)
        print("  " + detail, flush=True)

    def quit(self):
        """Escape on the menu: exit code 0 and nothing logged."""
        self.keys.tap("Escape")
        try:
            code = self.proc.wait(timeout=60)
        except subprocess.TimeoutExpired:
            raise Failure("the game did not end")
        if code != 0:
            raise Failure("exit code %d: %s" % (code, self.stderr()))
        log = os.path.join(self.work, "message.log")
        if os.path.exists(log) and os.path.getsize(log) > 0:
            raise Failure("the game logged records: " + open(log, errors="replace").read())

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def settings_file():
    return os.path.join(os.environ["XDG_CONFIG_HOME"], "Orvo", "Vimbrot", "settings")


def wait_setting(value):
    def check():
        try:
            text = open(settings_file()).read()
        except OSError as error:
            return False, str(error)
        return ("fullscreen = %s" % value) in text.splitlines(), repr(text)
    wait_until("the settings to say fullscreen = %s" % value, check)


def write_settings(text):
    os.makedirs(os.path.dirname(settings_file()), mode=0o700, exist_ok=True)
    with open(settings_file(), "w") as f:
        f.write(text)


def case_toggle(exe, work):
    print("1. 1280x1024: F11 to fullscreen, the same pixels between bars; Alt+Enter back", flush=True)
    x = XServer(1280, 1024)
    game = None
    try:
        game = Game(exe, work, x)
        window = (0, 152, 1280, 720)
        game.wait_geometry("the centred window", window)
        wait_until("the menu", game.shows(*MENU))
        windowed = game.grab()
        if windowed is None or windowed.shape != (720, 1280, 3):
            raise Failure("the window could not be read")

        game.keys.tap("F11")
        game.wait_geometry("the window to cover the screen", (0, 0, 1280, 1024))
        game.wait_picture("the menu between bars", (0, 152, 1280, 720), *MENU)
        # At this size the picture is not scaled: every pixel is the window's.
        def same():
            rgb = game.grab()
            if rgb is None or rgb.shape != (1024, 1280, 3):
                return False, "no picture"
            return np.array_equal(rgb[152:872], windowed), "%d pixels differ" % int(
                np.any(rgb[152:872] != windowed, axis=2).sum())
        wait_until("the window's very pixels", same)
        print("  the 1280x720 picture is the window's to the bit", flush=True)
        wait_setting("true")

        game.keys.tap("alt+Return")
        game.wait_geometry("the window back, centred", window)
        wait_until("the menu in the window", game.shows(*MENU))
        wait_setting("false")
        # The Enter of Alt+Enter confirmed nothing: still the menu, which
        # takes the next key.
        game.keys.tap("Down")
        wait_until("EXIT selected", game.shows(P.START_PLAIN, P.EXIT_SELECTED))
        print("  back in the window at %s, still the menu" % (window,), flush=True)
        game.keys.tap("Up")
        wait_until("START selected", game.shows(*MENU))
        game.quit()
    finally:
        if game:
            game.stop()
        x.stop()


def case_start_fullscreen(exe, work):
    print("2. 2560x1600: --fullscreen starts covering the screen; the picture made larger; focus loss pauses", flush=True)
    if os.path.exists(settings_file()):
        os.remove(settings_file())
    x = XServer(2560, 1600)
    game = other = None
    try:
        game = Game(exe, work, x, "--fullscreen")
        game.wait_geometry("the window to cover the screen", (0, 0, 2560, 1600))
        game.wait_picture("the menu between bars", (0, 80, 2560, 1440), *MENU, tolerance=8.0)
        if os.path.exists(settings_file()):
            raise Failure("--fullscreen wrote the settings: " + open(settings_file()).read())

        game.keys.tap("Return")
        def run_started():
            rgb = game.grab()
            return (False, "no picture") if rgb is None else S.absent_text(rgb[80:1520], P.START_SELECTED)
        wait_until("the run to start", run_started)
        # Mapped beyond the screen's edge, so that it hides nothing of the game.
        other = subprocess.Popen(["xlogo", "-geometry", "40x40+2600+1650"], stderr=subprocess.DEVNULL)
        other_window = S.find_window("xlogo", TIMEOUT, alive=lambda: other.poll() is None)
        if other_window is None:
            raise Failure("xlogo opened no window")
        S.xdotool("windowfocus", "--sync", str(other_window))
        game.wait_picture("the run paused, still fullscreen", (0, 80, 2560, 1440), P.PAUSED, P.RESUME,
                          tolerance=8.0)
        if game.geometry() != (0, 0, 2560, 1600):
            raise Failure("the window left the screen on the focus loss: %s" % (game.geometry(),))
    finally:
        if other:
            other.terminate()
            other.wait()
        if game:
            game.stop()
        x.stop()


def case_remembered_smaller(exe, work):
    print("3. 800x600: fullscreen remembered; the picture made smaller", flush=True)
    write_settings("fullscreen = true\nmute = false\n")
    x = XServer(800, 600)
    game = None
    try:
        game = Game(exe, work, x)
        game.wait_geometry("the window to cover the screen", (0, 0, 800, 600))
        game.wait_picture("the menu between bars", (0, 75, 800, 450), P.MENU_TITLE, P.START_SELECTED,
                          tolerance=8.0)
        game.quit()
    finally:
        if game:
            game.stop()
        x.stop()


def case_windowed_wins(exe, work):
    print("4. 1280x1024: --windowed over settings that say fullscreen", flush=True)
    write_settings("fullscreen = true\nmute = false\n")
    x = XServer(1280, 1024)
    game = None
    try:
        game = Game(exe, work, x, "--windowed")
        game.wait_geometry("the centred window", (0, 152, 1280, 720))
        wait_until("the menu", game.shows(*MENU))
        game.quit()
        if open(settings_file()).read() != "fullscreen = true\nmute = false\n":
            raise Failure("--windowed changed the settings: " + open(settings_file()).read())
    finally:
        if game:
            game.stop()
        x.stop()


def main():
    exe = os.path.realpath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="vimbrot-fullscreen-")
    home = os.path.join(work, "home")
    os.makedirs(home)
    os.environ.update(HOME=home, XDG_DATA_HOME=os.path.join(home, ".local/share"),
                      XDG_CACHE_HOME=os.path.join(home, ".cache"), XDG_CONFIG_HOME=os.path.join(home, ".config"),
                      SDL_AUDIODRIVER=os.environ.get("SDL_AUDIODRIVER", "dummy"))
    os.environ.pop("XDG_STATE_HOME", None)
    try:
        cases = (case_toggle, case_start_fullscreen, case_remembered_smaller, case_windowed_wins)
        chosen = sys.argv[2:]
        for case in cases:
            if chosen and not any(name in case.__name__ for name in chosen):
                continue
            case(exe, work)
    except Failure as failure:
        print("FAIL: %s" % failure, flush=True)
        sys.exit(1)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("PASS: fullscreen")


if __name__ == "__main__":
    main()
