// Feeds arbitrary bytes to the ID3v2 loader as the start of a file, then
// exercises everything a caller does with a loaded tag: the texts, the genre,
// and serialising it for a write. Every input is read twice: as the plain
// reader sees it and with Unicode reading on (ID3v2.4 tags, UTF-16 and UTF-8
// texts), with both stand-in code pages.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

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
  tag.SetComment(tag.GetTitle());
  tag.SetGenre(tag.GetGenre());
  const std::vector<std::uint8_t> written = tag.SerializeFrames();
  // An ID3v2.3 body as written reads back with every frame it holds (a frame
  // of fewer than 2 bytes is left out by the writer).
  if (tag.Version() != 0x0300 || !tag.Unconvertible().empty() || written.size() > 0x0FFFFFFF) return;
  std::size_t kept = 0;
  for (const auto& frame : tag.Frames()) {
    if (frame.DataSize() >= 2 && frame.Id() != std::string_view("\0\0\0\0", 4)) ++kept;
  }
  std::vector<std::uint8_t> again = {'I', 'D', '3', 3, 0, 0};
  const auto n = static_cast<std::uint32_t>(written.size());
  for (int shift : {21, 14, 7, 0}) again.push_back(static_cast<std::uint8_t>((n >> shift) & 0x7F));
  again.insert(again.end(), written.begin(), written.end());
  Id3v2Tag reread;
  if (reread.ParseTag(again.data(), again.size()) != 0 || reread.Frames().size() != kept) std::abort();
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
