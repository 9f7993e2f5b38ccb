#!/usr/bin/env bash
# The real game's command line, with no display at all: --help and --version
# answer on stdout with code 0 and start nothing (no window, no log, no
# sound); a misused line prints the usage on stderr and ends with 64; the
# switches that choose how the game starts are accepted, so without a display
# the game goes on to its "no display" exit 1. The launcher passes the line on.
# Usage: command_line.sh <vimbrot executable> <source dir>
set -euo pipefail

exe=$(realpath "$1")
src=$(realpath "$2")
build=$(dirname "$exe")
launcher=$build/launcher/vimbrot

work=$(mktemp -d /tmp/vimbrot-cmdline-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
mkdir -p "$work/home" "$work/cwd"

version=$(sed -n 's/^project(Vimbrot VERSION \([0-9.]*\) .*/\1/p' "$src/CMakeLists.txt")
[ -n "$version" ] || fail "no version in CMakeLists.txt"

# Runs the game with no display, in an empty folder; sets rc, out and err.
run() {
  set +e
  (cd "$work/cwd" && env -u DISPLAY -u WAYLAND_DISPLAY HOME="$work/home" XDG_STATE_HOME="$work/home/state" \
     XDG_DATA_HOME="$work/home/data" SDL_AUDIODRIVER=dummy timeout 60 "$@") >"$work/out.txt" 2>"$work/err.txt"
  rc=$?
  set -e
  out=$(cat "$work/out.txt")
  err=$(cat "$work/err.txt")
}
nothing_left() {
  [ -z "$(ls -A "$work/cwd")" ] || fail "$1 left files in its working directory: $(ls -A "$work/cwd")"
  [ ! -e "$work/home/data" ] || fail "$1 touched the score store"
}

for game in "$exe" "$launcher"; do
  [ -x "$game" ] || { echo "  (no $game)"; continue; }
  echo "$game:"

  run "$game" --help
  [ "$rc" -eq 0 ] || fail "--help: exit code $rc"
  [ -z "$err" ] || fail "--help wrote to stderr: $err"
  grep -q '^Usage: vimbrot ' "$work/out.txt" || fail "--help: no usage line: $out"
  for option in --fullscreen --windowed --mute --help --version; do
    grep -q -- "^  $option " "$work/out.txt" || fail "--help does not explain $option"
  done
  nothing_left "--help"
  echo "  --help: code 0, $(wc -l <"$work/out.txt") lines on stdout"

  run "$game" --version
  [ "$rc" -eq 0 ] || fail "--version: exit code $rc"
  [ "$out" = "vimbrot $version" ] || fail "--version printed '$out', not 'vimbrot $version'"
  [ -z "$err" ] || fail "--version wrote to stderr: $err"
  nothing_left "--version"
  echo "  --version: $out"

  while IFS='|' read -r label args first; do
    # shellcheck disable=SC2086  # the cases' words
    run "$game" $args
    [ "$rc" -eq 64 ] || fail "$label: exit code $rc, not 64"
    [ -z "$out" ] || fail "$label wrote to stdout: $out"
    [ "$(head -n 1 "$work/err.txt")" = "$first" ] || fail "$label: stderr begins '$(head -n 1 "$work/err.txt")'"
    grep -q '^Usage: vimbrot ' "$work/err.txt" || fail "$label: no usage on stderr"
    nothing_left "$label"
    echo "  $label: code 64, $first"
  done <<'CASES'
an unknown option|--bogus|vimbrot: unknown option '--bogus'
a stray argument|level1|vimbrot: unexpected argument 'level1'
an unknown option after --help|--help --bogus|vimbrot: unknown option '--bogus'
a stray argument after a switch|--mute extra|vimbrot: unexpected argument 'extra'
CASES

  # Output that cannot be written: one line on stderr and 74 (EX_IOERR),
  # never the 1 that means no display.
  for option in --help --version; do
    for where in full closed; do
      set +e
      if [ "$where" = full ]; then
        (cd "$work/cwd" && env -u DISPLAY HOME="$work/home" "$game" "$option" >/dev/full 2>"$work/err.txt")
      else
        (cd "$work/cwd" && env -u DISPLAY HOME="$work/home" "$game" "$option" >&- 2>"$work/err.txt")
      fi
      rc=$?
      set -e
      [ "$rc" -eq 74 ] || fail "$option to a $where stdout: exit code $rc, not 74"
      [ "$(wc -l <"$work/err.txt")" -eq 1 ] && grep -q "^vimbrot: cannot write the ${option#--} to standard output: " "$work/err.txt" \
        || fail "$option to a $where stdout: not one line saying why on stderr: $(cat "$work/err.txt")"
      echo "  $option to a $where stdout: code 74, $(cat "$work/err.txt")"
    done
  done

  # An argument's control characters never reach the terminal as they are.
  run "$game" "$(printf 'bad\033]0;title\007')"
  [ "$rc" -eq 64 ] || fail "a control character: exit code $rc"
  [ "$(head -n 1 "$work/err.txt")" = "vimbrot: unexpected argument 'bad\x1B]0;title\x07'" ] \
    || fail "a control character reached stderr as it was: $(head -n 1 "$work/err.txt" | od -c | head -3)"
  echo "  control characters in an argument: escaped"

  # Accepted switches: the game starts, and without a display stops there.
  for args in "--fullscreen" "--windowed" "--mute" "--windowed --mute --fullscreen"; do
    # shellcheck disable=SC2086
    run "$game" $args
    [ "$rc" -eq 1 ] || fail "$args: exit code $rc, not 1 (no display)"
    grep -q 'no display' "$work/err.txt" || fail "$args: stderr does not say there is no display: $err"
    echo "  $args: accepted; no display, code 1"
  done
done
echo "PASS: the command line"
