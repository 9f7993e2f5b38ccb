#!/usr/bin/env bash
# The game's window is only ever seen centred: watched from its creation on
# X servers of two sizes (window_placement.py has the details).
# Usage: window_placement.sh <vimbrot executable> <source dir>
set -euo pipefail

exe=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)

for tool in Xvfb xev xlogo xdotool stdbuf; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
"$python" -c 'import numpy' 2>/dev/null || { echo "skipped: python3-numpy is not installed"; exit 77; }

work=$(mktemp -d /tmp/vimbrot-placement-XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home"
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CACHE_HOME=$work/home/.cache
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

for screen in 1920x1200x24 1280x1024x24; do
  echo "screen $screen:"
  PLACEMENT_SCREEN=$screen bash "$here/../support/private-display.sh" "$screen" \
    "$python" "$here/window_placement.py" "$exe" "$work"
done
