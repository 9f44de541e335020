// Speed and memory of the ID3 code.
//
// 1. Title lookup over generated MP3 files: ReadId3v2TitleArtist with the ID3v1
//    record as fallback, against TagLib reading the same two fields of the same
//    files in the same run (TagLib is linked into this benchmark only).
// 2. Peak memory of giving a large file a grown tag (WriteId3v2Fields), measured
//    in a child process so nothing of the benchmark itself is counted.
//
//   id3_bench [--files N] [--rounds R] [--big-mb M] [--dir D]
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "tags/id3/id3v1.h"
#include "tags/id3/id3v2.h"
#include "tags/id3/tests/tag_builder.h"

extern char** environ;

namespace {

using namespace kestrun::tags::testing;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// Valid MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz: 417 bytes each) of noise.
std::string AudioFrames(std::mt19937& random, std::size_t frames) {
  std::string audio;
  audio.reserve(frames * 417);
  for (std::size_t f = 0; f < frames; ++f) {
    std::string frame(417, '\0');
    frame[0] = '\xFF';
    frame[1] = '\xFB';
    frame[2] = '\x90';
    frame[3] = '\x64';
    for (std::size_t i = 4; i < frame.size(); ++i) frame[i] = static_cast<char>(random() & 0x7F);
    audio += frame;
  }
  return audio;
}

std::string Id3v1(const std::string& title, const std::string& artist) {
  std::string r(128, ' ');
  r.replace(0, 3, "TAG");
  r.replace(3, std::min<std::size_t>(30, title.size()), title.substr(0, 30));
  r.replace(33, std::min<std::size_t>(30, artist.size()), artist.substr(0, 30));
  r[127] = 17;
  return r;
}

// Nine files in ten carry an ID3v2.3 tag (with a small picture in some); every
// file has an ID3v1 record, which the untagged ones are read from.
void MakeFiles(const fs::path& dir, int count) {
  std::mt19937 random(12345);
  fs::create_directories(dir);
  for (int i = 0; i < count; ++i) {
    const std::string title = "Title number " + std::to_string(i);
    const std::string artist = "Artist " + std::to_string(i % 97);
    std::string tag;
    if (i % 10 != 9) {
      std::string frames = Frame23("TIT2", Text(title)) + Frame23("TPE1", Text(artist)) +
                           Frame23("TALB", Text("Album " + std::to_string(i % 13))) +
                           Frame23("TRCK", Text(std::to_string(i % 20 + 1))) + Frame23("TCON", Text("(17)Rock")) +
                           Frame23("COMM", std::string("\0eng\0", 5) + "generated");
      if (i % 4 == 0) frames += Frame23("APIC", std::string("\0image/jpeg\0\x03\0", 14) + std::string(4096, 'p'));
      tag = Tag(frames, 1024);
    }
    std::ofstream out(dir / ("track" + std::to_string(i) + ".mp3"), std::ios::binary);
    out << tag << AudioFrames(random, 60) << Id3v1(title, artist);
  }
}

// The player's title lookup for an MP3 file.
bool OurTitleArtist(const std::string& path, std::string& title, std::string& artist) {
  if (kestrun::tags::ReadId3v2TitleArtist(path, title, artist)) return true;
  if (!kestrun::tags::ReadId3v1Tag(path)) return false;
  const kestrun::tags::TagFields f = kestrun::tags::DecodeId3v1Record(kestrun::tags::Id3v1Record);
  title = f.title;
  artist = f.artist;
  return true;
}

bool TagLibTitleArtist(const std::string& path, std::string& title, std::string& artist) {
  TagLib::FileRef file(path.c_str(), false);
  if (file.isNull() || file.tag() == nullptr) return false;
  title = file.tag()->title().to8Bit(false);
  artist = file.tag()->artist().to8Bit(false);
  return true;
}

template <typename Reader>
double TimeRound(const std::vector<std::string>& paths, Reader read, std::size_t& checksum) {
  const auto start = Clock::now();
  std::string title, artist;
  for (const auto& p : paths) {
    title.clear();
    artist.clear();
    if (read(p, title, artist)) checksum += title.size() + artist.size();
  }
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long PeakKbOfChild(const std::string& self, const std::string& path) {
  const std::string mode = "--grow-child";
  char* args[] = {const_cast<char*>(self.c_str()), const_cast<char*>(mode.c_str()), const_cast<char*>(path.c_str()),
                  nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, args, environ) != 0) return -1;
  int status = 0;
  struct rusage usage {};
  if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return usage.ru_maxrss;
}

int GrowChild(const std::string& path) {
  kestrun::tags::TagFields f;
  f.title = "A title long enough to outgrow the old tag";
  f.artist = "Artist";
  f.comment = std::string(3000, 'c');
  return kestrun::tags::WriteId3v2Fields(path, f) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--grow-child") == 0) return GrowChild(argv[2]);
  int files = 2000, rounds = 5;
  long bigMb = 200;
  fs::path dir = fs::temp_directory_path() / "kestrun-id3-bench";
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--files") == 0) files = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--big-mb") == 0) bigMb = std::atol(argv[i + 1]);
    if (std::strcmp(argv[i], "--dir") == 0) dir = argv[i + 1];
  }
  fs::remove_all(dir);
  MakeFiles(dir / "files", files);
  std::vector<std::string> paths;
  for (int i = 0; i < files; ++i) paths.push_back((dir / "files" / ("track" + std::to_string(i) + ".mp3")).string());

  // Both readers must agree on every file before their speed means anything.
  for (const auto& p : paths) {
    std::string t1, a1, t2, a2;
    const bool ours = OurTitleArtist(p, t1, a1);
    const bool theirs = TagLibTitleArtist(p, t2, a2);
    if (!ours || !theirs || t1 != t2 || a1 != a2) {
      std::fprintf(stderr, "readers disagree on %s: '%s'/'%s' vs '%s'/'%s'\n", p.c_str(), t1.c_str(), a1.c_str(),
                   t2.c_str(), a2.c_str());
      return 1;
    }
  }
  std::vector<double> ourTimes, tagLibTimes;
  std::size_t checksum = 0;
  for (int r = 0; r < rounds; ++r) {  // interleaved, so both see the same machine load
    ourTimes.push_back(TimeRound(paths, OurTitleArtist, checksum));
    tagLibTimes.push_back(TimeRound(paths, TagLibTitleArtist, checksum));
  }
  std::sort(ourTimes.begin(), ourTimes.end());
  std::sort(tagLibTimes.begin(), tagLibTimes.end());
  const double ours = ourTimes[ourTimes.size() / 2], theirs = tagLibTimes[tagLibTimes.size() / 2];
  std::printf("title+artist of %d files, median of %d rounds:\n", files, rounds);
  std::printf("  ours   %8.2f ms  (%.2f us/file, best %.2f ms)\n", ours, 1000.0 * ours / files, ourTimes.front());
  std::printf("  TagLib %8.2f ms  (%.2f us/file, best %.2f ms)\n", theirs, 1000.0 * theirs / files,
              tagLibTimes.front());
  std::printf("  TagLib / ours = %.2f  (checksum %zu)\n", theirs / ours, checksum);

  // A large file whose tag must grow.
  const fs::path big = dir / "big.mp3";
  {
    std::mt19937 random(1);
    std::ofstream out(big, std::ios::binary);
    const std::string tag = Tag(Frame23("TIT2", Text("Old")), 64 - 14);
    out << tag;
    const std::string chunk = AudioFrames(random, 2515);  // about 1 MB
    for (long written = 0; written < bigMb * 1024 * 1024; written += static_cast<long>(chunk.size())) out << chunk;
  }
  const auto bigSize = fs::file_size(big);
  const auto start = Clock::now();
  const long peakKb = PeakKbOfChild(argv[0], big.string());
  const double growMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  if (peakKb < 0) {
    std::fprintf(stderr, "growing the tag of the large file failed\n");
    return 1;
  }
  std::printf("grown tag on a %.1f MB file: %.0f ms, peak memory %.1f MB (limit 32 MB)\n",
              static_cast<double>(bigSize) / (1024 * 1024), growMs, peakKb / 1024.0);
  fs::remove_all(dir);
  return peakKb < 32 * 1024 ? 0 : 1;
}
