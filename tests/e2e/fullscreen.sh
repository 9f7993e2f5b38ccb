#!/usr/bin/env bash
# Fullscreen in the real game, driven by real key events on X servers of
# several sizes: F11 and Alt+Enter switch, the picture is the window's own
# between black bars, the choice is remembered, and --fullscreen and
# --windowed choose at start (fullscreen.py has the details).
# Usage: fullscreen.sh <vimbrot executable> <source dir>
set -euo pipefail

exe=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)

for tool in Xvfb xdotool xlogo; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
"$python" -c 'import numpy' 2>/dev/null || { echo "skipped: python3-numpy is not installed"; exit 77; }

exec "$python" "$here/fullscreen.py" "$exe"
