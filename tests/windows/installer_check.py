"""The Windows installer as a player meets it, in a fresh Wine prefix:
`setup.exe /S` puts the game, its two texts and the uninstaller in
Program Files\\Vimbrot and registers them in Add/Remove Programs; the
installing user gets a Start menu shortcut whose "Start in" (read from the
.lnk file itself) is their own %LOCALAPPDATA%\\Vimbrot; the game started
through that shortcut reaches its menu and writes message.log there, never
in Program Files; `Uninstall.exe /S` removes everything it installed, the
shortcuts, the play folder and the Add/Remove entry, and leaves the best
score in the registry. Every step waits for what it checks (a window's
pixels, a file, a folder gone), never for a fixed time.

Run inside a private X server (installer_check.sh) with WINEPREFIX set.
Usage: installer_check.py <setup.exe> <vimbrot.exe> <source dir> <work dir>"""

import hashlib
import os
import re
import struct
import subprocess
import sys
import time

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(sys.argv[3], "tests", "e2e"))
import screen as S  # noqa: E402
from play_session import rc4  # noqa: E402

TIMEOUT = float(os.environ.get("WINDOWS_E2E_TIMEOUT", "120"))
SELECTED = S.rgb255(0.5, 0.5, 0.75)
EXIT_SELECTED = S.Text("EXIT", 960, 120, 100, SELECTED)
STORE_KEY = r"HKCU\SOFTWARE\Orvo\Vimbrot"
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vimbrot %s"
INSTALLER_KEY = r"HKLM\Software\Orvo\Vimbrot %s"
INSTALLED = {"vimbrot.exe", "Uninstall.exe", "README.txt", "LICENSE.txt"}


def fail(text):
    print("FAIL: " + text, flush=True)
    sys.exit(1)


def wine(*args, timeout=TIMEOUT):
    return subprocess.run(["wine", *args], capture_output=True, text=True, timeout=timeout)


def windows_env(name):
    value = wine("cmd", "/c", "echo %" + name + "%").stdout.strip()
    if not value or "%" in value:
        fail("Wine's cmd has no %s" % name)
    return value


def unix_path(windows):
    return subprocess.run(["winepath", "-u", windows], capture_output=True, text=True,
                          check=True).stdout.strip()


def reg_values(key):
    """The key's values as {name: text}, or None when there is no such key."""
    found = wine("reg", "query", key)
    if found.returncode != 0:
        return None
    values = {}
    for line in found.stdout.splitlines():
        m = re.match(r"^    (\S.*?)    (REG_\w+)    (.*)$", line)
        if m:
            values[m.group(1)] = m.group(3)
    return values


def read_shell_link(path):
    """Target and "Start in" of a .lnk file, read as the shell link format
    lays them out: the header, the item ID list, the link info (whose local
    base path is the target) and then the counted strings, of which the
    working folder is the third kind."""
    data = open(path, "rb").read()
    header, = struct.unpack_from("<I", data, 0)
    if header != 0x4C or data[4:20] != bytes.fromhex("0114020000000000c000000000000046"):
        fail("%s is not a shell link" % path)
    flags, = struct.unpack_from("<I", data, 0x14)
    pos, target = header, None
    if flags & 0x1:  # HasLinkTargetIDList
        size, = struct.unpack_from("<H", data, pos)
        pos += 2 + size
    if flags & 0x2:  # HasLinkInfo
        size, = struct.unpack_from("<I", data, pos)
        info = data[pos:pos + size]
        info_header, info_flags = struct.unpack_from("<II", info, 4)
        if info_flags & 0x1:  # VolumeIDAndLocalBasePath
            if info_header >= 0x24:
                offset, = struct.unpack_from("<I", info, 0x1C)
                end = offset
                while info[end:end + 2] != b"\0\0":
                    end += 2
                target = info[offset:end].decode("utf-16-le")
            else:
                offset, = struct.unpack_from("<I", info, 0x10)
                target = info[offset:info.index(b"\0", offset)].decode("latin-1")
        pos += size
    unicode = bool(flags & 0x80)
    strings = {}
    for bit, name in ((0x4, "name"), (0x8, "relative"), (0x10, "workdir"), (0x20, "arguments"), (0x40, "icon")):
        if flags & bit:
            count, = struct.unpack_from("<H", data, pos)
            pos += 2
            size = 2 * count if unicode else count
            raw = data[pos:pos + size]
            strings[name] = (raw.decode("utf-16-le") if unicode else raw.decode("latin-1")).rstrip("\0")
            pos += size
    return target, strings.get("workdir")


def sections(path):
    """The code and the resources of a PE file: the same in a stripped copy."""
    out = []
    for section in (".text", ".rsrc"):
        out.append(subprocess.run(["x86_64-w64-mingw32-objcopy", "-O", "binary", "-j", section, path, "/dev/stdout"],
                                  capture_output=True, check=True).stdout)
    return out


def wait_for(what, ready, timeout=TIMEOUT):
    deadline = time.monotonic() + timeout
    while not ready():
        if time.monotonic() > deadline:
            fail("%s: not within %.0f s" % (what, timeout))
        time.sleep(0.05)
    print("  " + what, flush=True)


def same_path(a, b):
    return os.path.realpath(a) == os.path.realpath(b)


def start_menu_links(roots):
    links = []
    for root in roots:
        for folder, _, files in os.walk(root):
            links += [os.path.join(folder, f) for f in files if "vimbrot" in folder.lower() or "vimbrot" in f.lower()]
    return links


def play_through_shortcut(link, workdir, installdir):
    """Starts the game as the Start menu does (the shell resolves the link and
    starts its target in its "Start in" folder), sees its menu, empties its
    log with F12 (which makes message.log) and quits with EXIT. The shell
    hands back no process for a link, so the game's end is its window's."""
    # The game inherits start's output: a pipe there would outlive start.
    if subprocess.run(["wine", "start", "/unix", link], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                      timeout=TIMEOUT).returncode != 0:
        fail("wine start of the shortcut failed")
    window = S.find_window("Vimbrot", TIMEOUT)
    if window is None:
        fail("the shortcut opened no window named Vimbrot")
    display = S.Display()
    if not S.wait_for_title(display, window, TIMEOUT):
        fail("the game started by the shortcut never showed its menu")
    print("  the menu on screen", flush=True)
    keys = S.Keys(window)
    keys.tap("F12")
    log = os.path.join(workdir, "message.log")
    wait_for("message.log in the play folder", lambda: os.path.isfile(log))
    stray = sorted(set(os.listdir(installdir)) - INSTALLED)
    if stray:
        fail("the game wrote %s into Program Files" % stray)
    keys.tap("Down")
    wait_for("EXIT selected", lambda: S.find_text(display.grab(window), EXIT_SELECTED)[0])
    keys.tap("Return")
    wait_for("the game's window closed by EXIT", lambda: display.size(window) is None)


def main():
    setup, built_exe, src = sys.argv[1:4]
    version = re.match(r"Vimbrot-(.+)-win64-setup\.exe$", os.path.basename(setup)).group(1)

    # 1. A silent install.
    started = time.monotonic()
    result = wine(setup, "/S")
    if result.returncode != 0:
        fail("setup /S ended with code %d" % result.returncode)
    print("  setup /S: %.1f s" % (time.monotonic() - started), flush=True)

    entry = reg_values(UNINSTALL_KEY % version)
    if entry is None:
        fail("no Add/Remove Programs entry %s" % (UNINSTALL_KEY % version))
    installdir_win = windows_env("ProgramFiles") + r"\Vimbrot"
    expected_entry = {"DisplayName": "Vimbrot", "DisplayVersion": version, "Publisher": "Orvo",
                      "UninstallString": '"%s\\Uninstall.exe"' % installdir_win,
                      "DisplayIcon": installdir_win + r"\vimbrot.exe"}
    for name, value in expected_entry.items():
        if entry.get(name, "").lower() != value.lower():
            fail("the Add/Remove entry's %s is %r, not %r" % (name, entry.get(name), value))
    print("  Add/Remove Programs: %s %s, %s" % (entry["DisplayName"], entry["DisplayVersion"], entry["UninstallString"]), flush=True)

    installdir = unix_path(installdir_win)
    if not os.path.isdir(installdir) or set(os.listdir(installdir)) != INSTALLED:
        fail("%s holds %s, not %s" % (installdir_win, sorted(os.listdir(installdir)) if os.path.isdir(installdir)
                                      else "nothing", sorted(INSTALLED)))
    for installed, source in (("README.txt", "README.md"), ("LICENSE.txt", "LICENSE")):
        if open(os.path.join(installdir, installed), "rb").read() != open(os.path.join(src, source), "rb").read():
            fail("the installed %s is not the tree's %s" % (installed, source))
    if sections(os.path.join(installdir, "vimbrot.exe")) != sections(built_exe):
        fail("the installed vimbrot.exe is not the built one (code or resources differ)")
    print("  %s: %s" % (installdir_win, " ".join(sorted(INSTALLED))), flush=True)

    # 2. The shortcuts, and where the game's one starts it.
    user_menu = unix_path(windows_env("APPDATA") + r"\Microsoft\Windows\Start Menu\Programs")
    common_menu = unix_path(windows_env("ProgramData") + r"\Microsoft\Windows\Start Menu\Programs")
    links = start_menu_links([user_menu, common_menu])
    by_name = {os.path.basename(link): link for link in links}
    if sorted(by_name) != ["Uninstall.lnk", "Vimbrot.lnk"] or len(links) != 2:
        fail("the Start menu holds %s, not Vimbrot.lnk and Uninstall.lnk" % links)
    game_link = by_name["Vimbrot.lnk"]
    if not game_link.startswith(user_menu + os.sep):
        fail("the game's shortcut %s is not in the installing user's Start menu" % game_link)
    target, workdir_win = read_shell_link(game_link)
    if target is None or target.lower() != (installdir_win + r"\vimbrot.exe").lower():
        fail("the shortcut starts %r, not the installed game" % target)
    uninstall_target, _ = read_shell_link(by_name["Uninstall.lnk"])
    if uninstall_target is None or uninstall_target.lower() != (installdir_win + r"\Uninstall.exe").lower():
        fail("the uninstall shortcut starts %r" % uninstall_target)
    playdir_win = windows_env("LOCALAPPDATA") + r"\Vimbrot"
    if not workdir_win:
        fail("the shortcut has no Start in folder")
    workdir = unix_path(workdir_win)
    playdir = unix_path(playdir_win)
    if not same_path(workdir, playdir) or not os.path.isdir(workdir):
        fail("the shortcut starts in %r (%s), not the existing %s" % (workdir_win, workdir, playdir_win))
    print("  Vimbrot.lnk: %s, Start in %s" % (target, workdir_win), flush=True)

    # 3. The game as the shortcut starts it.
    play_through_shortcut(game_link, workdir, installdir)

    # 4. A best score, as the game stores it, then a silent uninstall.
    best = rc4(hashlib.md5(b"Rm4x#275816pka=7").digest(), b"VIMBROT_DATA_STRUCT_FOR_HIGHSCORE::::4321").hex().upper()
    if wine("reg", "add", STORE_KEY, "/v", "Data", "/t", "REG_SZ", "/d", best, "/f").returncode != 0:
        fail("wine reg add failed")
    result = wine(installdir_win + r"\Uninstall.exe", "/S")
    if result.returncode != 0:
        fail("Uninstall.exe /S ended with code %d" % result.returncode)
    # The uninstaller runs on from a copy of itself and returns at once.
    wait_for("Program Files\\Vimbrot gone", lambda: not os.path.exists(installdir))
    wait_for("no shortcut left", lambda: not start_menu_links([user_menu, common_menu]) and
             not os.path.exists(os.path.join(user_menu, "Vimbrot")) and
             not os.path.exists(os.path.join(common_menu, "Vimbrot")))
    wait_for("the play folder and its log gone", lambda: not os.path.exists(playdir))
    wait_for("the Add/Remove entry gone", lambda: reg_values(UNINSTALL_KEY % version) is None)
    wait_for("the installer's own key gone", lambda: reg_values(INSTALLER_KEY % version) is None)
    kept = reg_values(STORE_KEY)
    if kept is None or kept.get("Data") != best:
        fail("the uninstaller took the best score: %s holds %s" % (STORE_KEY, kept))
    print("  the best score is still in %s" % STORE_KEY, flush=True)
    print("PASS", flush=True)


main()
