#!/usr/bin/env bash
# Builds the playlist window benchmark and the length-measurement benchmark in the
# Windows tree (Release) and runs them under Wine on the virtual display.
#   playlist/bench/run_window.sh [files] [length rows]
#     (default 10000 tagged MP3 files; 1000 rows of each kind for the lengths)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="${KESTRUN_BUILD_DIR:-$root/build/windows}"
files=${1:-10000}
lengthRows=${2:-1000}
bash "$root/scripts/build.sh" windows -DKESTRUN_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$build" --target playlist_window_bench media_length_bench app_test_media startup_bench
bash "$root/scripts/wine-session.sh" start "$build"
cd "$build/bin"
echo "== load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== playlist rows on a shown window"
../wine-run ./playlist_window_bench.exe --rows 10000 100000 2>/dev/null
echo "== start-up of the player from outside"
../wine-run ./startup_bench.exe 5 2>/dev/null
echo "== load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== playlist window, $files files; lengths of $lengthRows rows"
../wine-run ./playlist_window_bench.exe "$files" "$lengthRows" 2>/dev/null
echo "== load average: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "== lengths of FLAC and AAC (.m4a) rows from their stream headers, against the graph"
if command -v ffmpeg >/dev/null; then
  ffmpeg -loglevel error -y -f lavfi -i sine=f=440:d=200 -metadata title=Tone testmedia/long.flac
  ffmpeg -loglevel error -y -f lavfi -i sine=f=440:d=200 -c:a aac -metadata title=Tone testmedia/long.m4a
  ../wine-run ./playlist_window_bench.exe --lengths "$lengthRows" testmedia/long.flac testmedia/long.m4a 2>/dev/null
fi
echo "== length measurement on one thread, a graph per row"
for media in tone.wav tone.mp3; do
  ../wine-run ./media_length_bench.exe "testmedia\\$media" 40 2>/dev/null || true
done
