// Feeds arbitrary bytes to the header parser. A header that parses must answer
// its attributes, take a new value and write itself back into bytes that parse
// again with the same answers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "tags/wm/asf_header.h"

using kestrun::tags::AsfHeader;
using kestrun::tags::WmAttrType;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint64_t declared = 0;
  kestrun::tags::ReadAsfHeaderSize({data, size}, declared);
  AsfHeader header;
  if (!header.Parse({data, size})) return 0;
  const char16_t* names[] = {u"Title",    u"Author",     u"Description", u"WM/AlbumTitle",
                             u"WM/Genre", u"WM/GenreID", u"WM/Year",     u"WM/Track"};
  WmAttrType type{};
  std::string value;
  for (const char16_t* name : names) header.Get(name, type, value);

  const std::string title("T\0i\0\0\0", 6);
  header.Set(u"Title", WmAttrType::String, title);
  header.Set(u"WM/Track", WmAttrType::Dword, std::string("\x02\0\0\0", 4));
  const std::string written = header.Serialize();
  AsfHeader reread;
  if (!reread.Parse({reinterpret_cast<const std::uint8_t*>(written.data()), written.size()})) std::abort();
  if (reread.Get(u"Title", type, value) != kestrun::tags::kWmOk || value != title) std::abort();
  if (reread.Serialize() != written) std::abort();
  return 0;
}
