// How playlist-file failures reach the user. The player shows them in a message
// box owned by the main window and in the main window's title display; tests
// record them.
#pragma once

#include <string>

namespace kestrun::playlist {

class PlaylistFileErrors {
 public:
  virtual ~PlaylistFileErrors() = default;
  // A playlist could not be written: a message box with an OK button.
  virtual void ShowWriteError(const std::string& text, const std::string& caption) = 0;
  // A playlist could not be read: a line in the main window's title display.
  virtual void ShowReadError(const std::string& text) = 0;
};

}  // namespace kestrun::playlist
