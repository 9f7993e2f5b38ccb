#!/bin/bash
# The platform library rests on nothing of the game's own: no source of it
# includes a header of the engine, the game or the simulation, and the
# library needs no symbol that one of their libraries defines.
# Usage: [NM=<nm of the toolchain>] platform_alone.sh <platform source dir> <platform library> <library above it>...
set -euo pipefail
sources=$1
platform=$2
shift 2

included=$(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](orvo3d|game|sim)/' "$sources"/* || true)
if [ -n "$included" ]; then
  echo "the platform includes what lies above it:"
  echo "$included"
  exit 1
fi

needed=$("${NM:-nm}" -u "$platform" | awk '$1 == "U" {print $2}' | sort -u)
[ -n "$needed" ] || { echo "no undefined symbols read from $platform"; exit 1; }
above=$("${NM:-nm}" --defined-only "$@" | awk 'NF == 3 && $2 ~ /^[TWDRBVu]$/ {print $3}' | sort -u)
[ -n "$above" ] || { echo "no symbols read from $*"; exit 1; }
taken=$(comm -12 <(echo "$needed") <(echo "$above"))
if [ -n "$taken" ]; then
  echo "the platform needs symbols of the libraries above it:"
  echo "$taken" | c++filt
  exit 1
fi
echo "the platform includes and needs nothing of $(basename -a "$@" | tr '\n' ' ')"
