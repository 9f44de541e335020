// The seven tag texts that the tag editor, the ID3 code, the Windows Media code
// and rename by tag hand to each other. Texts are bytes of the system's ANSI code
// page; readers cut each text to kTagTextMax bytes.
#pragma once

#include <cstddef>
#include <string>

namespace kestrun::tags {

inline constexpr std::size_t kTagTextMax = 128;

struct TagFields {
  std::string title;    // TIT2
  std::string artist;   // TPE1
  std::string album;    // TALB
  std::string year;     // TYER
  std::string comment;  // COMM
  std::string track;    // TRCK
  std::string genre;    // TCON
};

// One flag per field of TagFields, in its order: which fields a write sets.
struct TagFieldSet {
  bool title = false;
  bool artist = false;
  bool album = false;
  bool year = false;
  bool comment = false;
  bool track = false;
  bool genre = false;

  static TagFieldSet All() { return {true, true, true, true, true, true, true}; }
};

}  // namespace kestrun::tags
