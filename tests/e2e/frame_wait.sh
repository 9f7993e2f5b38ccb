#!/usr/bin/env bash
# The real game left on its menu for several seconds: the thread that runs
# the frame loop must mostly sleep, and an Escape tap must quit with code 0.
# The measurement starts only once the first menu frame is on the screen, so
# however slowly the game starts (shader compiling, decoding on a busy
# machine) none of it counts as loop work; a busy machine only gives the
# loop less CPU, never more.
# Usage: frame_wait.sh <vimbrot executable> <source dir>
set -euo pipefail

exe=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)

for tool in xdotool Xvfb python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
# Debian's python3 has numpy from python3-numpy; another python3 earlier in
# PATH may not.
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
"$python" -c 'import numpy' 2>/dev/null || { echo "skipped: python3-numpy is not installed"; exit 77; }

# The frame loop's share of a core is a property of the real build: under
# AddressSanitizer every copy of the frame on its way to the X server goes
# through the sanitizer's checks, and the share says nothing about the wait.
if ldd "$exe" | grep libasan >/dev/null; then
  echo "skipped: $exe is built with AddressSanitizer"
  exit 77
fi

# Key events go to whichever window has the focus, so the game gets an X
# server of its own where no other test's window can take them. A monitor
# under 1920 x 1081 gives the small window, which software GL can draw well
# inside a frame period, so the loop really waits between frames.
if [ -z "${FRAME_WAIT_PRIVATE_DISPLAY:-}" ]; then
  FRAME_WAIT_PRIVATE_DISPLAY=1 exec bash "$here/../support/private-display.sh" 1280x1024x24 bash "$0" "$@"
fi

. "$(dirname "$0")/workdir.sh"
make_work e2e
mkdir -p "$work/home"
cd "$work"
# Mesa would put its shader cache under the passwd home directory, not
# under HOME, unless XDG_CACHE_HOME says where.
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CACHE_HOME=$work/home/.cache
# Test machines have no sound card; a silent driver keeps the log clean.
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}

fail() { echo "FAIL: $*"; [ -s stderr.txt ] && sed 's/^/  game stderr: /' stderr.txt; exit 1; }

# utime + stime in clock ticks of one thread (or of the process), read
# after the ")" that closes the command name.
ticks() { sed 's/.*) //' "$1" | awk '{print $12 + $13}'; }

"$exe" 2>stderr.txt &
pid=$!

window=$(timeout 60 xdotool search --sync --name '^Vimbrot$' | head -n 1) || fail "no Vimbrot window within 60 s"
# Start-up is over when the menu's title is on the screen.
PYTHONDONTWRITEBYTECODE=1 "$python" - "$here" "$window" "$pid" <<'PY' || fail "no menu frame on the screen within 120 s"
import sys
sys.path.insert(0, sys.argv[1])
import screen as S


def alive():
    # The game is this shell's child: once it ends it stays a zombie ("Z").
    try:
        return open("/proc/%s/stat" % sys.argv[3]).read().rsplit(") ", 1)[1][0] != "Z"
    except OSError:
        return False


sys.exit(0 if S.wait_for_title(S.Display(), int(sys.argv[2]), 120, alive=alive, poll=0.05) else 1)
PY

hz=$(getconf CLK_TCK)
main_before=$(ticks "/proc/$pid/task/$pid/stat")
all_before=$(ticks "/proc/$pid/stat")
start=$(date +%s.%N)
sleep 8
main_after=$(ticks "/proc/$pid/task/$pid/stat")
all_after=$(ticks "/proc/$pid/stat")
end=$(date +%s.%N)

read -r main_pct all_pct < <(awk -v a="$main_before" -v b="$main_after" -v c="$all_before" -v d="$all_after" \
  -v hz="$hz" -v s="$start" -v e="$end" 'BEGIN { w = e - s; printf "%.1f %.1f\n", (b - a) / hz / w * 100, (d - c) / hz / w * 100 }')
# The loop's own thread is what the frame wait governs. Mesa's software
# renderer clears and resolves the multisampled window on worker threads of
# its own, so the whole process shows the cost of drawing without a GPU.
echo "frame loop thread: ${main_pct} % of one core; whole process (software GL): ${all_pct} %"
awk -v p="$main_pct" 'BEGIN { exit !(p < 10) }' || fail "the frame loop used ${main_pct} % of a core"

xdotool windowfocus --sync "$window" key Escape || fail "xdotool could not send Escape"
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the game did not quit within 10 s of Escape"
set +e
wait "$pid"
rc=$?
set -e
pid=""
[ "$rc" -eq 0 ] || fail "exit code $rc after Escape, expected 0"
if [ -s message.log ]; then
  sed 's/^/  message.log: /' message.log
  fail "the menu wrote to message.log"
fi
echo "PASS: quit with code 0 on Escape"
