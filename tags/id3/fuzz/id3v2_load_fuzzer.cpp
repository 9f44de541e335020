// Feeds arbitrary bytes to the ID3v2 loader as the start of a file, then
// exercises everything a caller does with a loaded tag: the texts, the genre,
// and serialising it for a write. Every input is read twice: as the plain
// reader sees it and with Unicode reading on (ID3v2.4 tags, UTF-16 and UTF-8
// texts), with both stand-in code pages.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "tags/id3/id3v2.h"

namespace {

void Exercise(const std::uint8_t* data, std::size_t size, kestrun::tags::AnsiFromUtf16 toAnsi) {
  using kestrun::tags::Id3v2Tag;
  Id3v2Tag tag;
  tag.SetUnicodeReading(toAnsi);
  if (tag.ParseTag(data, size) != 0) return;
  // Only Unicode reading takes an ID3v2.4 tag.
  if (toAnsi == nullptr && tag.Version() == 0x0400) std::abort();
  for (const auto& frame : tag.Frames()) {
    (void)tag.GetText(frame.Id());
  }
  (void)tag.GetGenre();
  const std::vector<std::uint8_t> body = tag.SerializeFrames();
  const std::vector<std::uint8_t> sent = kestrun::tags::Unsynchronise(body);
  // What the writer sends must read back as what it serialised.
  if (kestrun::tags::Resynchronise(sent.data(), sent.size()) != body) std::abort();
  tag.SetTitle(tag.GetArtist());
  tag.SetGenre(tag.GetGenre());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Exercise(data, size, nullptr);
  Exercise(data, size, kestrun::tags::AsciiOrDefaultChar);
  Exercise(data, size, kestrun::tags::Utf8FromUtf16);
  // The decoders on their own, over the whole input.
  (void)kestrun::tags::Utf8FromUtf16(kestrun::tags::DecodeUtf8(data, size));
  (void)kestrun::tags::AsciiOrDefaultChar(kestrun::tags::DecodeUtf16(data, size, size % 2 == 0));
  return 0;
}
