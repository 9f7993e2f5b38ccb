#!/usr/bin/env bash
# Muting in the real game, heard through SDL's disk driver (the mixed output
# written to a file): M silences the music at once and brings it back, the
# choice is written to the settings file and a second start begins muted;
# --mute starts muted too. What is checked is the mix itself: bytes of zero
# while muted, sound again once unmuted.
# Usage: mute.sh <vimbrot executable> <source dir>
set -euo pipefail

exe=$(realpath "$1")

if [ -z "${MUTE_PRIVATE_DISPLAY:-}" ]; then
  MUTE_PRIVATE_DISPLAY=1 exec bash "$(dirname "$0")/../support/private-display.sh" 1280x1024x24 bash "$0" "$@"
fi
command -v xdotool >/dev/null || { echo "skipped: xdotool is not installed"; exit 77; }

. "$(dirname "$0")/workdir.sh"
make_work mute

mkdir -p "$work/home"
cd "$work"
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CACHE_HOME=$work/home/.cache
export XDG_CONFIG_HOME=$work/home/.config SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$work/mix.raw
settings=$XDG_CONFIG_HOME/Orvo/Vimbrot/settings
second=96000  # bytes of 16-bit stereo at 24 kHz
latency=16384 # a few mixer and device buffers

size() { stat -c %s "$work/mix.raw" 2>/dev/null || echo 0; }
# Waits (up to two minutes) until the mix holds a non-zero byte after `from`.
wait_sound() {
  for _ in $(seq 1200); do
    [ "$(tail -c +"$(($1 + 1))" "$work/mix.raw" | tr -d '\0' | head -c 1 | wc -c)" -eq 1 ] && return 0
    sleep 0.1
  done
  return 1
}
# Waits until the mix has grown to `bytes`.
wait_size() {
  for _ in $(seq 1200); do [ "$(size)" -ge "$1" ] && return 0; sleep 0.1; done
  return 1
}
silent() { cmp -s -n "$(($2 - $1))" -i "$1:0" "$work/mix.raw" /dev/zero; }
start() {
  rm -f "$work/mix.raw"
  "$exe" "$@" 2>"$work/stderr.txt" &
  pid=$!
  window=$(timeout 120 xdotool search --sync --onlyvisible --name "^Vimbrot$" | head -n 1) \
    || { cat "$work/stderr.txt"; fail "no window"; }
}
press_m() { xdotool windowfocus --sync "$window" key m; }
wait_setting() {
  for _ in $(seq 600); do grep -qx "mute = $1" "$settings" 2>/dev/null && return 0; sleep 0.1; done
  fail "the settings file does not say mute = $1: $(cat "$settings" 2>/dev/null)"
}
quit() {
  xdotool windowfocus --sync "$window" key Escape
  for _ in $(seq 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  set +e; wait "$pid"; rc=$?; set -e
  pid=""
  [ "$rc" -eq 0 ] || { cat "$work/stderr.txt"; fail "exit code $rc"; }
  [ ! -s message.log ] || { cat message.log; fail "the game logged records"; }
}

echo "1. a default start: the music plays; M mutes it and unmutes it"
start
wait_sound 0 || fail "no music in the mix"
press_m
wait_setting true
at=$(size)
wait_size $((at + latency + second)) || fail "the mix stopped growing"
silent $((at + latency)) $((at + latency + second)) || fail "the mix is not silent after M"
end=$(size)
press_m
wait_setting false
wait_sound "$end" || fail "M did not bring the sound back"
echo "  muted: a second of silence from $((at + latency)); unmuted: sound again after byte $end"
press_m
wait_setting true
quit

echo "2. a second start, remembered muted: silent until M"
start
wait_size $((3 * second)) || fail "the mix stopped growing"
silent 0 "$(size)" || fail "a start remembered muted made a sound"
press_m
wait_setting false
wait_sound 0 || fail "M did not bring the sound back"
quit
echo "  silent for $(( $(size) / second )) s before M; sound after it"

echo "3. --mute over a file that says unmuted: silent until M"
start --mute
wait_size $((3 * second)) || fail "the mix stopped growing"
silent 0 "$(size)" || fail "--mute made a sound"
press_m
wait_sound 0 || fail "M did not bring the sound back"
quit
echo "PASS: muting"
