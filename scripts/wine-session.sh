#!/usr/bin/env bash
# Starts or stops what Windows tests need around them: an Xvfb display and a
# persistent wineserver for this build tree's prefix.
#   wine-session.sh start <build-dir>
#   wine-session.sh stop  <build-dir>
set -u
action=$1
build_dir=$(cd "$2" && pwd)
wine_dir="$build_dir/wine"
mkdir -p "$wine_dir"
export WINEPREFIX="${KESTRUN_WINEPREFIX:-$wine_dir/prefix}"
wineserver_bin=$(command -v wineserver64 || command -v wineserver || echo /usr/lib/wine/wineserver64)

case "$action" in
start)
  if [ -s "$wine_dir/xvfb.pid" ] && kill -0 "$(cat "$wine_dir/xvfb.pid")" 2>/dev/null; then
    :
  else
    # Pick a free display number.
    for n in $(seq 90 140); do
      [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
    done
    setsid Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 < /dev/null &
    echo $! > "$wine_dir/xvfb.pid"
    echo ":$n" > "$wine_dir/display"
    for _ in $(seq 1 50); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      sleep 0.1
    done
  fi
  # Make the prefix now (first use takes a while) and keep one wineserver alive
  # for the whole run instead of one per test program.
  "$build_dir/wine-run" cmd /c exit 0 >/dev/null 2>&1 || true
  setsid "$wineserver_bin" -p >/dev/null 2>&1 < /dev/null &
  exit 0
  ;;
stop)
  "$wineserver_bin" -k >/dev/null 2>&1 || true
  if [ -s "$wine_dir/xvfb.pid" ]; then
    kill "$(cat "$wine_dir/xvfb.pid")" 2>/dev/null || true
    rm -f "$wine_dir/xvfb.pid" "$wine_dir/display"
  fi
  exit 0
  ;;
*)
  echo "usage: $0 start|stop <build-dir>" >&2
  exit 2
  ;;
esac
