// Sizes the whole player shares, each defined once.
#pragma once

#include <cstddef>

namespace kestrun::platform {

// A path or URL is at most 259 bytes of ANSI text; buffers that hold one have room
// for the terminator as well.
inline constexpr std::size_t kPathCapacity = 260;
inline constexpr std::size_t kPathMaxLength = kPathCapacity - 1;
// The characters a file dialog may write one chosen path into: the longest path the
// system's wide calls take, so a pick longer than the player's paths still comes back
// and is refused with its message.
inline constexpr std::size_t kDialogPathCapacity = 32768;

// The main window's face in pixels: the skin bitmap's left part, the window's
// client area, and the height the video view keeps below the main window's top.
inline constexpr int kFaceWidth = 300;
inline constexpr int kFaceHeight = 80;

}  // namespace kestrun::platform
