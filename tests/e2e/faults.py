"""The real game on a hostile machine: a table of cases, each run in a
temporary working directory and HOME, with an X server of its own where it
needs one. Every step waits for what must happen (the menu's texts on screen,
the game-over screen, the process's end) with a timeout, never a fixed sleep.

Cases that need an unprivileged user run the game as "nobody" (through
setpriv); the full-disk cases mount a small tmpfs in a private mount
namespace (unshare). A case that cannot get what it needs is skipped; the
whole run exits with 77 when every case was skipped.

Usage: faults.py <vimbrot executable> [case name substring ...]"""

import os
import pwd
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
# Debian's python3 has numpy from python3-numpy; another python3 earlier in
# PATH may not.
try:
    import numpy  # noqa: F401
except ImportError:
    if sys.executable != "/usr/bin/python3" and os.path.exists("/usr/bin/python3"):
        os.execv("/usr/bin/python3", ["/usr/bin/python3", *sys.argv])
    print("skipped: python3-numpy is not installed")
    sys.exit(77)
for _tool in ("Xvfb", "xdotool"):
    if shutil.which(_tool) is None:
        print("skipped: %s is not installed" % _tool)
        sys.exit(77)
HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import screen as S  # noqa: E402
import play_session as P  # noqa: E402

TIMEOUT = float(os.environ.get("FAULTS_STEP_TIMEOUT", "120"))
NO_AUDIO_RECORD = "Failed to start sound engine: "


class Failure(Exception):
    pass


class Skip(Exception):
    pass


def wait_until(what, condition, timeout=TIMEOUT, poll=0.03):
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(poll)


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read().decode(errors="replace")
    except OSError:
        return ""


# ------------------------------------------------------------------ X server


class XServer:
    """A private Xvfb that any local user may use (-ac), so that the game can
    also run as nobody, and that a case may kill."""

    def __init__(self, width=1920, height=1200):
        self.width, self.height = width, height
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "%dx%dx24" % (width, height),
             "-nolisten", "tcp", "-ac", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        with os.fdopen(read_end, "rb") as pipe:
            number = pipe.readline().strip()
        if not number:
            raise Failure("Xvfb did not start")
        self.name = ":" + number.decode()
        os.environ["DISPLAY"] = self.name
        self.display = S.Display()

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()

    stop = kill


# --------------------------------------------------------------- the game


class Game:
    def __init__(self, exe, work, env, wrapper=(), cwd=None):
        self.work = work
        self.stderr_path = os.path.join(work, "stderr.txt")
        self.log_path = os.path.join(cwd or work, "message.log")
        self.proc = subprocess.Popen([*wrapper, exe], cwd=cwd or work, env=env, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=open(self.stderr_path, "wb"))
        self.window = None

    def find_window(self):
        self.window = S.find_window("Vimbrot", TIMEOUT, alive=lambda: self.proc.poll() is None)
        if self.window is None:
            raise Failure("no window (exit code %s); stderr: %s" % (self.proc.poll(), self.stderr()[-800:]))
        self.keys = S.Keys(self.window)
        return self.window

    def stderr(self):
        return read(self.stderr_path)

    def wait_exit(self, timeout=60):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the game did not end within %d s" % timeout)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


def visible_grab(x, game):
    """The window's pixels as a full-size array; parts off the screen stay
    black (a window larger than the screen cannot be grabbed whole)."""
    size = x.display.size(game.window)
    if size is None:
        return None
    w, h = size
    left, top = (x.width - w) // 2, (x.height - h) // 2
    x0, y0 = max(0, -left), max(0, -top)
    x1, y1 = min(w, x.width - left), min(h, x.height - top)
    part = x.display.grab(game.window, x0, y0, x1 - x0, y1 - y0)
    if part is None:
        return None
    import numpy as np
    full = np.zeros((h, w, 3), dtype=np.uint8)
    full[y0:y1, x0:x1] = part
    return full


def wait_screen(x, game, what, *texts, timeout=TIMEOUT):
    check = P.Session.all_found(*texts)
    detail = ["no picture"]

    def seen():
        if game.proc.poll() is not None:
            raise Failure("the game ended (exit code %s) while waiting for %s; stderr: %s"
                          % (game.proc.returncode, what, game.stderr()[-800:]))
        rgb = visible_grab(x, game)
        if rgb is None:
            return None
        ok, detail[0] = check(rgb)
        return [rgb] if ok else None

    try:
        return wait_until(what, seen, timeout)[0]
    except Failure as failure:
        raise Failure("%s; last check: %s" % (failure, detail[0]))


def wait_menu(x, game, best=None):
    texts = [P.START_SELECTED, P.EXIT_PLAIN] + ([P.menu_best(best)] if best is not None else [])
    return wait_screen(x, game, "the menu" + (" with Best %d" % best if best is not None else ""), *texts)


def play_until_game_over(x, game):
    """START, then Right held until the ship falls off the road."""
    game.keys.tap("Return")
    wait_until("the run to start", lambda: S.absent_text(visible_grab(x, game), P.START_SELECTED)[0]
               if visible_grab(x, game) is not None else False)
    game.keys.down("Right")
    try:
        return wait_screen(x, game, "the game-over screen", P.GAME_OVER, P.SCORE_LABEL, P.BEST_LABEL)
    finally:
        game.keys.up("Right")


def shows_score(rgb, score):
    ok, detail = S.find_text(rgb, S.Text(str(score), 960, 300, 100, P.BEST))
    return ok, detail


def quit_from_menu(game):
    game.keys.tap("Escape")
    code = game.wait_exit()
    if code != 0:
        raise Failure("exit code %d after Escape in the menu" % code)


# ------------------------------------------------------------- a case's home


class Work:
    """A temporary working directory and HOME every user may enter."""

    def __init__(self, name):
        self.dir = tempfile.mkdtemp(prefix="vimbrot-fault-%s-" % re.sub(r"\W+", "-", name))
        os.chmod(self.dir, 0o777)
        self.home = os.path.join(self.dir, "home")
        for sub in ("home", "home/.cache", "home/.local/share"):
            os.makedirs(os.path.join(self.dir, sub), exist_ok=True)
            os.chmod(os.path.join(self.dir, sub), 0o777)
        self.env = dict(os.environ)
        self.env.update(HOME=self.home, XDG_DATA_HOME=os.path.join(self.home, ".local/share"),
                        XDG_CACHE_HOME=os.path.join(self.home, ".cache"), SDL_AUDIODRIVER="dummy")
        self.env.pop("MESA_GL_VERSION_OVERRIDE", None)

    def product(self, share=None):
        return os.path.join(share or self.env["XDG_DATA_HOME"], "Orvo", "Vimbrot")

    def seed(self, best, share=None):
        """Stores a best score as the game does (upper-case hex of RC4 text)."""
        import hashlib
        folder = self.product(share)
        os.makedirs(folder, mode=0o700, exist_ok=True)
        plain = P.STORE_PREFIX + str(best).encode()
        hexed = P.rc4(hashlib.md5(P.STORE_KEY).digest(), plain).hex().upper().encode() + b"\0"
        path = os.path.join(folder, "data")
        with open(path, "wb") as f:
            f.write(hexed)
        return path

    def cleanup(self):
        shutil.rmtree(self.dir, ignore_errors=True)


def nobody_wrapper():
    try:
        pwd.getpwnam("nobody")
    except KeyError:
        raise Skip("no user nobody")
    if os.geteuid() != 0 or not shutil.which("setpriv"):
        raise Skip("running as another user needs root and setpriv")
    return ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]


def chown_nobody(*paths):
    user = pwd.getpwnam("nobody")
    for p in paths:
        os.chown(p, user.pw_uid, user.pw_gid)


def full_disk_wrapper(folder):
    """Runs the game with `folder` a full 64 KiB tmpfs, in a mount namespace
    of its own."""
    if os.geteuid() != 0 or not shutil.which("unshare"):
        raise Skip("a private tmpfs needs root and unshare")
    probe = subprocess.run(["unshare", "-m", "--propagation", "private", "true"], capture_output=True)
    if probe.returncode != 0:
        raise Skip("no mount namespace here: " + probe.stderr.decode().strip())
    script = ('mount -t tmpfs -o size=64k tmpfs "$1" && (cat /dev/zero > "$1/filler" 2>/dev/null; true) '
              '&& cd "$1" && shift && exec "$@"')
    return ["unshare", "-m", "--propagation", "private", "sh", "-c", script, "sh", folder]


# ----------------------------------------------------------------- the cases

CASES = []


def case(name, x_server=(1920, 1200)):
    def register(function):
        CASES.append((name, x_server, function))
        return function
    return register


for _name, _display in (("no DISPLAY", None), ("a wrong DISPLAY", ":987"), ("a DISPLAY of garbage", "no-such")):
    def _no_display(exe, work, x, display=_display):
        env = dict(work.env)
        env.pop("DISPLAY", None)
        env.pop("WAYLAND_DISPLAY", None)
        if display is not None:
            env["DISPLAY"] = display
        game = Game(exe, work.dir, env)
        code = game.wait_exit()
        if code != 1 or "no display" not in game.stderr():
            raise Failure("exit code %d, stderr %r; expected 1 and a word on the display" % (code, game.stderr()))
        if os.path.exists(game.log_path):
            raise Failure("message.log was written")
    case(_name, None)(_no_display)

for _screen, _window in (((800, 600), (1280, 720)), ((1920, 1080), (1280, 720)), ((3840, 2160), (1920, 1080))):
    def _screen_case(exe, work, x, window=_window):
        game = Game(exe, work.dir, work.env)
        game.find_window()
        size = x.display.size(game.window)
        if size != window:
            raise Failure("window %s on a %dx%d screen, expected %s" % (size, x.width, x.height, window))
        wait_menu(x, game, best=0)
        quit_from_menu(game)
    case("a screen of %dx%d" % _screen, _screen)(_screen_case)


@case("no audio device")
def _no_audio(exe, work, x):
    env = dict(work.env, SDL_AUDIODRIVER="no-such-driver")
    game = Game(exe, work.dir, env)
    game.find_window()
    wait_menu(x, game)
    quit_from_menu(game)
    log = read(game.log_path)
    if log.count(NO_AUDIO_RECORD) != 1 or log.count("ERROR (") != 1:
        raise Failure("message.log should hold one record of the missing audio device:\n" + log)


@case("a shader that cannot be built: exit code 3")
def _start_up_failure(exe, work, x):
    env = dict(work.env, MESA_GL_VERSION_OVERRIDE="4.3", MESA_GLSL_VERSION_OVERRIDE="420")
    game = Game(exe, work.dir, env)
    code = game.wait_exit()
    errors = game.stderr().strip().splitlines()
    if code != 3:
        raise Failure("exit code %d, expected 3; stderr %r" % (code, game.stderr()))
    if len(errors) != 1 or "message.log" not in errors[0]:
        raise Failure("stderr should be one line naming message.log: %r" % game.stderr())
    if "Shader error" not in read(game.log_path):
        raise Failure("message.log lacks the shader's record")


# Starts that end before the menu, again and again: the start-up workers
# must never outlive main's decision to leave (a crash on the way out, or a
# sanitizer's report, shows one that did). FAULTS_EXIT_STARTS sets the
# number of rounds; bench/early-exits runs a few hundred.
EARLY_EXITS = (
    ("no DISPLAY", {"DISPLAY": None}, 1),
    ("a wrong DISPLAY", {"DISPLAY": ":987"}, 1),
    ("GL 3.3 only", {"MESA_GL_VERSION_OVERRIDE": "3.3", "MESA_GLSL_VERSION_OVERRIDE": "330"}, 2),
    ("a shader that cannot be built", {"MESA_GL_VERSION_OVERRIDE": "4.3", "MESA_GLSL_VERSION_OVERRIDE": "420"}, 3),
)
SANITIZER_WORDS = ("Sanitizer", "runtime error:")


@case("starts that end early, over and over")
def _early_exits(exe, work, x):
    rounds = int(os.environ.get("FAULTS_EXIT_STARTS", "5"))
    for round_ in range(rounds):
        for what, change, want in EARLY_EXITS:
            env = dict(work.env)
            for key, value in change.items():
                if value is None:
                    env.pop(key, None)
                else:
                    env[key] = value
            game = Game(exe, work.dir, env)
            code = game.wait_exit()
            err = game.stderr()
            if code != want or any(word in err for word in SANITIZER_WORDS):
                raise Failure("start %d with %s: exit code %d, expected %d; stderr:\n%s"
                              % (round_ + 1, what, code, want, err[-3000:]))
            if os.path.exists(game.log_path):
                os.remove(game.log_path)


for _sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
    def _signal_case(exe, work, x, sig=_sig):
        game = Game(exe, work.dir, work.env)
        game.find_window()
        wait_menu(x, game)
        game.proc.send_signal(sig)
        code = game.wait_exit(timeout=10)
        if code != -sig:
            raise Failure("ended with %d, expected death by signal %d (a shell shows %d)" % (code, sig, 128 + sig))
    case("SIG%s in the menu" % signal.Signals(_sig).name[3:])(_signal_case)


# message.log in hostile shapes: the game must start (no freeze), keep
# going after F12, quit normally, and leave what is there untouched. A
# missing audio device makes it write a record at start-up.
def _hostile_log(name, prepare, check_after=None, unprivileged=False, full_disk=False, in_log=False,
                 delete_cwd=False):
    def run(exe, work, x):
        cwd = os.path.join(work.dir, "play")
        os.makedirs(cwd)
        os.chmod(cwd, 0o777)
        wrapper = []
        if full_disk:
            wrapper += full_disk_wrapper(cwd)
        state = prepare(cwd) or {}
        if unprivileged:
            wrapper += nobody_wrapper()
        env = dict(work.env, SDL_AUDIODRIVER="no-such-driver")
        game = Game(exe, work.dir, env, wrapper, cwd=cwd)
        game.find_window()
        wait_menu(x, game)
        if delete_cwd:
            shutil.rmtree(cwd)  # the start-up record went in there; F12 finds it gone
        game.keys.tap("F12")
        game.keys.tap("Down")  # still answering after F12
        wait_screen(x, game, "EXIT selected after F12", P.EXIT_SELECTED, P.START_PLAIN)
        game.keys.tap("Return")
        code = game.wait_exit()
        if code != 0:
            raise Failure("exit code %d after EXIT" % code)
        errors = game.stderr()
        if in_log:
            if errors.strip():
                raise Failure("stderr: %r" % errors)
        else:
            records = 0 if delete_cwd else 1
            if errors.count("vimbrot: cannot write message.log (") != 1 or errors.count(NO_AUDIO_RECORD) != records:
                raise Failure("stderr should say once why the log is unusable and hold the record once: %r" % errors)
        if check_after:
            check_after(cwd, state)
    case("message.log " + name)(run)


def _same_file(path, want):
    def check(cwd, state):
        if read(os.path.join(cwd, path)) != want:
            raise Failure("%s changed: %r" % (path, read(os.path.join(cwd, path))))
    return check


_hostile_log("as a folder", lambda cwd: os.mkdir(os.path.join(cwd, "message.log")),
             lambda cwd, s: os.path.isdir(os.path.join(cwd, "message.log")) or (_ for _ in ()).throw(
                 Failure("the folder is gone")))
_hostile_log("as a FIFO", lambda cwd: os.mkfifo(os.path.join(cwd, "message.log")),
             lambda cwd, s: stat.S_ISFIFO(os.lstat(os.path.join(cwd, "message.log")).st_mode) or (_ for _ in ()).throw(
                 Failure("the FIFO is gone")))
_hostile_log("as a link to another file",
             lambda cwd: (open(os.path.join(cwd, "other.txt"), "w").write("33 bytes that must stay as we are"),
                          os.symlink("other.txt", os.path.join(cwd, "message.log"))),
             _same_file("other.txt", "33 bytes that must stay as we are"))
_hostile_log("as a dangling link", lambda cwd: os.symlink("target.txt", os.path.join(cwd, "message.log")),
             lambda cwd, s: not os.path.lexists(os.path.join(cwd, "target.txt")) or (_ for _ in ()).throw(
                 Failure("the link's target was created")))
_hostile_log("read-only", lambda cwd: (open(os.path.join(cwd, "message.log"), "w").write("kept\n"),
                                       os.chmod(os.path.join(cwd, "message.log"), 0o444)),
             _same_file("message.log", "kept\n"), unprivileged=True)
_hostile_log("in a read-only folder", lambda cwd: os.chmod(cwd, 0o755), unprivileged=True)
_hostile_log("in a deleted folder", lambda cwd: None, delete_cwd=True)
_hostile_log("on a full disk", lambda cwd: None, full_disk=True)


def _huge(cwd):
    with open(os.path.join(cwd, "message.log"), "wb") as f:
        f.truncate(3 << 30)


_hostile_log("huge (3 GiB, sparse): F12 empties it", _huge,
             lambda cwd, s: os.path.getsize(os.path.join(cwd, "message.log")) == 0 or (_ for _ in ()).throw(
                 Failure("F12 left %d bytes" % os.path.getsize(os.path.join(cwd, "message.log")))),
             in_log=True)


# The best-score store.
def _store_menu(name, prepare, best, env_change=None, record=None):
    def run(exe, work, x):
        state = prepare(work)
        env = dict(work.env)
        for key, value in (env_change or {}).items():
            if value is None:
                env.pop(key, None)
            else:
                env[key] = value
        game = Game(exe, work.dir, env)
        game.find_window()
        wait_menu(x, game, best=best)
        quit_from_menu(game)
        log = read(game.log_path)
        if record is None and log:
            raise Failure("message.log: " + log)
        if record is not None and (log.count(record) != 1 or log.count("ERROR (") != 1):
            raise Failure("message.log should hold one record %r:\n%s" % (record, log))
        if isinstance(state, dict) and state.get("check"):
            state["check"]()
    case("store: " + name)(run)


def _thing_in_place(make, kind):
    def prepare(work):
        os.makedirs(work.product(), mode=0o700)
        path = os.path.join(work.product(), "data")
        make(path)
        return {"check": lambda: kind(os.lstat(path).st_mode) or (_ for _ in ()).throw(Failure("data replaced"))}
    return prepare


_store_menu("data is a FIFO", _thing_in_place(os.mkfifo, stat.S_ISFIFO), 0, record="Cannot read the best score from")
_store_menu("data is a folder", _thing_in_place(os.mkdir, stat.S_ISDIR), 0, record="Cannot read the best score from")
_store_menu("XDG_DATA_HOME relative", lambda w: w.seed(321, os.path.join(w.home, ".local/share")), 321,
            {"XDG_DATA_HOME": "relative/share"})
_store_menu("XDG_DATA_HOME empty", lambda w: w.seed(321, os.path.join(w.home, ".local/share")), 321,
            {"XDG_DATA_HOME": ""})
_store_menu("XDG_DATA_HOME missing", lambda w: w.seed(321, os.path.join(w.home, ".local/share")), 321,
            {"XDG_DATA_HOME": None})
_store_menu("HOME unset", lambda w: w.seed(654), 654, {"HOME": None})


@case("store: unreadable best (mode 0000) is kept through a run")
def _unreadable_run(exe, work, x):
    wrapper = nobody_wrapper()
    path = work.seed(500)
    chown_nobody(os.path.join(work.env["XDG_DATA_HOME"], "Orvo"), work.product(), path)
    os.chmod(path, 0)
    before = open(path, "rb").read()
    game = Game(exe, work.dir, work.env, wrapper)
    game.find_window()
    wait_menu(x, game)
    play_until_game_over(x, game)
    game.keys.tap("Escape")
    wait_menu(x, game)
    quit_from_menu(game)
    log = read(game.log_path)
    if log.count("Cannot read the best score from %s: Permission denied" % path) != 1:
        raise Failure("one record should name the unreadable store:\n" + log)
    if log.count("not saved: %s cannot be read: Permission denied (errno 13)" % path) != 1:
        raise Failure("the refused save should be recorded once:\n" + log)
    if open(path, "rb").read() != before or stat.S_IMODE(os.stat(path).st_mode) != 0:
        raise Failure("the stored best was touched")


@case("store: a save that fails still shows the run's score")
def _failed_save_run(exe, work, x):
    wrapper = nobody_wrapper()
    folder = work.product()
    os.makedirs(folder)
    os.chmod(os.path.dirname(folder), 0o755)
    os.chmod(folder, 0o755)  # root's: nobody cannot write there
    game = Game(exe, work.dir, work.env, wrapper)
    game.find_window()
    wait_menu(x, game)
    play_until_game_over(x, game)
    log = read(game.log_path)
    found = re.search(r"Failed to save the best score (\d+) to %s: Permission denied \(errno 13\)"
                      % re.escape(os.path.join(folder, "data")), log)
    if not found or log.count("ERROR (") != 1:
        raise Failure("one record with the path and errno expected:\n" + log)
    score = int(found.group(1))
    wait_screen(x, game, "the run's score %d" % score, S.Text(str(score), 960, 300, 100, P.BEST))
    game.keys.tap("Escape")
    wait_menu(x, game, best=0)
    quit_from_menu(game)


# A whole game (menu, a run, the menu again, quit) where no session bus
# runs: the game runs no program but itself (its own re-start included), so
# it launches no bus daemon or other helper that could outlive it.
@case("no program run but the game")
def _no_helper_programs(exe, work, x):
    if shutil.which("strace") is None:
        raise Skip("strace is not installed")
    env = dict(work.env)
    env.pop("DBUS_SESSION_BUS_ADDRESS", None)
    env.pop("XDG_RUNTIME_DIR", None)
    trace = os.path.join(work.dir, "execs.txt")
    game = Game(exe, work.dir, env, ["strace", "-f", "-qq", "-e", "trace=execve,execveat", "-o", trace])
    game.find_window()
    wait_menu(x, game)
    play_until_game_over(x, game)
    game.keys.tap("Escape")
    wait_menu(x, game)
    quit_from_menu(game)
    calls = [line for line in read(trace).splitlines() if re.match(r"\d+ +execve(at)?\(", line)]
    programs = [re.match(r"\d+ +execve(?:at)?\((?:[^,]*, )?\"([^\"]*)\"", line) for line in calls]
    others = [line for line, found in zip(calls, programs)
              if not found or found.group(1) not in (exe, "/proc/self/exe")]
    if not calls or others:
        raise Failure("programs run besides the game (%d of %d execs):\n%s"
                      % (len(others), len(calls), "\n".join(others[:5])))


# A disk whose flush stalls: a preloaded shim, built here, holds every fsync
# of a file in the store's folder until a gate file exists.
STALL_SHIM = r"""
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

int fsync(int fd) {
    static int (*real)(int);
    if (real == NULL) real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
    const char* gate = getenv("STALL_GATE");
    const char* reached = getenv("STALL_REACHED");
    char link[64], path[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, path, sizeof path - 1);
    if (gate != NULL && reached != NULL && n > 0) {
        path[n] = 0;
        if (strstr(path, "/Orvo/Vimbrot/") != NULL) {
            close(open(reached, O_WRONLY | O_CREAT | O_CLOEXEC, 0600));
            while (access(gate, F_OK) != 0) usleep(10000);
        }
    }
    return real(fd);
}
"""


def stored_best(path):
    import hashlib
    raw = open(path, "rb").read()
    plain = P.rc4(hashlib.md5(P.STORE_KEY).digest(), bytes.fromhex(raw[:-1].decode()))
    return int(plain[len(P.STORE_PREFIX):])


@case("a stalled disk: the game-over screen at once, the exit waits for the save")
def _stalled_save(exe, work, x):
    shim = build_stall_shim(work)
    # No best yet, so that any run saves (holding Right may end it early).
    seeded = os.path.join(work.product(), "data")
    gate = os.path.join(work.dir, "gate")
    reached = os.path.join(work.dir, "reached")
    env = dict(work.env, LD_PRELOAD=shim, STALL_GATE=gate, STALL_REACHED=reached,
               # The sanitizer's runtime wants to be first; the shim is.
               ASAN_OPTIONS=":".join(filter(None, [work.env.get("ASAN_OPTIONS"), "verify_asan_link_order=0"])))
    game = Game(exe, work.dir, env)
    game.find_window()
    wait_menu(x, game, best=0)
    play_until_game_over(x, game)
    wait_until("the save to reach its flush", lambda: os.path.exists(reached))
    stalled_frame = visible_grab(x, game)
    if os.path.exists(seeded):
        raise Failure("the best was stored while its flush was held")
    game.keys.tap("Escape")
    wait_menu(x, game)
    game.keys.tap("Escape")
    wait_until("the window to close", lambda: x.display.size(game.window) is None or game.proc.poll() is not None)
    if game.proc.poll() is not None:
        raise Failure("the game ended (exit code %s) before its save was done" % game.proc.poll())
    with open(gate, "w"):
        pass
    code = game.wait_exit()
    if code != 0:
        raise Failure("exit code %d after the save was let through; stderr %r" % (code, game.stderr()[-400:]))
    best = stored_best(seeded)
    if best <= 0:
        raise Failure("the run's score was not saved (stored %d)" % best)
    ok, detail = S.find_text(stalled_frame, S.Text(str(best), 960, 110, 48, P.BRIGHT))
    if not ok:
        raise Failure("the game-over screen did not show the new best %d while the save was held: %s"
                      % (best, detail))
    if read(game.log_path):
        raise Failure("message.log was written:\n" + read(game.log_path))


@case("another game holds the store's lock: every run ends at once, the exit waits 10 s and names the score")
def _held_store_lock(exe, work, x):
    import fcntl
    seeded = work.seed(0)
    lock = open(os.path.join(work.product(), ".data.lock"), "a")
    fcntl.flock(lock, fcntl.LOCK_EX)
    try:
        game = Game(exe, work.dir, work.env)
        game.find_window()
        wait_menu(x, game, best=0)
        # Two runs: the second ends while the first one's save still waits
        # for the lock, and must reach its screen all the same.
        for run in (1, 2):
            play_until_game_over(x, game)
            game.keys.tap("Escape")
            wait_menu(x, game)
        game.keys.tap("Escape")
        wait_until("the window to close", lambda: x.display.size(game.window) is None or game.proc.poll() is not None)
        code = game.wait_exit(timeout=60)
        if code != 0:
            raise Failure("exit code %d with the lock held; stderr %r" % (code, game.stderr()[-400:]))
    finally:
        fcntl.flock(lock, fcntl.LOCK_UN)
        lock.close()
    if stored_best(seeded) != 0:
        raise Failure("the best was replaced while another game held the lock")
    log = read(game.log_path)
    records = log.count("ERROR (")
    if records != 1 or "not saved: the store did not answer within 10 s" not in log:
        raise Failure("expected one record naming the unsaved score, got:\n" + log)


# The settings M and F11 change ($HOME/.config/Orvo/Vimbrot/settings).
def settings_folder(work):
    return os.path.join(work.home, ".config", "Orvo", "Vimbrot")


def settings_path(work):
    return os.path.join(settings_folder(work), "settings")


def build_stall_shim(work):
    compiler = shutil.which("cc")
    if compiler is None:
        raise Skip("no C compiler to build the stalling shim")
    source = os.path.join(work.dir, "stall.c")
    shim = os.path.join(work.dir, "stall.so")
    with open(source, "w") as f:
        f.write(STALL_SHIM)
    subprocess.run([compiler, "-shared", "-fPIC", "-O1", "-o", shim, source, "-ldl"], check=True)
    return shim


@case("settings: a stalled disk on M and F11: the game answers, the changes land later", (1280, 1024))
def _stalled_settings(exe, work, x):
    shim = build_stall_shim(work)
    gate = os.path.join(work.dir, "gate")
    reached = os.path.join(work.dir, "reached")
    env = dict(work.env, LD_PRELOAD=shim, STALL_GATE=gate, STALL_REACHED=reached,
               ASAN_OPTIONS=":".join(filter(None, [work.env.get("ASAN_OPTIONS"), "verify_asan_link_order=0"])))
    game = Game(exe, work.dir, env)
    game.find_window()
    wait_menu(x, game)
    window = x.display.size(game.window)
    game.keys.tap("m")
    wait_until("the change of mute to reach its flush", lambda: os.path.exists(reached))
    # The flush is held: the frames go on all the same.
    game.keys.tap("Down")
    wait_screen(x, game, "EXIT selected while the flush is held", P.EXIT_SELECTED, P.START_PLAIN, timeout=60)
    game.keys.tap("F11")
    wait_until("the window to cover the screen", lambda: x.display.size(game.window) == (x.width, x.height), 60)
    game.keys.tap("F11")
    wait_until("the window back", lambda: x.display.size(game.window) == window, 60)
    game.keys.tap("Up")
    wait_menu(x, game)
    if "mute" in read(settings_path(work)):
        raise Failure("mute was stored while its flush was held")

    with open(gate, "w"):
        pass
    wait_until("the settings to say mute = true and fullscreen = false",
               lambda: read(settings_path(work)) == "mute = true\nfullscreen = false\n")
    quit_from_menu(game)
    if read(game.log_path):
        raise Failure("message.log was written:\n" + read(game.log_path))


@case("settings: leaving while another game holds their lock waits 10 s, then one record")
def _settings_lock_held(exe, work, x):
    import fcntl
    os.makedirs(settings_folder(work), mode=0o700)
    holder = open(os.path.join(settings_folder(work), ".settings.lock"), "w")
    try:
        fcntl.flock(holder, fcntl.LOCK_EX)
        game = Game(exe, work.dir, work.env)
        game.find_window()
        wait_menu(x, game)
        game.keys.tap("m")
        game.keys.tap("Down")
        wait_screen(x, game, "EXIT selected after M", P.EXIT_SELECTED, P.START_PLAIN)
        game.keys.tap("Return")
        wait_until("the window to close", lambda: x.display.size(game.window) is None or game.proc.poll() is not None)
        code = game.wait_exit(timeout=60)
        if code != 0:
            raise Failure("exit code %d while the lock was held" % code)
        if os.path.exists(settings_path(work)):
            raise Failure("the settings were written under another game's lock: %r" % read(settings_path(work)))
    finally:
        holder.close()
    log = read(game.log_path)
    if log.count("ERROR (") != 1 or log.count(
            "Settings not saved (mute = true): the settings file did not answer within 10 s") != 1:
        raise Failure("one record naming the unsaved change expected:\n" + log)


# What stands in the settings' place and cannot be read as them: the game
# starts with the defaults and one record, each M is refused with one more,
# and the thing stays what it was.
def _settings_kept(name, make, kind, reason):
    def run(exe, work, x):
        os.makedirs(settings_folder(work), mode=0o700)
        make(settings_path(work))
        game = Game(exe, work.dir, work.env)
        game.find_window()
        wait_menu(x, game)
        game.keys.tap("m")
        wait_until("the refused change's record", lambda: "Cannot keep mute = true" in read(game.log_path))
        quit_from_menu(game)
        log = read(game.log_path)
        if (log.count("ERROR (") != 2 or log.count("Cannot read the settings %s: " % settings_path(work)) != 1
                or log.count("Cannot keep mute = true in the settings %s: " % settings_path(work)) != 1
                or log.count(reason) != 2):
            raise Failure("one record at the start and one for M expected:\n" + log)
        if not kind(settings_path(work)):
            raise Failure("the settings' file was replaced: %s" % os.lstat(settings_path(work)))
    case("settings: " + name)(run)


_settings_kept("a FIFO in their place", os.mkfifo, lambda p: stat.S_ISFIFO(os.lstat(p).st_mode),
               "not a regular file")
_settings_kept("a link to a failing read (/proc/self/mem)", lambda p: os.symlink("/proc/self/mem", p),
               lambda p: os.path.islink(p) and os.readlink(p) == "/proc/self/mem", "Input/output error")
_settings_kept("a link to a device", lambda p: os.symlink("/dev/null", p),
               lambda p: os.path.islink(p) and os.readlink(p) == "/dev/null", "not a regular file")


@case("settings: a dotfile link, with comments: M changes its line in the link's target")
def _settings_dotfile(exe, work, x):
    target = os.path.join(work.home, "dotfiles", "vimbrot", "settings")
    os.makedirs(os.path.dirname(target))
    mine = "# kept in git\r\nfullscreen = false\r\n\r\n# the end\r\n"
    with open(target, "w", newline="") as f:
        f.write(mine)
    os.makedirs(settings_folder(work), mode=0o700)
    os.symlink("../../../dotfiles/vimbrot/settings", settings_path(work))
    game = Game(exe, work.dir, work.env)
    game.find_window()
    wait_menu(x, game)
    game.keys.tap("m")
    want = mine + "mute = true\r\n"
    wait_until("the link's target to say mute = true", lambda: read(target) == want)
    quit_from_menu(game)
    if os.readlink(settings_path(work)) != "../../../dotfiles/vimbrot/settings":
        raise Failure("the link was replaced")
    if sorted(os.listdir(os.path.dirname(target))) != ["settings"]:
        raise Failure("files left beside the target: %s" % os.listdir(os.path.dirname(target)))
    if read(game.log_path):
        raise Failure("message.log was written:\n" + read(game.log_path))


# The X server going away: the game must end on its own, not hang or crash.
def _x_killed(where):
    def run(exe, work, x):
        game = Game(exe, work.dir, work.env)
        game.find_window()
        wait_menu(x, game)
        if where == "a run":
            game.keys.tap("Return")
            wait_until("the run", lambda: S.absent_text(visible_grab(x, game), P.START_SELECTED)[0])
        elif where == "game over":
            play_until_game_over(x, game)
        x.kill()
        code = game.wait_exit(timeout=30)
        if code < 0:
            raise Failure("ended by signal %d" % -code)
        if P.SANITIZER_REPORT.search(game.stderr()):
            raise Failure("sanitizer report:\n" + game.stderr()[:3000])
        stored = os.path.join(work.product(), "data")
        if (where == "game over") != os.path.exists(stored):
            raise Failure("store after the X server died in %s: %s" % (where, os.path.exists(stored)))
    case("X server killed in " + where)(run)


for _where in ("the menu", "a run", "game over"):
    _x_killed(_where)


# ------------------------------------------------------------------- driver


def main():
    exe = os.path.realpath(sys.argv[1])
    wanted = sys.argv[2:]
    results = []
    for name, screen_size, function in CASES:
        if wanted and not any(w in name for w in wanted):
            continue
        x = work = None
        started = time.monotonic()
        try:
            os.environ.pop("DISPLAY", None)
            if screen_size is not None:
                x = XServer(*screen_size)
            work = Work(name)
            function(exe, work, x)
            results.append((name, "PASS", ""))
        except Skip as why:
            results.append((name, "SKIP", str(why)))
        except (Failure, OSError, subprocess.CalledProcessError) as why:
            results.append((name, "FAIL", str(why)))
        finally:
            for proc in list(_children()):
                proc.kill()
            if x is not None:
                x.stop()
            if work is not None:
                work.cleanup()
        status, detail = results[-1][1], results[-1][2]
        print("%-4s %-58s %5.1f s %s" % (status, name, time.monotonic() - started, detail), flush=True)
    failed = [r for r in results if r[1] == "FAIL"]
    passed = [r for r in results if r[1] == "PASS"]
    print("%d passed, %d failed, %d skipped" % (len(passed), len(failed), len(results) - len(passed) - len(failed)))
    if failed:
        return 1
    return 0 if passed else 77


def _children():
    """Games a failed case left running (found by their parent, us)."""
    out = subprocess.run(["pgrep", "-P", str(os.getpid())], capture_output=True, text=True).stdout.split()
    for pid in out:
        try:
            name = open("/proc/%s/comm" % pid).read().strip()
        except OSError:
            continue
        if name in ("vimbrot", "setpriv", "unshare", "strace"):
            yield _Pid(int(pid))


class _Pid:
    def __init__(self, pid):
        self.pid = pid

    def kill(self):
        try:
            os.kill(self.pid, signal.SIGKILL)
            os.waitpid(self.pid, 0)
        except OSError:
            pass


if __name__ == "__main__":
    sys.exit(main())
