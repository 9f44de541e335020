// Texts that several parts of the player show, written once here. Users and tests
// rely on them exactly. They are spelled as bytes of code page 932 (the player's
// ANSI code page), so they read the same whatever character set a file using them
// is compiled with.
#pragma once

namespace kestrun::platform {

// "エラー": the caption of the player's error boxes.
inline constexpr char kErrorCaption[] = "\x83G\x83\x89\x81[";

}  // namespace kestrun::platform
