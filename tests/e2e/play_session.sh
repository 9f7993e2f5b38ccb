#!/usr/bin/env bash
# A whole session of the real game driven by real key events: the menu, a run
# with a pause, jumps and steering, the fall off the road, the game-over
# screen with the score, back to the menu, F12 on message.log, EXIT with code
# 0, and a second start that shows the saved best score. Every step is
# checked on screenshots (play_session.py has the details). Fails too when
# the game prints a sanitizer report.
# Usage: play_session.sh <vimbrot executable> <source dir>
# PLAY_SESSION_SCREEN (default 1920x1200x24) sets the virtual screen, and so
# the window size; PLAY_SESSION_KEEP=dir keeps the step screenshots there.
set -euo pipefail

exe=$(realpath "$1")
src=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)

for tool in xdotool Xvfb xprop xwininfo convert python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
# Debian's python3 has numpy from python3-numpy; another python3 earlier in
# PATH may not.
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
"$python" -c 'import numpy' 2>/dev/null || { echo "skipped: python3-numpy is not installed"; exit 77; }

# Key events go to the focused window, so the game gets an X server of its
# own where no other test's window can take them. A 1920 x 1200 screen gives
# the game its large 1920 x 1080 window.
if [ -z "${PLAY_SESSION_PRIVATE_DISPLAY:-}" ]; then
  export PLAY_SESSION_SCREEN=${PLAY_SESSION_SCREEN:-1920x1200x24}
  PLAY_SESSION_PRIVATE_DISPLAY=1 exec bash "$here/../support/private-display.sh" "$PLAY_SESSION_SCREEN" bash "$0" "$@"
fi

work=$(mktemp -d /tmp/vimbrot-play-XXXXXX)
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
mkdir -p "$work/home"
cd "$work"
# Mesa would put its shader cache under the passwd home directory, not
# under HOME, unless XDG_CACHE_HOME says where.
export HOME=$work/home XDG_DATA_HOME=$work/home/.local/share XDG_CACHE_HOME=$work/home/.cache
# Test machines have no sound card; a silent driver keeps the log clean.
export SDL_AUDIODRIVER=${SDL_AUDIODRIVER:-dummy}
# A launcher (a script, like the package's /usr/games/vimbrot) starts the
# game in the state folder, where its message.log then is.
export XDG_STATE_HOME=$work/home/.local/state
if [ "$(head -c 2 "$exe")" = '#!' ]; then export PLAY_SESSION_LOG_DIR=$XDG_STATE_HOME/vimbrot; fi

set +e
"$python" "$here/play_session.py" "$exe" "$src" "$work/shots"
rc=$?
set -e

if [ -n "${PLAY_SESSION_KEEP:-}" ]; then
  mkdir -p "$PLAY_SESSION_KEEP"
  cp "$work"/shots/*.png "$PLAY_SESSION_KEEP"/ 2>/dev/null || true
elif [ "$rc" -ne 0 ]; then
  kept=$(mktemp -d /tmp/vimbrot-play-failed-XXXXXX)
  cp -r "$work"/shots "$work"/stderr-*.txt "$kept"/ 2>/dev/null || true
  echo "screenshots and stderr kept in $kept"
fi
exit "$rc"
