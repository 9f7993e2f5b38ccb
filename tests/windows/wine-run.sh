#!/usr/bin/env bash
# The Windows test programs' emulator: runs one under Wine in the build
# tree's own Wine prefix (made once, shared by the test programs, never the
# user's ~/.wine), on a private X server unless a display is given or the
# program is told to need none (VIMBROT_WINE_NO_DISPLAY=1).
# Usage: wine-run.sh <program.exe> [arguments]
set -euo pipefail
prefix=${VIMBROT_WINE_PREFIX:?VIMBROT_WINE_PREFIX names the test programs\' Wine prefix}
command -v wine >/dev/null || { echo "wine-run: wine missing: skipped"; exit 77; }
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
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
  command -v xvfb-run >/dev/null || { echo "wine-run: xvfb-run missing: skipped"; exit 77; }
  exec xvfb-run -a -s "-screen 0 1920x1200x24" wine "$@"
fi
exec wine "$@"
