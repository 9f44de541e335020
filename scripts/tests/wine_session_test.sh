#!/usr/bin/env bash
# Starts the Wine test session's display while foreign X servers hold the displays
# it could pick first, with their lock and socket files out of sight in a /tmp of
# their own (as a server in another container or chroot of the machine has them):
# the session must end up on a display of its own that its own Xvfb answers, and
# stopping it must leave the foreign servers running.
#   wine_session_test.sh [path/to/wine-session.sh]
# Exits 77 (skipped) where Xvfb, xdpyinfo or a private mount namespace is missing.
set -u
here=$(cd "$(dirname "$0")" && pwd)
session=${1:-$here/../wine-session.sh}

for tool in Xvfb xdpyinfo unshare; do
  command -v "$tool" >/dev/null || { echo "SKIP: no $tool"; exit 77; }
done
if unshare -m true 2>/dev/null; then
  private_tmp=(unshare -m --propagation private)
elif unshare -rm true 2>/dev/null; then
  private_tmp=(unshare -rm --propagation private)
else
  echo "SKIP: no private mount namespace"
  exit 77
fi

work=$(mktemp -d)
cleanup() {
  bash "$session" stop "$work/build" >/dev/null 2>&1
  for pid in $(cat "$work/foreign.pids" 2>/dev/null); do kill "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  exit 1
}

# Starts a 640x480 Xvfb whose /tmp is a private one, on display $1 or, with "fd",
# on the first display it can take. Prints the display number.
start_foreign() {
  local where=$1 out="$work/foreign.$RANDOM" pid
  if [ "$where" = fd ]; then
    setsid "${private_tmp[@]}" sh -c 'mount -t tmpfs tmpfs /tmp && exec Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp' \
      3>"$out" >/dev/null 2>&1 < /dev/null &
  else
    setsid "${private_tmp[@]}" sh -c "mount -t tmpfs tmpfs /tmp && echo $where >&3 && exec Xvfb :$where -screen 0 640x480x24 -nolisten tcp" \
      3>"$out" >/dev/null 2>&1 < /dev/null &
  fi
  pid=$!
  echo "$pid" >> "$work/foreign.pids"
  for _ in $(seq 1 100); do
    if [ -s "$out" ] && DISPLAY=":$(head -n 1 "$out")" xdpyinfo 2>/dev/null | grep -q 'dimensions: *640x480'; then
      head -n 1 "$out"
      return 0
    fi
    sleep 0.1
  done
  return 1
}

screen_of() {
  DISPLAY=$1 xdpyinfo 2>/dev/null | sed -n 's/.*dimensions: *\([0-9]*x[0-9]*\).*/\1/p'
}

# A build tree with only what the session needs besides Xvfb: stand-ins for the
# Wine wrapper and the wineserver, which this test does not exercise.
mkdir -p "$work/build" "$work/bin"
printf '#!/bin/sh\nexit 0\n' > "$work/build/wine-run"
printf '#!/bin/sh\nexit 0\n' > "$work/bin/wineserver64"
chmod +x "$work/build/wine-run" "$work/bin/wineserver64"
export PATH="$work/bin:$PATH"
unset DISPLAY

# The first display that looks free by the files in /tmp, and the first that a
# server choosing for itself takes, both held by foreign servers.
for n in $(seq 90 140); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
done
foreign_a=$(start_foreign "$n") || fail "foreign Xvfb on :$n did not start"
foreign_b=$(start_foreign fd) || fail "foreign Xvfb choosing its display did not start"
[ -e "/tmp/.X$foreign_a-lock" ] && fail "the foreign server's lock file is visible; the test cannot stand for another /tmp"

bash "$session" start "$work/build" || fail "session start failed"
display=$(cat "$work/build/wine/display" 2>/dev/null)
pid=$(cat "$work/build/wine/xvfb.pid" 2>/dev/null)
[ -n "$display" ] || fail "no display written"
case "$display" in
":$foreign_a" | ":$foreign_b") fail "session took the foreign display $display" ;;
esac
kill -0 "$pid" 2>/dev/null || fail "the session's Xvfb ($pid) is not running"
[ "$(screen_of "$display")" = 1280x1024 ] || fail "display $display answers with screen '$(screen_of "$display")', not the session's"

# A second start keeps the running session.
bash "$session" start "$work/build" || fail "second start failed"
[ "$(cat "$work/build/wine/display")" = "$display" ] || fail "second start changed the display"
[ "$(cat "$work/build/wine/xvfb.pid")" = "$pid" ] || fail "second start started another Xvfb"

bash "$session" stop "$work/build"
for _ in $(seq 1 50); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "stop left the session's Xvfb running"
[ -e "$work/build/wine/display" ] && fail "stop left the display file"
[ "$(screen_of ":$foreign_a")" = 640x480 ] || fail "stop disturbed the foreign server on :$foreign_a"
[ "$(screen_of ":$foreign_b")" = 640x480 ] || fail "stop disturbed the foreign server on :$foreign_b"
echo "session display $display; foreign servers on :$foreign_a and :$foreign_b"
exit 0
