// Portable pieces of the shell: the application directory from the module path, and
// the title marquee's step.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrun::app {

// The directory of the program file, without the trailing backslash, from what
// GetModuleFileNameA wrote (`written` bytes into a buffer of `capacity`). Nothing when
// the call failed or filled the buffer (the path was cut): a cut directory would name
// another place, where Equalizer.ax, the skins and the playlist are not.
std::optional<std::string> ApplicationDirectoryFromModulePath(std::string_view buffer, std::size_t written,
                                                              std::size_t capacity);

// One step of the title marquee: the first character moves to the end; a
// double-byte character (code page of the system) moves whole.
std::string RotateMarqueeText(std::string_view text);

}  // namespace kestrun::app
