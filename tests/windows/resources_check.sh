#!/usr/bin/env bash
# The Windows executable's resources against the tree: every file under
# shaders/ and data/ as an RCDATA resource named by its upper-cased path,
# byte for byte; the icon groups APPICONID (several sizes) and GLFW_ICON
# (256 x 256); the manifest asking for asInvoker and no DPI awareness; and
# only system DLLs imported.
# Usage: bash resources_check.sh <vimbrot.exe> <source dir>
set -euo pipefail
exe=$(realpath "$1")
src=$(realpath "$2")
for tool in wrestool icotool x86_64-w64-mingw32-objdump; do
  command -v "$tool" >/dev/null || { echo "resources_check: $tool missing: skipped"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

count=0
while IFS= read -r -d '' file; do
  rel=${file#"$src"/}
  name=${rel^^}
  if ! wrestool -x --raw --type=10 --name="$name" "$exe" > "$work/blob" 2>/dev/null || ! cmp -s "$work/blob" "$file"; then
    fail "resource $name differs from $rel or is missing"
  fi
  count=$((count + 1))
done < <(find "$src/shaders" "$src/data" -type f -print0)
listed=$(wrestool -l --type=10 "$exe" | wc -l)
[ "$listed" -eq "$count" ] || fail "$listed RCDATA resources for $count files"
echo "RCDATA: $count files of the tree, $listed resources"

wrestool -x --type=14 --name=APPICONID "$exe" > "$work/app.ico"
sizes=$(icotool -l "$work/app.ico" | grep -o -- '--width=[0-9]*' | sort -u | wc -l)
[ "$sizes" -ge 3 ] || fail "APPICONID has $sizes sizes"
wrestool -x --type=14 --name=GLFW_ICON "$exe" > "$work/glfw.ico"
icotool -l "$work/glfw.ico" | grep -q -- '--width=256 --height=256' || fail "GLFW_ICON is not 256 x 256"
echo "icons: APPICONID $sizes sizes, GLFW_ICON $(icotool -l "$work/glfw.ico" | grep -o -- '--width=[0-9]* --height=[0-9]*')"

wrestool -x --raw --type=24 "$exe" > "$work/manifest.xml"
grep -q 'level="asInvoker"' "$work/manifest.xml" || fail "the manifest does not ask for asInvoker"
! grep -qi 'dpiAware' "$work/manifest.xml" || fail "the manifest declares DPI awareness"

system='^(advapi32|gdi32|imm32|kernel32|msvcrt|ole32|oleaut32|setupapi|shell32|user32|version|winmm|opengl32|ws2_32|dinput8|xinput1_4)\.dll$'
while read -r dll; do
  echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$system" || fail "imports $dll, which is not a system DLL"
done < <(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}')
echo "imports: $(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}' | tr '\n' ' ')"

[ "$failures" -eq 0 ] || exit 1
echo PASS
