#!/usr/bin/env bash
# The launcher (packaging/vimbrot.sh.in) that starts the game like any
# program. First against a stand-in game, run by the plain POSIX shell, a
# table of cases: the state folder it starts the game in (XDG_STATE_HOME, else
# ~/.local/state, private), the allocator tunable it sets unless the user has,
# every argument passed on as it was given, and a clear failure when there is
# no folder to start in. Then the real game through the real launcher on a
# virtual display: the process is `vimbrot`, it runs the expected executable
# in the state folder with the tunable (its large blocks on huge pages), and
# message.log is made there and nowhere else.
# Usage: launcher_check.sh <vimbrot executable> <source dir> [launcher [game it starts]]
# (default: the build tree's launcher/vimbrot, which starts <vimbrot executable>)
set -euo pipefail

exe=$(realpath "$1")
src=$(realpath "$2")
launcher=${3:-$(dirname "$exe")/launcher/vimbrot}
game=$(realpath "${4:-$exe}")

[ -x "$launcher" ] || { echo "FAIL: no launcher $launcher"; exit 1; }

if [ -z "${LAUNCHER_PRIVATE_DISPLAY:-}" ]; then
  LAUNCHER_PRIVATE_DISPLAY=1 exec bash "$src/tests/support/private-display.sh" 1280x1024x24 bash "$0" "$@"
fi

. "$(dirname "$0")/workdir.sh"
make_work launcher

# --- The launcher's rules, against a stand-in game -----------------------------
# The stand-in is named vimbrot too and reports where it runs, its tunables
# and each argument between brackets.
mkdir -p "$work/stub"
cat >"$work/stub/vimbrot" <<'EOF'
#!/bin/sh
echo "cwd=$(pwd)"
echo "tunables=${GLIBC_TUNABLES-(unset)}"
echo "umask=$(umask)"
echo "argc=$#"
for a in "$@"; do echo "arg=[$a]"; done
EOF
chmod +x "$work/stub/vimbrot"
sed "s|@VIMBROT_GAME@|$work/stub/vimbrot|" "$src/packaging/vimbrot.sh.in" >"$work/launch"
grep -q '@[A-Z_]*@' "$work/launch" && fail "the launcher template has a placeholder other than @VIMBROT_GAME@"
# The installed launcher is the template with only the game's path filled in.
diff <(sed 's|^game=.*|game=|' "$launcher") <(sed 's|^game=.*|game=|' "$work/launch") >/dev/null \
  || fail "$launcher is not made from packaging/vimbrot.sh.in"
grep -qx "game='$game'" "$launcher" || fail "$launcher does not start $game"
if command -v shellcheck >/dev/null; then
  shellcheck -s sh "$work/launch" || fail "shellcheck finds faults in the launcher"
fi

# Runs the stand-in through the launcher with dash (the plain POSIX shell
# Debian's /bin/sh is), from a folder of its own, in an environment of only
# the given variables.
run() {
  mkdir -p "$work/from"
  (cd "$work/from" && env -i PATH=/usr/bin:/bin "$@" dash "$work/launch" "${args[@]}") \
    >"$work/out.txt" 2>"$work/err.txt"
}
expect_line() {
  grep -qxF -- "$1" "$work/out.txt" || { cat "$work/out.txt" "$work/err.txt"; fail "$2: no line $1"; }
}
mode() { stat -c %a "$1"; }

# Where the game runs. HOME and XDG_STATE_HOME in each case, then the folder.
h=$work/home
while IFS='|' read -r label state_env folder; do
  rm -rf "$h" "$work/state"
  mkdir -p "$h"
  args=()
  # shellcheck disable=SC2086  # state_env is empty or one word
  run HOME="$h" $state_env
  expect_line "cwd=$folder" "$label"
  [ "$(mode "$folder")" = 700 ] || fail "$label: $folder has mode $(mode "$folder"), not 700"
  # The parents the launcher made are private too.
  parent=$(dirname "$folder")
  [ "$(mode "$parent")" = 700 ] || fail "$label: $parent has mode $(mode "$parent"), not 700"
  [ ! -s "$work/err.txt" ] || { cat "$work/err.txt"; fail "$label: the launcher wrote to stderr"; }
  echo "  state folder, $label: $folder (0700)"
done <<EOF
XDG_STATE_HOME unset|XDG_STATE_HOME_UNSET=1|$h/.local/state/vimbrot
XDG_STATE_HOME absolute|XDG_STATE_HOME=$work/state|$work/state/vimbrot
XDG_STATE_HOME relative|XDG_STATE_HOME=state|$h/.local/state/vimbrot
XDG_STATE_HOME empty|XDG_STATE_HOME=|$h/.local/state/vimbrot
EOF

# A folder that is there already is used with its files, made private: the
# folder 0700 and the log in it 0600.
rm -rf "$h" && mkdir -p "$h/.local/state/vimbrot" && chmod 755 "$h/.local/state/vimbrot"
echo "kept" >"$h/.local/state/vimbrot/message.log"
chmod 644 "$h/.local/state/vimbrot/message.log"
args=()
run HOME="$h"
expect_line "cwd=$h/.local/state/vimbrot" "an existing folder"
[ "$(cat "$h/.local/state/vimbrot/message.log")" = kept ] || fail "the launcher changed the existing message.log"
[ "$(mode "$h/.local/state/vimbrot")" = 700 ] || fail "an existing folder kept mode $(mode "$h/.local/state/vimbrot")"
[ "$(mode "$h/.local/state/vimbrot/message.log")" = 600 ] \
  || fail "an existing message.log kept mode $(mode "$h/.local/state/vimbrot/message.log")"
echo "  an existing folder: used, made 0700, its log 0600"

# A message.log that is a link: its target is never changed.
rm -rf "$h" && mkdir -p "$h/.local/state/vimbrot" && echo target >"$work/elsewhere" && chmod 644 "$work/elsewhere"
ln -s "$work/elsewhere" "$h/.local/state/vimbrot/message.log"
run HOME="$h"
[ "$(mode "$work/elsewhere")" = 644 ] || fail "the launcher changed the mode of a link's target"

# What the game makes is private: the game starts with umask 077.
rm -rf "$h" && mkdir -p "$h"
run HOME="$h"
expect_line "umask=0077" "the game's umask"

# No folder to start in: one line on stderr, exit code 1, the game not started.
rm -rf "$h" && mkdir -p "$h" && echo "a file" >"$h/.local"
while IFS='|' read -r label vars; do
  set +e
  # shellcheck disable=SC2086
  run $vars
  rc=$?
  set -e
  [ "$rc" -eq 1 ] || fail "$label: exit code $rc, not 1"
  [ ! -s "$work/out.txt" ] || fail "$label: the game was started anyway"
  if [ "$(wc -l <"$work/err.txt")" -ne 1 ] || ! grep -q '^vimbrot: cannot start: ' "$work/err.txt"; then
    cat "$work/err.txt"; fail "$label: not one line saying why on stderr"
  fi
  echo "  refused, $label: $(cat "$work/err.txt")"
done <<EOF
no HOME and no XDG_STATE_HOME|XDG_STATE_HOME=relative
a relative HOME and no XDG_STATE_HOME|HOME=relative/home
a file where the folder's parent goes|HOME=$h
EOF
[ ! -e "$work/from/relative" ] || fail "a relative HOME made a folder under the current one"

# The tunable: added unless the user chose about huge pages.
while IFS='|' read -r label vars wanted; do
  rm -rf "$h" && mkdir -p "$h"
  args=()
  # shellcheck disable=SC2086
  run HOME="$h" $vars
  expect_line "tunables=$wanted" "tunables, $label"
  echo "  GLIBC_TUNABLES, $label: $wanted"
done <<EOF
unset||glibc.malloc.hugetlb=1
empty|GLIBC_TUNABLES=|glibc.malloc.hugetlb=1
another tunable|GLIBC_TUNABLES=glibc.malloc.arena_max=2|glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1
huge pages already on|GLIBC_TUNABLES=glibc.malloc.hugetlb=1|glibc.malloc.hugetlb=1
huge pages off by the user|GLIBC_TUNABLES=glibc.malloc.hugetlb=0|glibc.malloc.hugetlb=0
the user's choice among others|GLIBC_TUNABLES=glibc.malloc.arena_max=2:glibc.malloc.hugetlb=2|glibc.malloc.arena_max=2:glibc.malloc.hugetlb=2
a name that only contains it|GLIBC_TUNABLES=xglibc.malloc.hugetlbx=1|xglibc.malloc.hugetlbx=1:glibc.malloc.hugetlb=1
a trailing separator|GLIBC_TUNABLES=glibc.malloc.arena_max=2:|glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1
EOF

# Every argument reaches the game as it was given: empty ones, spaces,
# patterns, dollars, a leading dash.
rm -rf "$h" && mkdir -p "$h"
# shellcheck disable=SC2016  # a literal dollar
args=(--mute "two words" "" "*" '$HOME' "-" "--" "a'quote")
run HOME="$h"
expect_line "argc=${#args[@]}" "arguments"
for a in "${args[@]}"; do expect_line "arg=[$a]" "arguments"; done
[ "$(grep -c '^arg=' "$work/out.txt")" -eq "${#args[@]}" ] || fail "arguments: not passed one for one"
echo "  ${#args[@]} arguments passed on as given"

# --- The real game through the launcher ----------------------------------------
for tool in xdotool ps pgrep; do
  command -v "$tool" >/dev/null || { echo "skipped the real game: $tool is not installed"; exit 77; }
done
mkdir -p "$work/game/home" "$work/game/from"
cd "$work/game/from"
ghome=$work/game/home
state=$ghome/.local/state/vimbrot
env -u XDG_STATE_HOME -u GLIBC_TUNABLES HOME="$ghome" XDG_DATA_HOME="$ghome/.local/share" \
  XDG_CACHE_HOME="$ghome/.cache" SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}" \
  "$launcher" 2>"$work/game/stderr.txt" &
pid=$!
window=$(timeout 120 xdotool search --sync --onlyvisible --name "^Vimbrot$" | head -n 1) \
  || { cat "$work/game/stderr.txt"; fail "the game opened no window"; }

# The window is the game's own: the launcher has become the game (same id).
comm=$(ps -o comm= -p "$pid" | tr -d ' ')
[ "$comm" = vimbrot ] || fail "the process is named '$comm', not vimbrot"
# (Listings are read whole before grep -q, which under pipefail could
# otherwise break the lister's pipe and fail the check.)
found=$(pgrep -x vimbrot || true)
grep -qx "$pid" <<<"$found" || fail "pgrep -x vimbrot does not find the game (pid $pid)"
[ "$(readlink "/proc/$pid/exe")" = "$game" ] || fail "the process runs $(readlink "/proc/$pid/exe"), not $game"
[ "$(readlink "/proc/$pid/cwd")" = "$state" ] || fail "the game runs in $(readlink "/proc/$pid/cwd"), not $state"
[ "$(mode "$state")" = 700 ] || fail "$state has mode $(mode "$state")"
tunables=$(tr '\0' '\n' <"/proc/$pid/environ" | sed -n 's/^GLIBC_TUNABLES=//p')
[ "$tunables" = glibc.malloc.hugetlb=1 ] || fail "the game runs with GLIBC_TUNABLES='$tunables'"
# Its large blocks really sit on huge pages (when the kernel gives them;
# AddressSanitizer brings its own allocator, which the tunable does not reach).
huge=$(sed -n 's/^AnonHugePages: *\([0-9]*\) kB/\1/p' "/proc/$pid/smaps_rollup")
libraries=$(ldd "$game")
if grep -q '\[never\]' /sys/kernel/mm/transparent_hugepage/enabled || grep -q libasan <<<"$libraries"; then
  echo "  huge pages not checked: transparent huge pages are off or the build is sanitized"
elif [ "$huge" -eq 0 ]; then
  fail "no anonymous huge pages in use"
fi
echo "  the game: process vimbrot (pid $pid), $game, in $state, GLIBC_TUNABLES=$tunables, ${huge} kB on huge pages"

# F12 in the menu empties message.log, which makes it where the game keeps it.
xdotool windowfocus --sync "$window" key F12
for _ in $(seq 600); do [ -e "$state/message.log" ] && break; sleep 0.1; done
[ -f "$state/message.log" ] || fail "F12 made no message.log in $state"
[ "$(stat -c %a "$state/message.log")" = 600 ] || fail "the game made message.log with mode $(stat -c %a "$state/message.log")"
xdotool windowfocus --sync "$window" key Escape
for _ in $(seq 600); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$pid" 2>/dev/null && fail "the game did not quit on Escape"
set +e; wait "$pid"; rc=$?; set -e
pid=""
[ "$rc" -eq 0 ] || { cat "$work/game/stderr.txt"; fail "the game exited with code $rc"; }
others=$(find "$work/game" -name message.log ! -path "$state/message.log")
[ -z "$others" ] || fail "message.log also made elsewhere: $others"
[ ! -s "$state/message.log" ] || { cat "$state/message.log"; fail "the game logged records"; }
echo "  message.log made in $state only; exit code 0"
echo "PASS: the launcher"
