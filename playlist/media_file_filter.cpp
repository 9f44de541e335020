#include "playlist/media_file_filter.h"

namespace kestrun::playlist {
namespace {

struct FilterPair {
  const char* display;
  const char* pattern;
};

// Display texts and patterns exactly as the dialogs show them, in order.
constexpr FilterPair kMediaFilters[] = {
    {"All Media Files ",
     "*.wav; *.mpa; *.mp2; *.mp3; *.wma; *.mid; *.midi; *.rmi; *.au; *.aif; *.aiff; *.snd; *.cda; *.avi; *.qt; "
     "*.mov; *.mpg; *.mpeg; *.m1v; *.asf; *.wmv; *.asx; *.jpg; *.bmp; *.gif; *.tga; "
     "*.flac; *.m4a; *.m4b; *.mp4; *.aac; *.opus; *.ogg; *.oga"},
    {"Audio Files (*.wav; *.mpa; *.mp2; *.mp3; *.wma; *.mid, *.midi, *.rmi;*.au; *.aif; *.aiff; *.snd; *.cda; "
     "*.flac; *.m4a; *.m4b; *.aac; *.opus; *.ogg; *.oga)",
     "*.wav; *.mpa; *.mp2; *.mp3; *.wma; *.mid, *.midi, *.rmi; *.au; *.aif; *.aiff; *.snd; *.cda; "
     "*.flac; *.m4a; *.m4b; *.aac; *.opus; *.ogg; *.oga"},
    {"Video Files (*.avi; *.qt; *.mov; *.mpg; *.mpeg; *.m1v; *.asf; *.wmv; *.mp4)",
     "*.avi; *.qt; *.mov; *.mpg; *.mpeg; *.m1v; *.asf; *.wmv; *.mp4"},
    {"WMT Files (*.wma; *.asf; *.wmv)", "*.wma;*.asf; *.wmv"},
    {"MIDI Files (*.mid, *.midi, *.rmi)", "*.mid; *.midi; *.rmi"},
    {"CD-DA Files (*.cda)", "*.cda"},
    {"Image Files (*.jpg, *.bmp, *.gif, *.tga)", "*.jpg; *.bmp; *.gif; *.tga"},
    {"All Files (*.*)", "*.*;"},
};

std::string BuildFilter() {
  std::string filter;
  for (const auto& pair : kMediaFilters) {
    filter += pair.display;
    filter += '\0';
    filter += pair.pattern;
    filter += '\0';
  }
  filter += '\0';
  return filter;
}

}  // namespace

const std::string& MediaFileFilter() {
  static const std::string filter = BuildFilter();
  return filter;
}

}  // namespace kestrun::playlist
