#!/usr/bin/env bash
# Private X servers started at the same moment, round after round: the race
# of parallel tests that each start one. Every instance is held at a gate
# until all of them are ready, then all start at once; each asks its server
# for its root window. A round is lost when any instance fails or two share
# a display. Prints the lost rounds and instances; exit code 1 if any.
# Usage: bench/display_races.sh [helper|xvfb-run] [instances, default 8] [rounds, default 20]
#   helper:   tests/support/private-display.sh (Xvfb -displayfd)
#   xvfb-run: xvfb-run -a, for comparison
set -euo pipefail

how=${1:-helper}
instances=${2:-8}
rounds=${3:-20}
helper=$(cd "$(dirname "$0")/.." && pwd)/tests/support/private-display.sh
screen=1280x1024x24
case $how in
  helper) start=(bash "$helper" "$screen") ;;
  xvfb-run) start=(xvfb-run -a -s "-screen 0 $screen") ;;
  *) echo "usage: display_races.sh [helper|xvfb-run] [instances] [rounds]" >&2; exit 2 ;;
esac
for tool in Xvfb xwininfo "${start[0]}"; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

dir=$(mktemp -d /tmp/vimbrot-display-races-XXXXXX)
trap 'rm -rf "$dir"' EXIT
mkfifo "$dir/ready" "$dir/gate" "$dir/up" "$dir/release"

# Tells the gate it is ready, waits for it to open, then runs on a server of
# its own: asks it for its root window, writes its display to display.<n>,
# and holds on to its server until every instance has got that far (so a
# display freed by a quick instance is never counted as shared). Its exit
# code goes to rc.<n>.
instance() {
  exec 3>&- 4>&- 5>&- 6>&-
  printf x >"$dir/ready"
  read -r -n 1 _ <"$dir/gate"
  set +e
  # shellcheck disable=SC2016  # $DISPLAY is the server's, expanded there
  "${start[@]}" bash -c ': >"$1.ran"; xwininfo -root >/dev/null && echo "$DISPLAY" >"$1"; rc=$?
    printf x >"$2"; read -r -n 1 _ <"$3"; exit $rc' bash "$dir/display.$1" "$dir/up" "$dir/release" \
    2>"$dir/err.$1"
  echo $? >"$dir/rc.$1"
  # One that never got to its command still counts as there.
  [ -e "$dir/display.$1.ran" ] || printf x >"$dir/up"
}

lost_rounds=0
lost_instances=0
began=$(date +%s.%N)
for round in $(seq "$rounds"); do
  rm -f "$dir"/display.* "$dir"/err.* "$dir"/rc.*
  # The gate and the ready line stay open here so that an instance's open
  # never waits for another's.
  exec 3<>"$dir/ready" 4<>"$dir/gate" 5<>"$dir/up" 6<>"$dir/release"
  pids=()
  for n in $(seq "$instances"); do
    instance "$n" &
    pids+=($!)
  done
  # All are at the gate once each has said so; then one byte opens it for each.
  for _ in $(seq "$instances"); do read -r -n 1 _ <&3; done
  printf "%${instances}s" "" | tr ' ' x >&4
  # All servers are up at once; then they may go.
  for _ in $(seq "$instances"); do read -r -n 1 _ <&5; done
  printf "%${instances}s" "" | tr ' ' x >&6
  wait "${pids[@]}"
  exec 3>&- 4>&- 5>&- 6>&-

  failed=0
  for n in $(seq "$instances"); do
    if [ "$(cat "$dir/rc.$n")" -ne 0 ]; then
      failed=$((failed + 1))
      echo "round $round, instance $n: exit code $(cat "$dir/rc.$n"): $(head -c 300 "$dir/err.$n" | tr '\n' ' ')"
    fi
  done
  displays=$(cat "$dir"/display.[0-9]* 2>/dev/null | sort || true)
  shared=$(uniq -d <<<"$displays" | tr '\n' ' ')
  [ -z "$shared" ] || echo "round $round: displays used twice: $shared"
  if [ "$failed" -gt 0 ] || [ -n "$shared" ]; then
    lost_rounds=$((lost_rounds + 1))
    lost_instances=$((lost_instances + failed))
  fi
done
ended=$(date +%s.%N)
echo "$how: $rounds rounds of $instances at once: $lost_rounds rounds lost, $lost_instances instances failed ($(awk -v a="$began" -v b="$ended" 'BEGIN { printf "%.1f", b - a }') s)"
[ "$lost_rounds" -eq 0 ]
