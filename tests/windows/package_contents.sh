#!/usr/bin/env bash
# The Windows packages against the build and the tree, without running
# them: the zip holds exactly vimbrot.exe, README.txt and LICENSE.txt in a
# folder of its own name; the texts are the tree's README.md and LICENSE;
# its vimbrot.exe is the built game stripped (same code and resources, no
# debug sections, a GUI program); the installer is a 64-bit program that
# shows the game's own icon.
# Usage: bash package_contents.sh <zip> <setup.exe> <vimbrot.exe> <source dir>
set -euo pipefail
for file in "$1" "$2"; do
  [ -f "$file" ] || { echo "FAIL: no $file (cmake --build <tree> --target package makes it)"; exit 1; }
done
zip=$(realpath "$1")
setup=$(realpath "$2")
exe=$(realpath "$3")
src=$(realpath "$4")
objcopy=x86_64-w64-mingw32-objcopy
objdump=x86_64-w64-mingw32-objdump
for tool in unzip wrestool icotool $objcopy $objdump; do
  command -v "$tool" >/dev/null || { echo "package_contents: $tool missing: skipped"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

top=$(basename "$zip" .zip)
listed=$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')
wanted="$top/LICENSE.txt $top/README.txt $top/vimbrot.exe "
[ "$listed" = "$wanted" ] || fail "the zip holds '$listed', not '$wanted'"
unzip -q "$zip" -d "$work/zip"
cmp -s "$work/zip/$top/README.txt" "$src/README.md" || fail "README.txt is not the tree's README.md"
cmp -s "$work/zip/$top/LICENSE.txt" "$src/LICENSE" || fail "LICENSE.txt is not the tree's LICENSE"
echo "zip: $listed"

# Stripping drops symbols and debug sections; code and resources stay.
packed=$work/zip/$top/vimbrot.exe
for section in .text .rsrc; do
  $objcopy -O binary -j "$section" "$exe" "$work/built$section"
  $objcopy -O binary -j "$section" "$packed" "$work/packed$section"
  [ -s "$work/built$section" ] && cmp -s "$work/built$section" "$work/packed$section" \
    || fail "the zip's vimbrot.exe has another $section than the built one"
done
# (Whole outputs are kept: grep -q ending a pipe early fails it under pipefail.)
headers=$($objdump -h -p "$packed")
! grep -q '\.debug' <<<"$headers" || fail "the zip's vimbrot.exe keeps debug sections"
grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" || fail "the zip's vimbrot.exe is not a GUI program"
echo "zip's vimbrot.exe: $(stat -c %s "$packed") bytes (built: $(stat -c %s "$exe")), same code and resources"

grep -q 'file format pei-x86-64' <<<"$($objdump -f "$setup")" || fail "the installer is not a 64-bit program"
# The installer's icon, image by image, is the game's APPICONID.
wrestool -x --type=14 --name=APPICONID "$exe" > "$work/game.ico"
wrestool -x --type=14 "$setup" > "$work/setup.ico"
mkdir "$work/game-icons" "$work/setup-icons"
icotool -x -o "$work/game-icons" "$work/game.ico"
icotool -x -o "$work/setup-icons" "$work/setup.ico"
game_icons=$(cd "$work/game-icons" && ls | sed 's/^game_//' | sort)
setup_icons=$(cd "$work/setup-icons" && ls | sed 's/^setup_//' | sort)
[ -n "$game_icons" ] && [ "$game_icons" = "$setup_icons" ] || fail "the installer's icon images ($setup_icons) are not the game's ($game_icons)"
for image in $game_icons; do
  cmp -s "$work/game-icons/game_$image" "$work/setup-icons/setup_$image" || fail "the installer's icon $image differs from the game's"
done
echo "installer: 64-bit, the game's icon ($(echo $game_icons))"

[ "$failures" -eq 0 ] || exit 1
echo PASS
