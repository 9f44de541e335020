// The file-type list of the dialogs that choose media files (adding files to the
// playlist, opening a file in the main window): pairs of display text and pattern,
// in the form the common dialogs take (each text ended by a zero byte, the list by
// another).
#pragma once

#include <string>

namespace kestrun::playlist {

const std::string& MediaFileFilter();

}  // namespace kestrun::playlist
