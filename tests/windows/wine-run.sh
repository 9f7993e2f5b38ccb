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
      wineboot -i </dev/null >/dev/null 2>&1 9>&-
      wineserver -w
      touch "$prefix/.made"
    fi
  ) 9>"$prefix.lock"
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${VIMBROT_WINE_NO_DISPLAY:-}" ]; then
  # A program run on its own gets its own X server. Wine's desktop process
  # keeps the display it first met for as long as the prefix's wineserver
  # lives, and the prefix's device host keeps that server alive, so the
  # prefix's Wine is ended with the program: a later program would find a
  # desktop on a display that is gone. (ctest runs the whole Windows tree
  # under one display instead, and each program starts on a warm wineserver.)
  exec bash "$(dirname "$0")/../support/private-display.sh" 1920x1200x24 \
    bash -c 'wine "$@" && status=0 || status=$?; wineserver -k; exit $status' wine-run "$@"
fi
# Under a display of the caller's (ctest's, for the whole tree) or none.
# The wineserver and the prefix's own processes (services, device host) are
# started here, away from the program's output: started by the program's
# wine they would keep its stdout open for as long as they live, and ctest
# waits on it. The server lingers 30 s, so the programs ctest starts one
# after another never meet one shutting down (a start at that moment fails
# at once with no word). When one runs, nothing is started.
(
  flock 9
  # Neither may keep the lock: they outlive this script.
  if wineserver -p 30 </dev/null >/dev/null 2>&1 9>&-; then
    wine wineboot </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$prefix.lock"
exec wine "$@"
