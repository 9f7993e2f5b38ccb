"""One session of the real game, as a player has it: menu, a run with
jumping, steering, a pause, the fall off the road, the game-over screen, back
to the menu, F12, EXIT; then a second start that must show the saved best.

Run by play_session.sh inside a private X server, a temporary working
directory and a temporary HOME. Every step waits for what the screen must
show (colours of the texts where the layout puts them, the ship's pixels,
the red stars) with a timeout instead of sleeping, because software GL may
draw only a few frames a second.

Usage: play_session.py <vimbrot executable> <source dir> <shots dir>"""

import hashlib
import os
import re
import subprocess
import sys
import time

import numpy as np

# Nothing is written into the source tree, not even compiled modules.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import screen as S  # noqa: E402

TITLE = S.rgb255(0.2, 0.5, 0.26)
BEST = S.rgb255(0.12, 0.3, 0.156)
SELECTED = S.rgb255(0.5, 0.5, 0.75)
ENTRY = S.rgb255(0.2, 0.2, 0.25)
LABEL = S.rgb255(0.16, 0.4, 0.208)
BRIGHT = tuple(c * 1.75 for c in TITLE)

MENU_TITLE = S.Text("Vimbrot", 960, 570, 224, TITLE)
START_SELECTED = S.Text("START", 960, 260, 100, SELECTED)
START_PLAIN = S.Text("START", 960, 260, 100, ENTRY)
EXIT_SELECTED = S.Text("EXIT", 960, 120, 100, SELECTED)
EXIT_PLAIN = S.Text("EXIT", 960, 120, 100, ENTRY)
PAUSED = S.Text("Paused", 960, 500, 224, TITLE)
RESUME = S.Text("RESUME", 960, 260, 80, SELECTED)
GAME_OVER = S.Text("Game Over", 960, 570, 200, TITLE)
SCORE_LABEL = S.Text("Score", 960, 420, 72, LABEL)
BEST_LABEL = S.Text("Best", 960, 180, 64, LABEL)

SEED_RECORD = ("INFO (2000-01-01 00:00:00)\n => e2e/play_session:1\n"
               "A record from an earlier session, to be emptied by F12\n\n")
STORE_PREFIX = b"VIMBROT_DATA_STRUCT_FOR_HIGHSCORE::::"
STORE_KEY = b"Rm4x#275816pka=7"
SANITIZER_REPORT = re.compile(r"ERROR: (Address|Leak|Memory|Thread)Sanitizer|runtime error:|SUMMARY: \w*Sanitizer")

T0 = time.monotonic()
STEP_TIMEOUT = float(os.environ.get("PLAY_SESSION_STEP_TIMEOUT", "120"))


class Failure(Exception):
    pass


def menu_best(value):
    return S.Text("Best %d" % value, 960, 460, 64, BEST)


def score_candidates(digits_max=4):
    """Strings whose drawn extent covers every score of up to digits_max
    digits: only the first glyph (1 and 4 start further right) and the last
    (1 ends early) change where a number's strokes begin and end."""
    out = ["0", "1", "4"]
    for d in range(2, digits_max + 1):
        out += [first + "0" * (d - 2) + last for first in "124" for last in "10"]
    return out


def rc4(key, data):
    s = list(range(256))
    j = 0
    for i in range(256):
        j = (j + s[i] + key[i % len(key)]) & 0xFF
        s[i], s[j] = s[j], s[i]
    out, i, j = bytearray(), 0, 0
    for byte in data:
        i = (i + 1) & 0xFF
        j = (j + s[i]) & 0xFF
        s[i], s[j] = s[j], s[i]
        out.append(byte ^ s[(s[i] + s[j]) & 0xFF])
    return bytes(out)


class Session:
    def __init__(self, exe, work, shots):
        self.exe, self.work, self.shots = exe, work, shots
        self.display = S.Display()
        self.proc = None
        self.window = None
        self.keys = None
        self.last = None
        self.stderr_paths = []
        # A launcher starts the game in a folder of its own, which is then
        # where its message.log is (PLAY_SESSION_LOG_DIR).
        log_dir = os.environ.get("PLAY_SESSION_LOG_DIR", work)
        os.makedirs(log_dir, mode=0o700, exist_ok=True)
        self.log_path = os.path.join(log_dir, "message.log")
        os.makedirs(shots, exist_ok=True)

    # ---------------------------------------------------------- helpers

    def log(self, text):
        print("  %6.1f s  %s" % (time.monotonic() - T0, text), flush=True)

    def start(self, label):
        stderr_path = os.path.join(self.work, "stderr-%s.txt" % label)
        self.stderr_paths.append(stderr_path)
        self.started = time.monotonic()
        self.proc = subprocess.Popen([self.exe], cwd=self.work, stdout=subprocess.DEVNULL,
                                     stderr=open(stderr_path, "wb"))
        self.window = S.find_window("Vimbrot", STEP_TIMEOUT, alive=lambda: self.proc.poll() is None)
        if self.window is None:
            raise Failure("no window named Vimbrot (exit code %s)" % self.proc.poll())
        self.keys = S.Keys(self.window)
        self.log("window 0x%x %.2f s after the start" % (self.window, time.monotonic() - self.started))

    def snapshot(self, name, rgb=None):
        rgb = self.last if rgb is None else rgb
        if rgb is not None:
            S.save_png(rgb, os.path.join(self.shots, name + ".png"))

    def grab(self):
        rgb = self.display.grab(self.window)
        if rgb is not None:
            self.last = rgb
        return rgb

    def wait(self, what, condition, timeout=None):
        """Grabs the window until condition(rgb) gives (True, detail)."""
        deadline = time.monotonic() + (timeout or STEP_TIMEOUT)
        detail = "no picture"
        while True:
            if self.proc.poll() is not None:
                raise Failure("the game ended (exit code %d) while waiting for %s; last check: %s"
                              % (self.proc.returncode, what, detail))
            rgb = self.grab()
            if rgb is not None:
                ok, detail = condition(rgb)
                if ok:
                    return rgb, detail
            if time.monotonic() > deadline:
                self.snapshot("failed-" + re.sub(r"\W+", "-", what))
                raise Failure("timed out waiting for %s; last check: %s" % (what, detail))
            time.sleep(0.03)

    def wait_frames(self, count, region):
        """Waits until `count` different frames have been seen in the region
        (rows y0:y1 of the window): proof that the game has run that many
        updates since the call, as every frame of play moves the road."""
        y0, y1 = region
        seen, previous = 0, None

        def changed(rgb):
            nonlocal seen, previous
            digest = hashlib.md5(rgb[y0:y1].tobytes()).digest()
            if digest != previous:
                seen += 1
                previous = digest
            return seen >= count + 1, "%d of %d new frames" % (seen - 1, count)

        return self.wait("%d more frames" % count, changed)

    def wait_exit(self, timeout=60):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the game did not end within %d s" % timeout)

    def read_log(self):
        with open(self.log_path, "rb") as f:
            return f.read()

    # ----------------------------------------------------------- checks

    @staticmethod
    def all_found(*texts):
        def check(rgb):
            details = []
            for text in texts:
                ok, detail = S.find_text(rgb, text)
                details.append(detail)
                if not ok:
                    return False, detail
            return True, "; ".join(details)
        return check

    def check_window(self):
        size = self.display.size(self.window)
        screen_w, screen_h = (int(v) for v in os.environ["PLAY_SESSION_SCREEN"].split("x")[:2])
        expected = (1920, 1080) if screen_w >= 1920 and screen_h > 1080 else (1280, 720)
        if size != expected:
            raise Failure("window is %s, expected %s on a %dx%d screen" % (size, expected, screen_w, screen_h))
        info = subprocess.run(["xwininfo", "-id", str(self.window)], capture_output=True, text=True).stdout
        x = int(re.search(r"Absolute upper-left X:\s+(-?\d+)", info).group(1))
        y = int(re.search(r"Absolute upper-left Y:\s+(-?\d+)", info).group(1))
        centred = ((screen_w - expected[0]) // 2, (screen_h - expected[1]) // 2)
        if (x, y) != centred:
            raise Failure("window at %s, expected centred at %s" % ((x, y), centred))
        self.log("window %dx%d at (%d, %d), centred on the %dx%d screen" % (size + (x, y, screen_w, screen_h)))
        self.size = size

    def check_icon(self, source):
        # xprop's own format for this property draws the icon as text art,
        # and it cuts long values short; ask for all of the plain numbers.
        out = subprocess.run(["xprop", "-len", "1000000", "-id", str(self.window), "-notype", "-f", "_NET_WM_ICON", "32c",
                              " = $0+\n", "_NET_WM_ICON"], capture_output=True, text=True).stdout
        values = [int(v) for v in re.findall(r"\d+", out.split("=", 1)[-1])] if "=" in out else []
        if len(values) < 2 or values[:2] != [256, 256] or len(values) != 2 + 256 * 256:
            raise Failure("_NET_WM_ICON is not one 256x256 image: %s" % out[:120].strip())
        # The pixels must be the embedded icon's, as ARGB words.
        rgba = subprocess.run(["convert", os.path.join(source, "data/icon.png"), "-depth", "8", "rgba:-"],
                              capture_output=True, check=True).stdout
        px = np.frombuffer(rgba, dtype=np.uint8).reshape(-1, 4).astype(np.uint64)
        argb = (px[:, 3] << 24) | (px[:, 0] << 16) | (px[:, 1] << 8) | px[:, 2]
        if not np.array_equal(argb, np.array(values[2:], dtype=np.uint64)):
            raise Failure("the window icon's pixels differ from data/icon.png")
        self.log("window icon: 256x256, the pixels of data/icon.png")

    def check_store(self):
        home = os.environ["XDG_DATA_HOME"]
        folder = os.path.join(home, "Orvo", "Vimbrot")
        path = os.path.join(folder, "data")
        # The save reaches the disk a moment after the game-over screen shows.
        deadline = time.monotonic() + STEP_TIMEOUT
        while not os.path.isfile(path) and time.monotonic() < deadline:
            time.sleep(0.05)
        if not os.path.isfile(path):
            raise Failure("no best score stored at %s" % path)
        for p, mode in ((os.path.join(home, "Orvo"), 0o700), (folder, 0o700), (path, 0o600)):
            actual = os.stat(p).st_mode & 0o777
            if actual != mode:
                raise Failure("%s has mode %o, expected %o" % (p, actual, mode))
        raw = open(path, "rb").read()
        if not re.fullmatch(rb"(?:[0-9A-F]{2})+\0", raw):
            raise Failure("the stored value is not upper-case hex with a NUL: %r" % raw[:60])
        plain = rc4(hashlib.md5(STORE_KEY).digest(), bytes.fromhex(raw[:-1].decode()))
        if not plain.startswith(STORE_PREFIX) or not re.fullmatch(rb"-?\d+", plain[len(STORE_PREFIX):]):
            raise Failure("the stored value does not decrypt to the score text: %r" % plain)
        best = int(plain[len(STORE_PREFIX):])
        if len(raw) != 2 * (len(STORE_PREFIX) + len(str(best))) + 1:
            raise Failure("stored value has %d bytes for the score %d" % (len(raw), best))
        self.log("store: %s (0600, folders 0700) decrypts to best %d" % (path, best))
        return best

    def check_stderr(self):
        for path in self.stderr_paths:
            text = open(path, "rb").read().decode(errors="replace")
            if SANITIZER_REPORT.search(text):
                raise Failure("the game printed a sanitizer report (%s):\n%s" % (os.path.basename(path), text[:4000]))

    # ------------------------------------------------------------ steps

    def menu(self, expected_best):
        rgb, _ = self.wait("the menu", self.all_found(MENU_TITLE, menu_best(expected_best), START_SELECTED, EXIT_PLAIN))
        return rgb

    def playing(self, rgb):
        """The game screen of the first run: the score at the top right in
        its colour and below it, bright, the same number as the best (the
        store is still empty), the ship on screen, no menu title."""
        h, w, _ = rgb.shape
        for value in score_candidates():
            ok, detail = S.find_text(rgb, S.Text(value, 1910, 760, 80, TITLE, align="right"))
            if ok:
                break
        if not ok:
            return False, "score: " + detail
        ok, detail = S.find_text(rgb, S.Text(value, 1910, 700, 40, BRIGHT, align="right"))
        if not ok:
            return False, "best under the score: " + detail
        count, cx, cy = S.ship(rgb)
        if count < 0.00015 * w * h:
            return False, "ship: only %d pixels of its colours" % count
        gone, detail = S.absent_text(rgb, MENU_TITLE)
        if not gone:
            return False, "menu still shown: " + detail
        return True, "score at the top right; ship at (%.0f, %.0f), %d pixels" % (cx, cy, count)

    def run(self, source):
        with open(self.log_path, "w") as f:
            f.write(SEED_RECORD)

        print("1. start: the menu", flush=True)
        self.start("first")
        self.menu(expected_best=0)
        self.log("menu shown %.2f s after the start" % (time.monotonic() - self.started))
        self.check_window()
        self.snapshot("menu")
        self.check_icon(source)

        print("2. Down, Up, Enter: START", flush=True)
        self.keys.tap("Down")
        self.wait("EXIT selected", self.all_found(EXIT_SELECTED, START_PLAIN))
        self.snapshot("menu-exit")
        self.keys.tap("Up")
        self.wait("START selected again", self.all_found(START_SELECTED, EXIT_PLAIN))
        self.keys.tap("Return")
        rgb, detail = self.wait("the game", self.playing)
        self.log(detail)
        h, w, _ = rgb.shape
        road = (int(h * 0.8), h)  # the road and the nebula in the bottom fifth

        print("3. Escape pauses, Enter resumes", flush=True)
        self.wait_frames(2, road)  # the run is under way
        before = self.last
        self.keys.tap("Escape")

        def paused(rgb):
            for text in (PAUSED, RESUME):
                ok, detail = S.find_text(rgb, text)
                if not ok:
                    return False, detail
            # Everything but the two texts lies under the 65 % black veil.
            scene = rgb.copy()
            for text in (PAUSED, RESUME):
                x0, x1, y0, y1 = text.pixel_box(w, h)
                pad = 0.1 * text.height * h / S.VIRTUAL_H
                scene[int(max(0, y0 - pad)):int(y1 + pad), int(max(0, x0 - pad)):int(x1 + pad)] = 0
            brightest = int(scene.max())
            return brightest <= 90, "brightest pixel outside the texts %d" % brightest

        rgb, detail = self.wait("the pause overlay", paused)
        self.snapshot("paused")
        lit = before[road[0]:road[1]].astype(float).mean()
        veiled = rgb[road[0]:road[1]].astype(float).mean()
        if not (0.25 <= veiled / lit <= 0.45):
            raise Failure("the veil scales the scene by %.2f, expected about 0.35" % (veiled / lit))
        self.log("veil: %s; scene brightness %.1f -> %.1f (x%.2f)" % (detail, lit, veiled, veiled / lit))
        time.sleep(1.0)  # a paused game must draw the very same frame
        if not np.array_equal(self.grab(), rgb):
            raise Failure("the scene moved while paused")
        self.keys.tap("Return")
        rgb, _ = self.wait("the pause to close", lambda rgb: S.absent_text(rgb, PAUSED))
        self.wait_frames(3, road)
        _, detail = self.wait("the game to go on", self.playing)
        self.log("resumed: " + detail)

        print("3b. another window takes the focus: the run pauses, Enter resumes", flush=True)
        # A second small X client in the screen's corner, outside the game's
        # window, takes the keyboard focus.
        other = subprocess.Popen(["xlogo", "-geometry", "40x40-0-0"], stderr=subprocess.DEVNULL)
        try:
            other_window = S.find_window("xlogo", STEP_TIMEOUT, alive=lambda: other.poll() is None)
            if other_window is None:
                raise Failure("xlogo opened no window")
            self.wait_frames(2, road)
            S.xdotool("windowfocus", "--sync", str(other_window))
            rgb, detail = self.wait("the pause overlay after the focus went", paused)
            self.snapshot("focus-lost")
            self.log("focus lost: " + detail)
            time.sleep(0.5)  # a paused game draws the very same frame
            if not np.array_equal(self.grab(), rgb):
                raise Failure("the scene moved while paused by the focus loss")
            self.keys.tap("Return")  # gives the focus back first
            self.wait("the pause to close", lambda rgb: S.absent_text(rgb, PAUSED))
            self.wait_frames(3, road)
            _, detail = self.wait("the game to go on", self.playing)
            self.log("resumed after the focus came back: " + detail)
        finally:
            other.terminate()
            other.wait()

        print("4. Space jumps, Left and Right steer", flush=True)
        _, rest_x, rest_y = S.ship(self.last)
        self.keys.down("space")
        rgb, _ = self.wait("the ship in the air",
                           lambda rgb: ((S.ship(rgb)[2] or h) < rest_y - 0.1 * h, "ship at y %s" % S.ship(rgb)[2]))
        self.keys.up("space")
        self.snapshot("jump")
        self.log("jump: ship centre rose from y %.0f to %.0f" % (rest_y, S.ship(rgb)[2]))
        rgb, _ = self.wait("the ship to land",
                           lambda rgb: (abs((S.ship(rgb)[2] or 0) - rest_y) < 0.03 * h, "ship at y %s" % S.ship(rgb)[2]))
        self.snapshot("game")
        _, base_x, _ = S.ship(rgb)
        self.keys.down("Left")
        rgb, _ = self.wait("the ship to move left",
                           lambda rgb: ((S.ship(rgb)[1] or w) < base_x - 0.04 * w, "ship at x %s" % S.ship(rgb)[1]))
        self.keys.up("Left")
        _, left_x, _ = S.ship(rgb)
        self.log("steer left: ship centre from x %.0f to %.0f" % (base_x, left_x))
        self.keys.down("Right")
        rgb, _ = self.wait("the ship to move right",
                           lambda rgb: ((S.ship(rgb)[1] or 0) > left_x + 0.06 * w, "ship at x %s" % S.ship(rgb)[1]))
        self.log("steer right: ship centre to x %.0f" % S.ship(rgb)[1])

        print("5. held Right: off the road, game over", flush=True)

        def game_over(rgb):
            ok, detail = self.all_found(GAME_OVER, SCORE_LABEL, BEST_LABEL)(rgb)
            stars = S.red_stars(rgb)
            if ok and stars < 50:
                return False, "only %d red star pixels" % stars
            return ok, detail + "; %d red star pixels" % stars

        rgb, detail = self.wait("the game-over screen", game_over)
        self.keys.up("Right")
        self.log(detail)
        best = self.check_store()
        if best <= 0:
            raise Failure("the run scored %d" % best)
        # The run set the best, so the score line and the bright best line
        # both show the stored number where the layout puts them.
        self.wait("the score %d and the best on the game-over screen" % best, self.all_found(
            S.Text(str(best), 960, 300, 100, BEST), S.Text(str(best), 960, 110, 48, BRIGHT)))
        self.snapshot("gameover")
        self.log("game over shows score %d and best %d (bright)" % (best, best))

        print("6. Escape: the menu; F12 empties message.log; EXIT quits", flush=True)
        self.keys.tap("Escape")
        self.menu(expected_best=best)
        self.snapshot("menu-after")
        if self.read_log() != SEED_RECORD.encode():
            raise Failure("message.log gained records in a normal session:\n%s" % self.read_log().decode(errors="replace"))
        self.keys.tap("F12")
        deadline = time.monotonic() + STEP_TIMEOUT
        while os.path.getsize(self.log_path) != 0:
            if time.monotonic() > deadline:
                raise Failure("F12 did not empty message.log")
            time.sleep(0.05)
        self.log("message.log held only the earlier record; F12 emptied it")
        self.keys.tap("Down")
        self.wait("EXIT selected", self.all_found(EXIT_SELECTED, START_PLAIN))
        self.keys.tap("Return")
        code = self.wait_exit()
        if code != 0:
            raise Failure("exit code %d after EXIT" % code)
        self.check_stderr()
        self.log("EXIT: exit code 0")

        print("7. second start: the menu shows the saved best", flush=True)
        self.start("second")
        self.menu(expected_best=best)
        self.log("menu shows Best %d, %.2f s after the start" % (best, time.monotonic() - self.started))
        self.keys.tap("Escape")
        code = self.wait_exit()
        if code != 0:
            raise Failure("exit code %d after Escape in the menu" % code)

        if os.path.getsize(self.log_path) != 0:
            raise Failure("message.log is not empty at the end:\n%s" % self.read_log().decode(errors="replace"))
        self.check_stderr()
        self.log("message.log empty; no sanitizer report on stderr")

    def stop(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def main():
    exe, source, shots = sys.argv[1:4]
    session = Session(exe, os.getcwd(), shots)
    try:
        session.run(source)
    except Failure as failure:
        print("FAIL: %s" % failure, flush=True)
        session.stop()
        try:
            session.check_stderr()
        except Failure as report:
            print("FAIL: %s" % report, flush=True)
        for path in session.stderr_paths:
            text = open(path, "rb").read().decode(errors="replace").strip()
            if text:
                print("game stderr (%s):\n%s" % (os.path.basename(path), text[-4000:]))
        return 1
    finally:
        session.stop()
    print("PASS: a whole session played", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
