#!/usr/bin/env bash
# Builds the fuzz targets with clang (AddressSanitizer, UndefinedBehavior-
# Sanitizer, libFuzzer) in build-fuzz/ and runs each for a short while from
# its seed corpus. Exits non-zero when a target finds a crash; the crashing
# input is kept in build-fuzz/artifacts/.
# Usage: bash fuzz/smoke.sh [seconds per target, default 60]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
src="$(dirname "$here")"
seconds="${1:-${FUZZ_SECONDS:-60}}"
build="$src/build-fuzz"

if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz smoke: clang++ is missing (scripts/install-deps installs it)" >&2
  exit 1
fi

CC=clang CXX=clang++ cmake -S "$src" -B "$build" -G Ninja -DVIMBROT_FUZZ=ON -DVIMBROT_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target gltf2_fuzz

artifacts="$build/artifacts"
mkdir -p "$artifacts"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"

cd "$work"
echo "fuzz smoke: gltf2_fuzz for ${seconds}s"
"$build/fuzz/gltf2_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -dict="$here/gltf2.dict" -artifact_prefix="$artifacts/gltf2-" -print_final_stats=1 \
  "$work/corpus" "$here/corpus/gltf2"
