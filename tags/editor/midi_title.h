// Title and artist of a Standard MIDI File, taken from the meta events near its
// start: type 0x03 (sequence or track name) gives the title, type 0x02 the artist.
//
// Only the first kMidiScanSize bytes are looked at; a file shorter than that gives
// nothing. The bytes come from files a user downloads, so every read is checked
// against the scanned window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrun::tags {

inline constexpr std::size_t kMidiScanSize = 1000;
inline constexpr std::uint8_t kMidiMetaEvent = 0xFF;
inline constexpr std::uint8_t kMidiNameEvent = 0x03;
inline constexpr std::uint8_t kMidiArtistEvent = 0x02;

// Scans bytes[0..size) (callers pass the kMidiScanSize bytes read) for the first
// 0xFF <type> of each kind. The byte after the type is the text's length; the text
// is taken only when it starts inside the window and a zero byte follows
// somewhere between its start and the window's end. At most the length's bytes are
// copied, never past the window, and the text ends at a zero byte inside them.
// Either text stays empty when its event is missing or not taken.
void ScanMidiMetaTexts(const std::uint8_t* bytes, std::size_t size, std::string& title, std::string& artist);

// Reads exactly the first kMidiScanSize bytes of the file and scans them. False
// (both texts empty) when the file cannot be opened or is shorter.
bool ReadMidiTitleArtist(const std::string& path, std::string& title, std::string& artist);

}  // namespace kestrun::tags
