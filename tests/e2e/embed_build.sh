#!/usr/bin/env bash
# The game built inside another project (add_subdirectory): tests/embed is a
# throwaway parent that carries this tree as a subfolder and adds a program
# of its own, linked through the namespaced vimbrot::game. The parent
# configures and builds; the game library holds no process entry; our tests,
# build type, install rules, compiler launcher and compilation database stay
# out of the parent's build; and the parent's program, started in an empty working directory, finds the
# embedded data byte for byte.
# Usage: embed_build.sh <vimbrot executable> <source dir>
set -euo pipefail

src=$(realpath "$2")

command -v cmake >/dev/null || { echo "skipped: cmake is not installed"; exit 77; }
command -v nm >/dev/null || { echo "skipped: nm is not installed (binutils)"; exit 77; }

work=$(mktemp -d /tmp/vimbrot-embed-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# The parent's own compiler launcher, which notes every compilation: the
# game must compile through it, choosing none of its own. It runs ccache
# when there is one, keyed on paths relative to the throwaway tree, so a
# second run compiles nothing.
export CCACHE_BASEDIR=$work CCACHE_NOHASHDIR=1
launcher=$work/parent-launcher
ccache=$(command -v ccache || true)
printf '#!/bin/sh\necho "$*" >> "%s"\nexec %s "$@"\n' "$work/launched.txt" "$ccache" >"$launcher"
chmod +x "$launcher"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
build=$work/build
cmake -S "$src/tests/embed" -B "$build" "${generator[@]}" -DVIMBROT_DIR="$src" \
  -DCMAKE_C_COMPILER_LAUNCHER="$launcher" -DCMAKE_CXX_COMPILER_LAUNCHER="$launcher" >"$work/configure.txt" 2>&1 ||
  { cat "$work/configure.txt"; fail "the parent project does not configure"; }
nice cmake --build "$build" -j2 >"$work/build.txt" 2>&1 ||
  { tail -40 "$work/build.txt"; fail "the parent project does not build"; }
echo "the parent project configured and built (game, its libraries and the parent's consumer)"

[ -x "$build/vimbrot/vimbrot" ] || fail "no game executable in the parent's build"
if nm --defined-only "$build/vimbrot/libvimbrot_game.a" | grep -wE '[TtWw] main$' >/dev/null; then
  fail "libvimbrot_game.a defines main: the process entry was compiled into the game library"
fi
[ ! -e "$build/vimbrot/tests" ] || fail "the game's tests were configured inside the parent project"
# Nothing of ours is installed or packaged by the parent unless it asks.
if grep -q 'vimbrot.desktop' "$build/vimbrot/cmake_install.cmake"; then
  fail "the game added its install rules to the parent project"
fi
[ ! -e "$build/CPackConfig.cmake" ] || fail "the game set up packaging in the parent project"
# The parent chooses how to compile: every C++ object of the game went
# through the parent's launcher, and no compilation database was asked for.
objects=$(cd "$build/vimbrot" && find . -name '*.cpp.o' | sed 's|^\./||' | sort)
[ -n "$objects" ] || fail "no C++ objects of the game in the parent's build"
missed=$(for object in $objects; do grep -qF -- "$object" "$work/launched.txt" || echo "$object"; done)
[ -z "$missed" ] || fail "the game compiled without the parent's launcher: $(echo $missed | head -c 300)"
[ ! -e "$build/compile_commands.json" ] || fail "the game wrote a compilation database into the parent's build"
grep -qx 'CMAKE_BUILD_TYPE:STRING=' "$build/CMakeCache.txt" ||
  fail "the game set the parent's build type: $(grep '^CMAKE_BUILD_TYPE' "$build/CMakeCache.txt")"

# Every file under shaders/ and data/ must be in the table; a sample of
# names (text and binary, small and large) must come back byte for byte.
count=$(cd "$src" && find shaders data -type f | wc -l)
mkdir "$work/empty"
(cd "$work/empty" && "$build/consumer" "$src" "$count" shaders/track.vert shaders/static.frag data/ship.glb data/music.mp3) ||
  fail "the parent's program did not get the embedded data"
[ -z "$(ls -A "$work/empty")" ] || fail "the consumer wrote to its working directory: $(ls -A "$work/empty")"
echo "PASS: the game builds inside another project and its data is embedded"
