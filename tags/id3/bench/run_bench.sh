#!/usr/bin/env bash
# Builds and runs the ID3 benchmark in its own optimised build (no sanitizers).
# TagLib is used only here, as the yardstick; it is installed when missing.
#   tags/id3/bench/run_bench.sh [id3_bench arguments]
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=${KESTRUN_BENCH_DIR:-$root/build/id3-bench}
if ! dpkg-query -W -f='${Status}' libtag1-dev 2>/dev/null | grep -q 'ok installed'; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get install -y -qq --no-install-recommends libtag1-dev pkg-config >/dev/null
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DKESTRUN_BUILD_TESTS=OFF -DKESTRUN_BUILD_BENCHMARKS=ON -DKESTRUN_ONLY="tags/id3" >/dev/null
cmake --build "$build" --target id3_bench
"$build/bin/id3_bench" "$@"
