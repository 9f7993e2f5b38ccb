#!/usr/bin/env bash
# Runs installer_check.py against the Windows installer in a fresh Wine
# prefix on a private X server. HOME is a temporary folder and Wine's menu
# builder is off, so the shortcuts the installer makes never reach the
# user's own desktop menus.
# Usage: bash installer_check.sh <Vimbrot-...-setup.exe> <vimbrot.exe> <source dir>
set -euo pipefail
setup=$(realpath "$1")
exe=$(realpath "$2")
src=$(realpath "$3")
for tool in wine wineserver winepath Xvfb xdotool python3 x86_64-w64-mingw32-objcopy; do
  command -v "$tool" >/dev/null || { echo "installer_check: $tool missing: skipped"; exit 77; }
done
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
"$python" -c 'import numpy' 2>/dev/null || { echo "installer_check: python3-numpy missing: skipped"; exit 77; }
[ -f "$setup" ] || { echo "FAIL: no installer $setup (cmake --build <tree> --target package makes it)"; exit 1; }
work=$(mktemp -d /tmp/vimbrot-win-setup.XXXXXX)
trap 'WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true; [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"' EXIT
mkdir -p "$work/home"
export HOME=$work/home WINEPREFIX=$work/prefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export SDL_AUDIODRIVER=dummy
wineboot -i >/dev/null 2>&1
# The prefix is ready once its first wineserver has finished.
wineserver -w
bash "$src/tests/support/private-display.sh" 1920x1200x24 "$python" "$src/tests/windows/installer_check.py" "$setup" "$exe" "$src" "$work"
