#!/usr/bin/env bash
# Runs registry_session.py against the Windows game in a private X server,
# a fresh Wine prefix and a temporary working directory.
# Usage: bash registry_session.sh <vimbrot.exe> <source dir>
set -euo pipefail
exe=$(realpath "$1")
src=$(realpath "$2")
for tool in wine Xvfb xdotool python3; do
  command -v "$tool" >/dev/null || { echo "registry_session: $tool missing: skipped"; exit 77; }
done
work=$(mktemp -d /tmp/vimbrot-win-e2e.XXXXXX)
trap 'WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true; [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$work/audio.raw
mkdir -p "$work/run"
wineboot -i >/dev/null 2>&1
# The prefix is ready once its first wineserver has finished.
wineserver -w
bash "$src/tests/support/private-display.sh" 1920x1200x24 /usr/bin/python3 "$src/tests/windows/registry_session.py" "$exe" "$src" "$work/run"
