// How many files a second the playlist's length measurement handles: a whole
// filter graph is built and discarded per file.
//   media_length_bench.exe file [count]     (default count 50)
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <algorithm>
#include <cstdlib>

#include "playback/media_length_win.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: media_length_bench file [count]\n");
    return 2;
  }
  const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
  int measured = 0;
  std::int64_t duration = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) {
    if (const auto length = kestrun::playback::MeasureMediaDuration(argv[1])) {
      ++measured;
      duration = *length;
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%s: %d of %d measured (%.2f s each), %.1f rows per second\n", argv[1], measured, count,
              static_cast<double>(duration) / 1e7, count / seconds);
  return measured == count ? 0 : 1;
}
