#!/usr/bin/env bash
# Builds the playlist benchmark optimised, without sanitizers, in its own tree and runs it.
#   playlist/bench/run.sh            (build tree: build/playlist-bench)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${KESTRUN_BUILD_DIR:-$root/build/playlist-bench}"
command -v cmake >/dev/null && command -v ninja >/dev/null || sudo apt-get install -y cmake ninja-build
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUN_ONLY="tags;playlist" \
  -DKESTRUN_BUILD_TESTS=OFF -DKESTRUN_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target playlist_bench
echo "== default allocator"
"$build/bin/playlist_bench"
# glibc hands large blocks back to the system after every round and faults them in
# again; with that switched off the figures show the code's own cost per row.
echo "== allocator keeping its memory (GLIBC_TUNABLES)"
GLIBC_TUNABLES=glibc.malloc.mmap_threshold=1073741824:glibc.malloc.trim_threshold=4294967295:glibc.malloc.top_pad=268435456 \
  "$build/bin/playlist_bench"
