#!/usr/bin/env bash
# Equalizer speed: our processing per code path, then whole processes over the same
# 10-minute WAV: SoX's equalizer chained 15 times, ffmpeg's equalizer chain (one
# filter thread) and our eq_run, all with the same centres, Q = 3 and gains
# (+6.25/-6.25 dB alternating, band 1 up). Prints CPU seconds and ratios.
#
#   equalizer/dsp/bench/run_benchmark.sh [minutes]
#
# Builds its own release tree (build/eq-bench, or $KESTRUN_BENCH_DIR) and installs
# sox and ffmpeg from Debian when they are missing.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
minutes=${1:-10}
build=${KESTRUN_BENCH_DIR:-$root/build/eq-bench}

missing=()
command -v sox >/dev/null || missing+=(sox)
command -v ffmpeg >/dev/null || missing+=(ffmpeg)
if ((${#missing[@]})); then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo=sudo
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DKESTRUN_ONLY=equalizer/dsp -DKESTRUN_BUILD_TESTS=OFF -DKESTRUN_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target eq_bench eq_run >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
wav=$work/input.wav

echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//'), $(nproc) cores," \
  "flags:$(grep -m1 '^flags' /proc/cpuinfo | grep -o -w -E 'avx2|avx512f|fma' | tr '\n' ' ')"
echo "== processing alone (EqualizeSample, CPU time of the pass) =="
"$build/bin/eq_bench" --minutes "$minutes" --write-wav "$wav"

centres=(24.8 39.4 62.5 99.2 157.5 250.0 396.9 630.0 1000.0 1587.4 2519.8 4000.0 6349.6 10079.3 15999.9)
sox_effects=()
ffmpeg_chain=""
for i in "${!centres[@]}"; do
  gain=6.25
  ((i % 2 == 0)) || gain=-6.25
  sox_effects+=(equalizer "${centres[$i]}" 3q "$gain")
  ffmpeg_chain+="${ffmpeg_chain:+,}equalizer=f=${centres[$i]}:t=q:w=3:g=$gain"
done

# User plus system CPU seconds of a whole process (output discarded to /dev/null
# for every tool alike).
cpu_seconds() {
  local TIMEFORMAT='%U %S'
  { time "$@" >/dev/null 2>&1; } 2>&1 | awk '{ printf "%.3f", $1 + $2 }'
}

echo "== whole processes over the same ${minutes}-minute WAV (CPU seconds, user + system) =="
audio=$(awk -v m="$minutes" 'BEGIN { print m * 60 }')
ours=$(cpu_seconds "$build/bin/eq_run" "$wav" /dev/null)
sox=$(cpu_seconds sox -D "$wav" -t wav /dev/null "${sox_effects[@]}")
ffmpeg=$(cpu_seconds ffmpeg -nostdin -v error -filter_threads 1 -threads 1 -i "$wav" \
  -af "$ffmpeg_chain" -f wav -y /dev/null)
awk -v a="$audio" -v o="$ours" -v s="$sox" -v f="$ffmpeg" 'BEGIN {
  printf "eq_run  %7.3f s  %6.0fx real time\n", o, a / o
  printf "sox     %7.3f s  %6.0fx real time  (%.1f times our CPU)\n", s, a / s, s / o
  printf "ffmpeg  %7.3f s  %6.0fx real time  (%.1f times our CPU)\n", f, a / f, f / o
}'
