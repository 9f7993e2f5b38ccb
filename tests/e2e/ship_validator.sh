#!/usr/bin/env bash
# Runs the Khronos glTF validator over the committed ship model. The
# validator is installed, at a pinned version, by scripts/install-deps; this
# test fails when it is not there rather than fetching it or passing.
# Usage: ship_validator.sh <vimbrot executable> <source dir>
# GLTF_VALIDATOR_DIR names the npm prefix holding it (the default is
# install-deps' own).
set -u

src="${2:?source dir}"
ship="$src/data/ship.glb"
dir="${GLTF_VALIDATOR_DIR:-/opt/vimbrot/gltf-validator}"

if [ ! -f "$ship" ]; then
  echo "ship_validator: $ship is missing"
  exit 1
fi
if ! command -v node >/dev/null 2>&1; then
  echo "ship_validator: FAIL: node is not installed (run scripts/install-deps)"
  exit 1
fi
if [ ! -f "$dir/node_modules/gltf-validator/package.json" ]; then
  echo "ship_validator: FAIL: no gltf-validator in $dir (run scripts/install-deps)"
  exit 1
fi

GLTF_VALIDATOR_DIR="$dir" node "$src/tools/validate_ship.mjs" "$ship"
rc=$?
case $rc in
  0) exit 0 ;;
  2) echo "ship_validator: FAIL: the validator could not run"; exit 1 ;;
  *) exit 1 ;;
esac
