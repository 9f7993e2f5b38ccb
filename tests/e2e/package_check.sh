#!/usr/bin/env bash
# The Debian package, through the real package manager: CPack makes it from
# the build tree (nothing is compiled when the tree is up to date), lintian
# finds no error and only the warnings the README names, apt-get installs it,
# the files are where Debian wants them and valid (manual page, AppStream
# metainfo, desktop entry, icons), the game is built hardened, the installed
# launcher /usr/games/vimbrot starts it as `vimbrot` in the player's state
# folder and plays the whole end-to-end session, and after apt-get purge
# nothing of it is left.
# Usage: package_check.sh <vimbrot executable> <source dir>
# Needs root; skipped otherwise, when vimbrot is already installed (the test
# would remove the player's copy), in a sanitizer build, and where dpkg is
# set to leave out manual pages.
set -euo pipefail

exe=$(realpath "$1")
src=$(realpath "$2")
build=$(dirname "$exe")

[ "$(id -u)" -eq 0 ] || { echo "skipped: installing a package needs root"; exit 77; }
for tool in cpack apt-get dpkg dpkg-deb lintian appstreamcli desktop-file-validate man; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
[ -f "$build/CPackConfig.cmake" ] || { echo "skipped: $build has no CPackConfig.cmake"; exit 77; }
# The package is made from a release build; a sanitizer build is not one
# (and its instrumented session runs in the other end-to-end tests).
if grep -qx 'VIMBROT_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
  echo "skipped: $build is a sanitizer build, which is not packaged"
  exit 77
fi
# Slimmed systems tell dpkg to drop manual pages and documents on install.
if grep -rhs '^path-exclude' /etc/dpkg/dpkg.cfg /etc/dpkg/dpkg.cfg.d/ | grep -q '/usr/share/\(man\|doc\)'; then
  echo "skipped: dpkg is set to leave out /usr/share/man or /usr/share/doc (path-exclude in /etc/dpkg)"
  exit 77
fi
if dpkg-query -W -f='${Status}' vimbrot 2>/dev/null | grep -q "installed"; then
  echo "skipped: vimbrot is installed on this machine; the test would remove it"
  exit 77
fi

work=$(mktemp -d /tmp/vimbrot-package-XXXXXX)
installed=0
export DEBIAN_FRONTEND=noninteractive
# Another apt-get on the machine holds the lock for a while; wait for it.
apt=(apt-get -q -o DPkg::Lock::Timeout=300)
cleanup() {
  if [ "$installed" -eq 1 ]; then "${apt[@]}" purge -y vimbrot >/dev/null 2>&1 || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

# --- The package -------------------------------------------------------------
# cpack is what the package target runs; -B keeps its output out of the tree.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.txt" 2>&1 \
  || { cat "$work/cpack.txt"; fail "cpack failed"; }
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb=$work/out/vimbrot_${version}_amd64.deb
[ -f "$deb" ] || { ls "$work/out"; fail "no vimbrot_${version}_amd64.deb"; }
echo "package: $(basename "$deb") ($(stat -c %s "$deb") bytes)"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = vimbrot ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version is $(field Version), not $version"
[ "$(field Architecture)" = amd64 ] || fail "Architecture is $(field Architecture)"
[ "$(field Section)" = games ] || fail "Section is $(field Section)"
# dpkg-shlibdeps worked the dependencies out from the executable.
depends=$(field Depends)
echo "Depends: $depends"
sed 's/ ([^)]*)//g; s/, /\n/g' <<<"$depends" >"$work/depends.txt"
for lib in libc6 libglfw3 libepoxy0 libsdl2-mixer-2.0-0 libnettle8 libstdc++6; do
  grep -Fqx "$lib" "$work/depends.txt" || fail "Depends lacks $lib"
done

# lintian: no error, and each warning that stays is named in the README.
set +e
lintian --no-tag-display-limit "$deb" >"$work/lintian.txt" 2>&1
linted=$?
set -e
sed 's/^/  lintian: /' "$work/lintian.txt"
if grep -q '^E: ' "$work/lintian.txt"; then fail "lintian reports errors"; fi
[ "$linted" -eq 0 ] || fail "lintian failed (exit $linted)"
for tag in $(sed -n 's/^W: vimbrot[^:]*: \([a-z0-9-]*\).*/\1/p' "$work/lintian.txt" | sort -u); do
  grep -q "\`$tag\`" "$src/README.md" || fail "lintian warning $tag is not explained in README.md"
done

# What was there before, to tell the package's directories from shared ones.
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./|/|; s|/$||' | grep -v '^$' >"$work/contents.txt"
: >"$work/existed.txt"
while read -r path; do
  [ -e "$path" ] && echo "$path" >>"$work/existed.txt"
done <"$work/contents.txt"

# --- Installed -----------------------------------------------------------------
installed=1
"${apt[@]}" install -y "$deb" >"$work/apt.txt" 2>&1 || { cat "$work/apt.txt"; fail "apt-get install failed"; }
dpkg-query -W -f='${Status}\n' vimbrot | grep -q "install ok installed" || fail "dpkg does not list vimbrot installed"
dpkg -L vimbrot >"$work/files.txt"

# /usr/games/vimbrot is the launcher, a POSIX shell script; the game itself
# is in /usr/lib/games/vimbrot.
game=/usr/games/vimbrot
binary=/usr/lib/games/vimbrot/vimbrot
[ -x "$game" ] || fail "no executable $game"
[ "$(head -n 1 "$game")" = '#!/bin/sh' ] || fail "$game is not a POSIX shell script: $(head -n 1 "$game")"
[ ! -e /usr/bin/vimbrot ] || fail "the package put an executable in /usr/bin"
[ -x "$binary" ] || fail "no executable $binary"
file -b "$binary" | grep -q "ELF 64-bit.*x86-64.*stripped" || fail "$binary: $(file -b "$binary")"
file -b "$binary" | grep -q "not stripped" && fail "$binary is not stripped"

# Built with Debian's hardening: read-only relocations bound at start
# (relro, bindnow), the stack protector and fortified libc calls.
# (Each listing is read whole first: grep -q would stop reading early, and
# under pipefail the lister's broken pipe would fail the check.)
segments=$(readelf -lW "$binary")
dynamic=$(readelf -dW "$binary")
symbols=$(readelf --dyn-syms -W "$binary")
grep -q GNU_RELRO <<<"$segments" || fail "$binary has no RELRO segment"
grep -Eq 'FLAGS.*\bNOW\b|BIND_NOW' <<<"$dynamic" || fail "$binary is not linked with -z now"
grep -q '__stack_chk_fail' <<<"$symbols" || fail "$binary has no stack protector"
grep -Eq '__[a-z0-9_]+_chk@' <<<"$symbols" || fail "$binary calls no fortified function"
lintian -I --pedantic --no-tag-display-limit "$deb" >"$work/lintian-info.txt" 2>&1 || true
for tag in hardening-no-fortify-functions hardening-no-bindnow hardening-no-relro hardening-no-pie; do
  grep -q " $tag" "$work/lintian-info.txt" && fail "lintian: $tag"
done
echo "hardened: $binary has RELRO, BIND_NOW, the stack protector and fortified calls"

for f in /usr/share/applications/vimbrot.desktop /usr/share/metainfo/io.github.orvo.Vimbrot.metainfo.xml \
         /usr/share/man/man6/vimbrot.6.gz /usr/share/doc/vimbrot/copyright /usr/share/doc/vimbrot/changelog.gz; do
  [ -f "$f" ] || fail "no $f"
  grep -qx "$f" "$work/files.txt" || fail "$f is not the package's (dpkg -L)"
done

# Icons: PNGs of the size their hicolor folder names (IHDR width and height).
for size in 48 128 256; do
  icon=/usr/share/icons/hicolor/${size}x${size}/apps/vimbrot.png
  [ -f "$icon" ] || fail "no $icon"
  [ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "$icon is not a PNG"
  got=$(od -An -tu1 -j16 -N8 "$icon" | awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }')
  [ "$got" = "${size}x${size}" ] || fail "$icon is $got"
done
cmp -s /usr/share/icons/hicolor/256x256/apps/vimbrot.png "$src/data/icon.png" || fail "the 256 icon is not data/icon.png"

desktop-file-validate /usr/share/applications/vimbrot.desktop || fail "desktop-file-validate rejects the entry"
appstreamcli validate --no-net /usr/share/metainfo/io.github.orvo.Vimbrot.metainfo.xml \
  || fail "appstreamcli rejects the metainfo"
# The metainfo's newest release is this version.
grep -m1 -o '<release version="[^"]*"' /usr/share/metainfo/io.github.orvo.Vimbrot.metainfo.xml \
  | grep -qx "<release version=\"$version\"" || fail "the metainfo's first release is not $version"

# The manual page is found by section and name and has its sections.
MANWIDTH=80 man 6 vimbrot 2>"$work/man-warnings.txt" >"$work/man.txt" || fail "man 6 vimbrot failed"
[ ! -s "$work/man-warnings.txt" ] || { cat "$work/man-warnings.txt"; fail "man warns"; }
for section in NAME SYNOPSIS DESCRIPTION CONTROLS "EXIT STATUS" ENVIRONMENT FILES; do
  grep -qx "$section" "$work/man.txt" || fail "the manual page has no $section section"
done
for word in message.log XDG_DATA_HOME XDG_STATE_HOME .local/state/vimbrot XDG_CACHE_HOME SDL_AUDIODRIVER DISPLAY; do
  grep -q "$word" "$work/man.txt" || fail "the manual page does not mention $word"
done
# The release records name this version.
zcat /usr/share/doc/vimbrot/changelog.gz | head -n 1 | grep -q "^vimbrot ($version) " \
  || fail "the changelog's first entry is not $version"
zcat /usr/share/man/man6/vimbrot.6.gz | grep -q '^\.TH VIMBROT 6 .* "Vimbrot '"$version"'"' \
  || fail "the manual page's header does not name version $version"
head -n 1 /usr/share/doc/vimbrot/copyright \
  | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  || fail "the copyright file is not machine-readable"
# It names the Expat license, with the text of the LICENSE file.
grep -qx 'Files: \*' /usr/share/doc/vimbrot/copyright && grep -qx 'License: Expat' /usr/share/doc/vimbrot/copyright \
  || fail "the copyright file does not put the files under the Expat license"
diff <(awk 'p { sub(/^ /, ""); if ($0 == ".") $0 = ""; print } /^License: Expat$/ && ++n == 2 { p = 1 }' \
         /usr/share/doc/vimbrot/copyright) <(tail -n +3 "$src/LICENSE") \
  || fail "the copyright file's Expat text is not the LICENSE file's"
echo "installed: $(wc -l <"$work/files.txt") paths; manual page, metainfo, desktop entry and icons valid"

# The launcher starts the installed game as the process vimbrot in the
# player's state folder, where message.log is made.
bash "$src/tests/e2e/launcher_check.sh" "$exe" "$src" "$game" "$binary" || fail "the installed launcher failed"

# The installed game plays the whole session through the launcher.
set +e
bash "$src/tests/e2e/play_session.sh" "$game" "$src"
played=$?
set -e

# --- Removed -----------------------------------------------------------------
"${apt[@]}" purge -y vimbrot >"$work/purge.txt" 2>&1 || { cat "$work/purge.txt"; fail "apt-get purge failed"; }
installed=0
if dpkg-query -W -f='${Status}' vimbrot 2>/dev/null | grep -q "installed"; then fail "vimbrot is still installed"; fi
left=0
while read -r path; do
  [ -e "$path" ] || continue
  [ "$path" != "/." ] || continue
  if [ -d "$path" ] && grep -qx "$path" "$work/existed.txt"; then continue; fi  # shared directory
  echo "left behind: $path"
  left=1
done <"$work/files.txt"
[ "$left" -eq 0 ] || fail "apt-get purge left files of vimbrot"
echo "purged: none of the $(wc -l <"$work/files.txt") paths is left but directories that were there before"

case $played in
  0) echo "PASS: the package builds, installs, plays and goes away" ;;
  77) echo "skipped: the play session could not run (see above); the package itself checked out"; exit 77 ;;
  *) fail "the installed game failed the play session (exit $played)" ;;
esac
