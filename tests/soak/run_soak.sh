#!/usr/bin/env bash
# A long soak run of the real player under Wine:
#   bash tests/soak/run_soak.sh [seconds] [seed] [driver options: --no-video, --no-drags, --trace-memory]
# Builds only the player, the equalizer, the skins, the test media and the driver,
# starts the build tree's Wine session and runs the driver; its log is
# build/windows/bin/soak/soak.log (one line per action and per health probe).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-1800}
seed=${2:-}
shift $(( $# > 2 ? 2 : $# ))
build="${KESTRUN_BUILD_DIR:-$root/build/windows}"
KESTRUN_BUILD_DIR="$build" KESTRUN_TARGETS="soak_driver" bash "$root/scripts/build.sh" windows
bash "$root/scripts/wine-session.sh" start "$build"
args=(--seconds="$seconds")
[ -n "$seed" ] && args+=(--seed="$seed")
args+=("$@")
cd "$build/bin"
exec ../wine-run ./soak_driver.exe "${args[@]}"
