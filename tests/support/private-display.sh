#!/usr/bin/env bash
# Runs a command on an X server of its own, for tests whose key events or
# window placement no other test may disturb. Xvfb chooses a free display
# number itself (-displayfd) and reports it only once it takes connections,
# so servers started at the same moment by parallel tests never pick the
# same number, and the command never starts before its server is up.
# The server is stopped on every way out; the command's exit code is passed
# on (77 when Xvfb is not installed, as for any test that cannot run here).
# The server keeps no cookie: it takes connections from this machine only
# (-nolisten tcp), with or without an XAUTHORITY.
# Usage: bash private-display.sh <width>x<height>x<depth> <command> [argument...]
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: private-display.sh <width>x<height>x<depth> <command> [argument...]" >&2
  exit 2
fi
screen=$1
shift
command -v Xvfb >/dev/null || { echo "skipped: Xvfb is not installed"; exit 77; }

dir=$(mktemp -d /tmp/vimbrot-display-XXXXXX)
server=""
# shellcheck disable=SC2317  # run by the EXIT trap
stop_server() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null || true
    # Waiting lets it remove its socket before we are gone.
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$dir"
}
trap stop_server EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# The number comes through a named pipe: the read blocks until Xvfb writes
# it, and ends empty if Xvfb dies first (its end of the pipe closes).
mkfifo "$dir/number"
Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$dir/number" >"$dir/server.log" 2>&1 &
server=$!
number=""
read -r number <"$dir/number" || true
if [ -z "$number" ]; then
  echo "FAIL: Xvfb did not start (screen $screen)"
  # Its usage text comes first; the reason is at the end.
  tail -n 4 "$dir/server.log" | sed 's/^/  Xvfb: /'
  exit 1
fi

rc=0
DISPLAY=:$number "$@" || rc=$?
exit "$rc"
