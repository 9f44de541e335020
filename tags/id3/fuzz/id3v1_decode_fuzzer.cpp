// Decodes arbitrary 128-byte records and checks that encoding the decoded texts
// again and decoding that gives the same texts back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "tags/id3/id3v1.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kestrun::tags;
  if (size < kId3v1Size) return 0;
  const TagFields first = DecodeId3v1Record(data);
  (void)Id3v1GenreNumberText(data);
  unsigned char record[kId3v1Size];
  EncodeId3v1Record(first, record);
  const TagFields second = DecodeId3v1Record(record);
  // Blank-trimmed texts survive a round trip unchanged; texts that kept blanks
  // before zero padding lose them, so only compare those without trailing blanks.
  const auto same = [](const std::string& a, const std::string& b) {
    return (!a.empty() && a.back() == ' ') || a == b;
  };
  if (!same(first.title, second.title) || !same(first.artist, second.artist) || !same(first.album, second.album) ||
      !same(first.year, second.year) || !same(first.comment, second.comment) || first.genre != second.genre) {
    std::abort();
  }
  // The trimming step on the rest of the input as free text.
  if (size > kId3v1Size + 1) {
    std::string text(reinterpret_cast<const char*>(data + kId3v1Size), size - kId3v1Size);
    TrimTrailingBlanks(text.data(), static_cast<int>(text.size()) - 2);
  }
  return 0;
}
