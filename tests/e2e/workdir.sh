# Sourced by the end-to-end shell tests: a private work folder that goes
# away on every way out, with the game the test started (its pid in $pid)
# killed first, and fail() for a verdict.
# Usage: . workdir.sh; make_work <name>   (sets $work)

pid=""

fail() { echo "FAIL: $*"; exit 1; }

remove_work() {
  if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill -9 "$pid" 2>/dev/null || true; fi
  # A test may have made parts of it read-only on purpose.
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}

make_work() {
  work=$(mktemp -d "/tmp/vimbrot-$1-XXXXXX")
  trap remove_work EXIT
}
