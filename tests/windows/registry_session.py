"""The Windows game under Wine, as a player has it, with its registry store:
the menu, a run left to itself until the game-over screen, the best score in
HKCU "SOFTWARE\\Orvo\\Vimbrot" value "Data" checked against this file's own
RC4 and MD5, a larger stored value kept by a lower run, EXIT ending with code
0, and the music audible in SDL's disk audio output. Every step waits for
the screen's pixels, never for a fixed time.

Run inside a private X server (registry_session.sh) with WINEPREFIX set.
Usage: registry_session.py <vimbrot.exe> <source dir> <work dir>"""

import hashlib
import os
import subprocess
import sys
import time

import numpy as np

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(sys.argv[2], "tests", "e2e"))
import screen as S  # noqa: E402

TITLE = S.rgb255(0.2, 0.5, 0.26)
BEST = S.rgb255(0.12, 0.3, 0.156)
SELECTED = S.rgb255(0.5, 0.5, 0.75)
MENU_TITLE = S.Text("Vimbrot", 960, 570, 224, TITLE)
START_SELECTED = S.Text("START", 960, 260, 100, SELECTED)
EXIT_SELECTED = S.Text("EXIT", 960, 120, 100, SELECTED)
GAME_OVER = S.Text("Game Over", 960, 570, 200, TITLE)
PREFIX = b"VIMBROT_DATA_STRUCT_FOR_HIGHSCORE::::"
KEY_TEXT = b"Rm4x#275816pka=7"
TIMEOUT = float(os.environ.get("WINDOWS_E2E_TIMEOUT", "240"))


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


def stored_hex(score):
    return rc4(hashlib.md5(KEY_TEXT).digest(), PREFIX + str(score).encode()).hex().upper()


def reg(*args):
    return subprocess.run(["wine", "reg"] + list(args), capture_output=True, text=True)


def read_store():
    out = reg("query", r"HKCU\SOFTWARE\Orvo\Vimbrot", "/v", "Data").stdout
    for line in out.splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[0] == "Data":
            if parts[1] != "REG_SZ":
                sys.exit("FAIL: the value is %s, not REG_SZ" % parts[1])
            return parts[2]
    return None


def fail(text):
    print("FAIL: " + text, flush=True)
    sys.exit(1)


class Game:
    def __init__(self, exe, work):
        self.display = S.Display()
        self.proc = subprocess.Popen(["wine", exe], cwd=work, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        self.window = S.find_window("Vimbrot", TIMEOUT, alive=lambda: self.proc.poll() is None)
        if self.window is None:
            fail("no window named Vimbrot (exit code %s)" % self.proc.poll())
        self.keys = S.Keys(self.window)

    def wait(self, what, text):
        deadline = time.monotonic() + TIMEOUT
        detail = "no picture"
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                fail("the game ended (code %d) waiting for %s" % (self.proc.returncode, what))
            rgb = self.display.grab(self.window)
            if rgb is not None:
                ok, detail = S.find_text(rgb, text)
                if ok:
                    print("  %s on screen" % what, flush=True)
                    return rgb
            time.sleep(0.05)
        rgb = self.display.grab(self.window)
        if rgb is not None:
            S.save_png(rgb, os.path.join(os.path.dirname(os.environ["SDL_DISKAUDIOFILE"]), "last.png"))
        fail("no %s within %.0f s (window %s): %s" % (what, TIMEOUT, self.display.size(self.window), detail))

    def run_to_game_over(self):
        self.wait("the menu's title", MENU_TITLE)
        self.wait("START selected", START_SELECTED)
        self.keys.tap("Return")
        # Left alone, the ship flies straight on until a gap or a block ends the run.
        self.wait("the game-over screen", GAME_OVER)
        self.keys.tap("Return")
        self.wait("the menu again", MENU_TITLE)

    def exit(self):
        self.keys.tap("Down")
        self.wait("EXIT selected", EXIT_SELECTED)
        self.keys.tap("Return")
        try:
            code = self.proc.wait(TIMEOUT)
        except subprocess.TimeoutExpired:
            self.proc.kill()
            fail("EXIT did not end the game")
        if code != 0:
            fail("EXIT ended the game with code %d" % code)


def main():
    exe, _, work = sys.argv[1:4]
    audio = os.environ["SDL_DISKAUDIOFILE"]

    # 1. A first run stores its score as the original program would.
    if read_store() is not None:
        fail("the fresh prefix already holds a best score")
    game = Game(exe, work)
    game.run_to_game_over()
    game.exit()
    value = read_store()
    if value is None:
        fail("no best score in the registry after a run")
    if value != value.upper() or len(value) % 2:
        fail("the stored hex %r is not upper-case byte pairs" % value)
    text = rc4(hashlib.md5(KEY_TEXT).digest(), bytes.fromhex(value))
    if not text.startswith(PREFIX) or not text[len(PREFIX):].isdigit():
        fail("the stored value decrypts to %r" % text)
    score = int(text[len(PREFIX):])
    if value != stored_hex(score):
        fail("stored %s, the cipher gives %s for %d" % (value, stored_hex(score), score))
    print("  stored best %d, as the cipher computes it" % score, flush=True)

    samples = np.fromfile(audio, dtype="<i2") if os.path.exists(audio) else np.zeros(0)
    if samples.size == 0 or np.abs(samples.astype(np.int32)).max() < 100:
        fail("the audio output is silent (%d samples)" % samples.size)
    print("  audio: %d samples, peak %d" % (samples.size, np.abs(samples.astype(np.int32)).max()), flush=True)

    # 2. A larger stored best survives a run that scores less.
    larger = score + 1000000
    if reg("add", r"HKCU\SOFTWARE\Orvo\Vimbrot", "/v", "Data", "/t", "REG_SZ", "/d", stored_hex(larger),
           "/f").returncode != 0:
        fail("wine reg add failed")
    game = Game(exe, work)
    game.wait("the stored best on the menu", S.Text("Best %d" % larger, 960, 460, 64, BEST))
    game.run_to_game_over()
    game.exit()
    if read_store() != stored_hex(larger):
        fail("the larger best %d was replaced by %s" % (larger, read_store()))
    print("  the larger best %d was kept" % larger, flush=True)
    print("PASS", flush=True)


main()
