#!/usr/bin/env bash
# Runs the Khronos glTF validator over the committed ship model.
# Usage: ship_validator.sh <vimbrot executable> <source dir>
# Exit 77 (skipped) when node/npm are missing or the package cannot be fetched.
set -u

src="${2:?source dir}"
ship="$src/data/ship.glb"
package="gltf-validator@2.0.0-dev.3.10"

if [ ! -f "$ship" ]; then
  echo "ship_validator: $ship is missing"
  exit 1
fi
if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
  echo "ship_validator: node or npm not available, skipping"
  exit 77
fi

# The package lives outside the tree: in tools/node_modules when a developer
# installed it there, else in a per-user cache filled on first use.
cache="${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/vimbrot-gltf-validator"
if [ ! -f "$src/tools/node_modules/gltf-validator/package.json" ] &&
   [ ! -f "$cache/node_modules/gltf-validator/package.json" ]; then
  mkdir -p "$cache"
  if ! timeout 180 npm install --prefix "$cache" --no-audit --no-fund --no-save "$package" >"$cache/install.log" 2>&1; then
    echo "ship_validator: cannot install $package (no registry?), skipping"
    tail -5 "$cache/install.log"
    exit 77
  fi
fi

GLTF_VALIDATOR_DIR="$cache" node "$src/tools/validate_ship.mjs" "$ship"
rc=$?
case $rc in
  0) exit 0 ;;
  2) echo "ship_validator: the validator could not run, skipping"; exit 77 ;;
  *) exit 1 ;;
esac
