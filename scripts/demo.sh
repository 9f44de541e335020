#!/usr/bin/env bash
# Installs what is missing, builds the Windows flavour and starts Kestrun.exe under
# Wine playing the demo tone the build makes. On a machine without a display it
# runs on a virtual one (Xvfb) and saves a screenshot to build/windows/demo.png.
#   KESTRUN_DEMO_SECONDS=n  closes the player after n seconds (default: runs until closed,
#                           or 15 seconds on a virtual display)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/bootstrap.sh
# Only what the demo runs: the player, the filter, the skins and the demo tone.
KESTRUN_TARGETS="Kestrun Equalizer kestrun_skins kestrun_demo_media" bash scripts/build.sh windows
build="$root/build/windows"
virtual=0
if [ -z "${DISPLAY:-}" ]; then
  virtual=1
  bash scripts/wine-session.sh start "$build"
  export DISPLAY="$(cat "$build/wine/display")"
  trap 'bash "$root/scripts/wine-session.sh" stop "$build"' EXIT
fi
seconds=${KESTRUN_DEMO_SECONDS:-}
[ -z "$seconds" ] && [ "$virtual" = 1 ] && seconds=15
demo_unix="$build/bin/kestrun-demo.wav"
# Wine's Z: drive is the Unix root; the player takes one Windows path (Wine quotes
# it on the command line when it holds blanks).
demo="Z:${demo_unix//\//\\}"
echo "Playing $demo"
if [ -n "$seconds" ]; then
  "$build/wine-run" "$build/bin/Kestrun.exe" "$demo" &
  # The player is ended with its wineserver below; no job report for that.
  disown
  sleep "$seconds"
  if command -v import >/dev/null 2>&1; then
    import -window root "$build/demo.png" && echo "Screenshot: $build/demo.png"
  fi
  # Ending the prefix's wineserver ends the player with it.
  WINEPREFIX="$build/wine/prefix" "$(command -v wineserver || echo /usr/lib/wine/wineserver64)" -k 2>/dev/null || true
  sleep 1
else
  exec "$build/wine-run" "$build/bin/Kestrun.exe" "$demo"
fi
