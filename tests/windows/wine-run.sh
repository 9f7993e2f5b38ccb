#!/usr/bin/env bash
# The Windows test programs' emulator: runs one under Wine in the build
# tree's own Wine prefix (made once, shared by the test programs, never the
# user's ~/.wine), on a private X server unless a display is given or the
# program is told to need none (VIMBROT_WINE_NO_DISPLAY=1).
# Usage: wine-run.sh <program.exe> [arguments]
# The prefix is wine-tests/ beside the program unless VIMBROT_WINE_PREFIX
# names another (ctest's test discovery passes no environment).
set -euo pipefail
prefix=${VIMBROT_WINE_PREFIX:-$(cd "$(dirname "$1")" && pwd)/wine-tests}
command -v wine >/dev/null || { echo "wine-run: wine missing: skipped"; exit 77; }
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all}
# A crash ends the program rather than waiting in the debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"
if [ ! -f "$prefix/.made" ]; then
  mkdir -p "$(dirname "$prefix")"
  # ctest -j may start several programs at once: one makes the prefix.
  (
    flock 9
    if [ ! -f "$prefix/.made" ]; then
      wineboot -i >/dev/null 2>&1
      wineserver -w
      touch "$prefix/.made"
    fi
  ) 9>"$prefix.lock"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${VIMBROT_WINE_NO_DISPLAY:-}" ]; then
  # A program run on its own gets its own X server. Wine's desktop process
  # keeps the display it first met for as long as the prefix's wineserver
  # lives, so nothing of Wine may outlive this server: a later program
  # would find a desktop on a display that is gone. (ctest runs the whole
  # Windows tree under one display instead, and each program starts on a
  # warm wineserver.)
  command -v xvfb-run >/dev/null || { echo "wine-run: xvfb-run missing: skipped"; exit 77; }
  exec xvfb-run -a -s "-screen 0 1920x1200x24" \
    bash -c 'wine "$@" && status=0 || status=$?; wineserver -w; exit $status' wine-run "$@"
fi
exec wine "$@"
