#!/usr/bin/env bash
# The Windows game's window size and place under Wine, on X servers of two
# sizes as wide as the window and one wider (1680 x 1050, where the
# horizontal centring shows), in a fresh Wine prefix (window_rule.py has
# the details).
# Usage: bash window_rule.sh <vimbrot.exe> <source dir>
set -euo pipefail
exe=$(realpath "$1")
src=$(realpath "$2")
for tool in wine wineserver Xvfb xdotool xwininfo xev xlogo stdbuf; do
  command -v "$tool" >/dev/null || { echo "window_rule: $tool missing: skipped"; exit 77; }
done
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
"$python" -c 'import numpy' 2>/dev/null || { echo "window_rule: python3-numpy missing: skipped"; exit 77; }
work=$(mktemp -d /tmp/vimbrot-win-window.XXXXXX)
trap 'WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true; [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
mkdir -p "$work/home" "$work/run"
export HOME=$work/home WINEPREFIX=$work/prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export SDL_AUDIODRIVER=dummy
wineboot -i >/dev/null 2>&1
wineserver -w
for screen in 1920x1200x24 1280x1024x24 1680x1050x24; do
  echo "screen $screen:"
  PLACEMENT_SCREEN=$screen bash "$src/tests/support/private-display.sh" "$screen" "$python" "$src/tests/windows/window_rule.py" "$exe" "$src" "$work/run"
  # The next screen's game gets a prefix with no process of this one left.
  wineserver -w
done
