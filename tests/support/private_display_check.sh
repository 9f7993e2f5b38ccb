#!/usr/bin/env bash
# private-display.sh, the X server of their own that the end-to-end tests
# run on: the screen it is asked for, the command's exit code passed on, the
# server gone on every way out (a normal end, a failing command, a TERM to
# the helper), servers inside servers on displays of their own, a clear
# failure for a screen Xvfb refuses, and 77 without Xvfb.
# Usage: private_display_check.sh <private-display.sh>
set -euo pipefail

helper=$(realpath "$1")
for tool in Xvfb xwininfo; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d /tmp/vimbrot-display-check-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Writes the display, its screen (WxHxD) and its server's pid to $1, then
# ends with code $2. The server is the Xvfb of the nearest helper above
# (a server started with -displayfd makes no lock file to read it from).
cat >"$work/probe" <<'EOF'
set -eu
root=$(xwininfo -root)
size=$(awk '/Width:/ { w = $2 } /Height:/ { h = $2 } /Depth:/ { d = $2 } END { print w "x" h "x" d }' <<<"$root")
server=""
p=$PPID
while [ -z "$server" ] && [ "$p" -gt 1 ]; do
  server=$(pgrep -P "$p" -x Xvfb || true)
  p=$(ps -o ppid= -p "$p" | tr -d ' ')
done
[ -n "$server" ] || { echo "no Xvfb above the probe"; exit 99; }
echo "$DISPLAY $size $server" >>"$1"
exit "$2"
EOF

gone() { ! kill -0 "$1" 2>/dev/null; }

# Screens and exit codes, one start each.
while read -r screen code; do
  rm -f "$work/seen"
  set +e
  bash "$helper" "$screen" bash "$work/probe" "$work/seen" "$code"
  rc=$?
  set -e
  [ "$rc" -eq "$code" ] || fail "$screen, command ending with $code: exit code $rc"
  read -r display size server <"$work/seen"
  [ "$size" = "$screen" ] || fail "asked for $screen, the server on $display has $size"
  gone "$server" || fail "the server on $display (pid $server) is still running after the command"
  echo "  $screen on $display, exit code $code passed on, server stopped"
done <<EOF
800x600x24 0
1920x1200x24 3
1280x1024x16 0
EOF

# Inside one another: three servers up at the same time, three displays.
rm -f "$work/seen"
bash "$helper" 640x480x24 bash -c '
  bash "$2" 640x480x24 bash -c "bash \"\$2\" 640x480x24 bash \"\$1\" \"\$3\" 0 && bash \"\$1\" \"\$3\" 0" \
    bash "$1" "$2" "$3" && bash "$1" "$3" 0' bash "$work/probe" "$helper" "$work/seen"
[ "$(wc -l <"$work/seen")" -eq 3 ] || fail "nested servers: $(cat "$work/seen")"
[ "$(cut -d' ' -f1 "$work/seen" | sort -u | wc -l)" -eq 3 ] || fail "nested servers share a display: $(cut -d' ' -f1 "$work/seen" | tr '\n' ' ')"
while read -r display _ server; do gone "$server" || fail "the server on $display is still running"; done <"$work/seen"
echo "  nested: $(cut -d' ' -f1 "$work/seen" | tr '\n' ' ')all stopped"

# A TERM to the helper while its command runs: the command ends as it
# would, then the server is stopped and 143 reported.
rm -f "$work/seen"
set +e
bash "$helper" 640x480x24 bash -c 'kill -TERM "$PPID" && bash "$1" "$2" 0' bash "$work/probe" "$work/seen"
rc=$?
set -e
[ "$rc" -eq 143 ] || fail "TERM to the helper: exit code $rc, not 143"
[ -s "$work/seen" ] || fail "TERM to the helper: it ended before its command"
read -r display _ server <"$work/seen"
gone "$server" || fail "after a TERM the server on $display is still running"
echo "  TERM: exit code 143, server stopped"

# A screen Xvfb refuses: code 1 and its reason, at once.
set +e
out=$(bash "$helper" 64x48x7 true 2>&1)
rc=$?
set -e
[ "$rc" -eq 1 ] || fail "an impossible screen: exit code $rc, not 1"
grep -q '^FAIL: Xvfb did not start' <<<"$out" || fail "an impossible screen: no clear line: $out"
echo "  refused screen: $(head -n 1 <<<"$out")"

# No Xvfb: skipped, 77.
mkdir "$work/empty"
set +e
out=$(PATH=$work/empty "$BASH" "$helper" 640x480x24 true 2>&1)
rc=$?
set -e
[ "$rc" -eq 77 ] || fail "without Xvfb: exit code $rc, not 77"
grep -q '^skipped: ' <<<"$out" || fail "without Xvfb: no skipped line: $out"
echo "  without Xvfb: $out"
echo "PASS: private-display.sh"
