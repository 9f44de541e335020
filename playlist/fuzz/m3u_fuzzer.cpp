// Feeds arbitrary bytes to the playlist reader, then writes the rows back out and
// reads them again: the second read must give the same rows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "playlist/m3u_file.h"
#include "playlist/memory_row_store.h"

using namespace kestrun::playlist;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ParsedPlaylist parsed = ParsePlaylistText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!parsed.extended) return 0;
  MemoryRowStore rows;
  for (const PlaylistEntry& entry : parsed.entries) {
    // A name whose first " - " is not the one between artist and title (a title
    // holding " - ", or an artist cut to end in " -") cannot round-trip by design.
    const std::string name = entry.artist.empty() ? entry.title : entry.artist + " - " + entry.title;
    const std::size_t separator = name.find(" - ");
    if (entry.artist.empty() ? separator != std::string::npos : separator != entry.artist.size()) return 0;
    const int row = appendRow(rows, entry.path);
    rows.SetCell(row, Column::Title, entry.title);
    rows.SetCell(row, Column::Artist, entry.artist);
    rows.SetCell(row, Column::Length, entry.length);
  }
  const ParsedPlaylist again = ParsePlaylistText(BuildExtendedM3u(rows));
  if (rows.RowCount() > 0 && again.entries.size() != parsed.entries.size()) std::abort();
  for (std::size_t i = 0; i < again.entries.size(); ++i) {
    const PlaylistEntry& a = parsed.entries[i];
    const PlaylistEntry& b = again.entries[i];
    // A row without an info line has no length; written back it gets "000".
    const std::string wantLength = a.length.empty() ? "00:00" : a.length;
    if (a.path != b.path || a.artist != b.artist || a.title != b.title || wantLength != b.length) std::abort();
  }
  return 0;
}
