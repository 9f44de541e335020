// A small command-line front end to the ID3 code, for the cross-checks against
// independent tag readers and writers. Texts are passed and printed as hex so
// any byte survives the trip through the shell.
//
//   id3_tool write <file> <title> <artist> <album> <year> <comment> <track> <genre>   (hex texts)
//   id3_tool read <file>      prints the seven fields as "name=hex" lines
//   id3_tool read-unicode <file>   the same with Unicode reading on, texts as UTF-8
//   id3_tool write-unicode <file> <seven hex texts>   a write with Unicode reading on
//   id3_tool frames <file>    prints every kept frame as "ID=hex-of-data" lines
//   id3_tool edit <file> plain|unicode [title]   what the editor does: the fields
//       read whole, then written with only the title changed (none without one)
#include <cstdio>
#include <cstring>
#include <string>

#include "tags/id3/id3v2.h"

namespace {

using kestrun::tags::Id3v2Tag;
using kestrun::tags::TagFields;

std::string FromHex(const char* hex) {
  std::string out;
  for (std::size_t i = 0; hex[i] != '\0' && hex[i + 1] != '\0'; i += 2) {
    unsigned value = 0;
    std::sscanf(hex + i, "%2x", &value);
    out.push_back(static_cast<char>(value));
  }
  return out;
}

std::string ToHex(const std::string& bytes) {
  std::string out;
  char buf[3];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02x", c);
    out += buf;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: id3_tool write|read|frames <file> ...\n");
    return 2;
  }
  const std::string command = argv[1];
  const std::string path = argv[2];
  const bool unicode = command == "read-unicode" || command == "write-unicode";
  const kestrun::tags::AnsiFromUtf16 toAnsi = unicode ? kestrun::tags::Utf8FromUtf16 : nullptr;
  if ((command == "write" || command == "write-unicode") && argc == 10) {
    TagFields f;
    f.title = FromHex(argv[3]);
    f.artist = FromHex(argv[4]);
    f.album = FromHex(argv[5]);
    f.year = FromHex(argv[6]);
    f.comment = FromHex(argv[7]);
    f.track = FromHex(argv[8]);
    f.genre = FromHex(argv[9]);
    return kestrun::tags::WriteId3v2Fields(path, f, toAnsi, unicode ? kestrun::tags::Utf16FromUtf8 : nullptr) ? 0 : 1;
  }
  if (command == "read" || command == "read-unicode") {
    TagFields f;
    if (!kestrun::tags::ReadId3v2Fields(path, f, toAnsi)) return 1;
    std::printf("title=%s\nartist=%s\nalbum=%s\nyear=%s\ncomment=%s\ntrack=%s\ngenre=%s\n", ToHex(f.title).c_str(),
                ToHex(f.artist).c_str(), ToHex(f.album).c_str(), ToHex(f.year).c_str(), ToHex(f.comment).c_str(),
                ToHex(f.track).c_str(), ToHex(f.genre).c_str());
    return 0;
  }
  if (command == "edit" && (argc == 4 || argc == 5)) {
    const bool wide = std::strcmp(argv[3], "unicode") == 0;
    TagFields f;
    if (!kestrun::tags::ReadId3v2Fields(path, f, wide ? kestrun::tags::Utf8FromUtf16 : nullptr, std::string::npos)) {
      return 1;
    }
    kestrun::tags::TagFieldSet changed;
    if (argc == 5) {
      f.title = FromHex(argv[4]);
      changed.title = true;
    }
    const auto result = kestrun::tags::WriteId3v2Changes(
        path, f, changed, wide ? kestrun::tags::Utf8FromUtf16 : nullptr, wide ? kestrun::tags::Utf16FromUtf8 : nullptr);
    return result == kestrun::tags::Id3v2WriteResult::Written ? 0 : 1;
  }
  if (command == "frames") {
    Id3v2Tag tag;
    if (tag.LoadTag(path) != 0) return 1;
    for (const auto& frame : tag.Frames()) {
      const std::string data(frame.data.begin(), frame.data.end());
      std::printf("%.4s=%s\n", frame.id.data(), ToHex(data).c_str());
    }
    return 0;
  }
  std::fprintf(stderr, "unknown command\n");
  return 2;
}
