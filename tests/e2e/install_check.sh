#!/usr/bin/env bash
# `cmake --install` into a temporary prefix: the game, its desktop entry and
# its icon land in the usual XDG places, the entry is valid, and the
# installed game starts on its own (everything it needs is inside it) and
# quits with code 0.
# Usage: install_check.sh <vimbrot executable> <source dir>
set -euo pipefail

exe=$(realpath "$1")
src=$(realpath "$2")
build=$(dirname "$exe")

command -v cmake >/dev/null || { echo "skipped: cmake is not installed"; exit 77; }
[ -f "$build/cmake_install.cmake" ] || { echo "skipped: $build is not a CMake build tree"; exit 77; }

. "$(dirname "$0")/workdir.sh"
make_work install

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.txt" || { cat "$work/install.txt"; fail "cmake --install failed"; }
sed 's/^/  /' "$work/install.txt"

game=$prefix/bin/vimbrot
desktop=$prefix/share/applications/vimbrot.desktop
icon=$prefix/share/icons/hicolor/256x256/apps/vimbrot.png

[ -x "$game" ] || fail "no executable $game"
# /usr/games is the Debian package's; a plain install keeps to bin/.
[ ! -e "$prefix/games" ] || fail "the install put the package's games/vimbrot under the prefix"
cmp -s "$game" "$exe" || fail "$game is not the built game"
[ -f "$desktop" ] || fail "no desktop entry $desktop"
[ -f "$icon" ] || fail "no icon $icon"

# The entry starts the installed game by name and names the installed icon.
grep -qx 'Exec=vimbrot' "$desktop" || fail "the desktop entry does not run vimbrot"
grep -qx 'Icon=vimbrot' "$desktop" || fail "the desktop entry does not name the vimbrot icon"
grep -qx 'Type=Application' "$desktop" || fail "the desktop entry is not an application"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
  echo "desktop-file-validate: $desktop is valid"
else
  echo "note: desktop-file-validate is not installed (package desktop-file-utils); entry not validated"
fi

# A hicolor 256x256 icon must be a 256 x 256 PNG: the signature, then the
# IHDR chunk's width and height as big-endian 32-bit numbers.
signature=$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')
[ "$signature" = "89504e470d0a1a0a" ] || fail "$icon is not a PNG"
size=$(od -An -tu1 -j16 -N8 "$icon" | awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }')
[ "$size" = "256x256" ] || fail "$icon is $size, expected 256x256"
cmp -s "$icon" "$src/data/icon.png" || fail "$icon is not data/icon.png"
echo "installed: bin/vimbrot, share/applications/vimbrot.desktop, share/icons/hicolor/256x256/apps/vimbrot.png (256x256 PNG)"

# The installed copy runs from anywhere: a working directory without data,
# its own HOME and its own X server.
# Without these the test has not checked all it promises, so it is skipped
# (77), not passed.
for tool in xdotool Xvfb; do
  command -v "$tool" >/dev/null || { echo "skipped the start of the installed game: $tool is not installed"; exit 77; }
done
PATH="$prefix/bin:$PATH" bash "$src/tests/support/private-display.sh" 1280x1024x24 bash -c '
  set -euo pipefail
  cd "$1"; mkdir -p home
  export HOME=$1/home XDG_DATA_HOME=$1/home/.local/share XDG_CACHE_HOME=$1/home/.cache
  export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
  vimbrot 2>stderr.txt &
  pid=$!
  window=$(timeout 60 xdotool search --sync --onlyvisible --name "^Vimbrot$" | head -n 1) || { echo "FAIL: the installed game opened no window"; cat stderr.txt; kill -9 $pid; exit 1; }
  # A tap waits in the menu until it is read, so it may come at once.
  xdotool windowfocus --sync "$window" key Escape
  for _ in $(seq 300); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then echo "FAIL: the installed game did not quit on Escape"; kill -9 $pid; exit 1; fi
  set +e; wait $pid; rc=$?; set -e
  [ "$rc" -eq 0 ] || { echo "FAIL: the installed game exited with code $rc"; cat stderr.txt; exit 1; }
  [ ! -s message.log ] || { echo "FAIL: the installed game logged:"; cat message.log; exit 1; }
  echo "the installed game (found on PATH) opened its window and quit with code 0"
' bash "$work"
echo "PASS: cmake --install"
