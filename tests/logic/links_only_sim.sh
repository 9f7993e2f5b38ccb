#!/bin/bash
# Fails when the given program needs a graphics, windowing or sound library.
set -euo pipefail
program=$1
needed=$(readelf -d "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
[ -n "$needed" ] || { echo "no NEEDED entries read from $program"; exit 1; }
echo "$needed"
forbidden=$(echo "$needed" | grep -E '^lib(GL|EGL|GLX|OpenGL|epoxy|glfw|SDL2)' || true)
if [ -n "$forbidden" ]; then
  echo "the simulation's tests need: $forbidden"
  exit 1
fi
