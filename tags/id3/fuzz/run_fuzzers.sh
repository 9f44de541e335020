#!/usr/bin/env bash
# Runs the ID3 fuzz targets for a given time each and prints how many inputs
# each one executed.
#   tags/id3/fuzz/run_fuzzers.sh [seconds per target, default 60] [build dir]
# The build dir is a native clang build with fuzzers (scripts/build.sh native);
# it is configured and built here when missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
seconds=${1:-60}
build=${2:-$root/build/id3-native}
if [ ! -x "$build/bin/id3v2_load_fuzzer" ]; then
  KESTRUN_BUILD_DIR="$build" bash "$root/scripts/build.sh" native -DKESTRUN_ONLY="tags/id3"
fi
for target in id3v2_load_fuzzer id3v1_decode_fuzzer; do
  corpus="$build/fuzz-run/$target/corpus"
  artifacts="$build/fuzz-run/$target/artifacts"
  mkdir -p "$corpus" "$artifacts"
  seeds="$root/tags/id3/fuzz/corpus/${target%%_*}"
  cp -n "$seeds"/* "$corpus"/ 2>/dev/null || true
  echo "== $target: ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1 "$build/bin/$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus" 2>&1 |
    grep -E "^(Done|stat::number_of_executed_units|==[0-9]+==ERROR|SUMMARY)" || true
  if ls "$artifacts"/crash-* "$artifacts"/leak-* "$artifacts"/timeout-* >/dev/null 2>&1; then
    echo "findings in $artifacts" >&2
    exit 1
  fi
done
