// Feeds arbitrary bytes to the ID3v2 loader as the start of a file, then
// exercises everything a caller does with a loaded tag: the texts, the genre,
// and serialising it for a write.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "tags/id3/id3v2.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using kestrun::tags::Id3v2Tag;
  Id3v2Tag tag;
  if (tag.ParseTag(data, size) != 0) return 0;
  for (const auto& [key, frame] : tag.Frames()) {
    (void)tag.GetText(frame.Id());
  }
  (void)tag.GetGenre();
  const std::vector<std::uint8_t> body = tag.SerializeFrames();
  const std::vector<std::uint8_t> sent = kestrun::tags::Unsynchronise(body);
  // What the writer sends must read back as what it serialised.
  if (kestrun::tags::Resynchronise(sent.data(), sent.size()) != body) std::abort();
  tag.SetTitle(tag.GetArtist());
  tag.SetGenre(tag.GetGenre());
  return 0;
}
