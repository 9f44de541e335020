#!/usr/bin/env bash
# Starts or stops what Windows tests need around them: an Xvfb display and a
# persistent wineserver for this build tree's prefix.
#   wine-session.sh start <build-dir>
#   wine-session.sh stop  <build-dir>
# The display in use is written to <build-dir>/wine/display (":N"), the Xvfb
# process id to <build-dir>/wine/xvfb.pid.
#
# Xvfb chooses its own display number (-displayfd): a number that looks free by
# the lock files in /tmp may still be taken, since X servers listen on abstract
# sockets, which every process of the machine's network namespace shares (other
# containers and chroots with a /tmp of their own included). A display is used
# only once the server listening on it is checked to be the one started here.
set -u
action=$1
build_dir=$(cd "$2" && pwd)
wine_dir="$build_dir/wine"
mkdir -p "$wine_dir"
export WINEPREFIX="${KESTRUN_WINEPREFIX:-$wine_dir/prefix}"
wineserver_bin=$(command -v wineserver64 || command -v wineserver || echo /usr/lib/wine/wineserver64)

# Succeeds when process $1 holds the listening abstract socket of display $2,
# that is when a client connecting to :$2 reaches that process.
owns_display() {
  local pid=$1 n=$2 inode
  inode=$(awk -v path="@/tmp/.X11-unix/X$n" '$NF == path && $4 == "00010000" { print $7; exit }' /proc/net/unix)
  [ -n "$inode" ] || return 1
  ls -l "/proc/$pid/fd" 2>/dev/null | grep -q "socket:\[$inode\]"
}

# Starts Xvfb and waits for the display number it writes once it listens.
# Prints "<pid> <n>"; fails when the server ends or does not answer in 10 s.
start_xvfb() {
  local out="$wine_dir/xvfb.displayfd" pid n=""
  rm -f "$out"
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$out" >"$wine_dir/xvfb.log" 2>&1 < /dev/null &
  pid=$!
  for _ in $(seq 1 100); do
    # The number is complete once its line ends.
    if [ "$(tail -c 1 "$out" 2>/dev/null | od -An -c | tr -d ' ')" = '\n' ]; then
      n=$(head -n 1 "$out")
      break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$out"
  if [[ "$n" =~ ^[0-9]+$ ]] && owns_display "$pid" "$n"; then
    echo "$pid $n"
    return 0
  fi
  kill "$pid" 2>/dev/null
  return 1
}

case "$action" in
start)
  running=""
  if [ -s "$wine_dir/xvfb.pid" ] && [ -s "$wine_dir/display" ]; then
    pid=$(cat "$wine_dir/xvfb.pid")
    n=$(sed 's/^://' "$wine_dir/display")
    if kill -0 "$pid" 2>/dev/null && owns_display "$pid" "$n"; then
      running=yes
    fi
  fi
  if [ -z "$running" ]; then
    rm -f "$wine_dir/xvfb.pid" "$wine_dir/display"
    started=""
    for _ in 1 2 3 4 5; do
      if started=$(start_xvfb); then
        break
      fi
      started=""
      sleep 0.5
    done
    if [ -z "$started" ]; then
      echo "wine-session: Xvfb did not start (see $wine_dir/xvfb.log)" >&2
      exit 1
    fi
    echo "${started% *}" > "$wine_dir/xvfb.pid"
    echo ":${started#* }" > "$wine_dir/display"
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
  fi
  rm -f "$wine_dir/xvfb.pid" "$wine_dir/display"
  exit 0
  ;;
*)
  echo "usage: $0 start|stop <build-dir>" >&2
  exit 2
  ;;
esac
