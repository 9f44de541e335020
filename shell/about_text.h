// The texts of the about box.
#pragma once

#include <cstdint>
#include <string>

namespace kestrun::shell {

// The project's home page, opened by the about box's "HomePage" button.
inline constexpr char kHomePage[] = "https://kestrun.quenfoldsoft.example/";
inline constexpr char kAboutVersionPrefix[] = "Quenfold' Ambrel version ";

// The version line from the version resource's file version (two 32-bit halves of
// four 16-bit parts): "major.minor.patch", with ".build" only when build is not 0.
std::string AboutVersionLine(std::uint32_t versionHigh, std::uint32_t versionLow);

}  // namespace kestrun::shell
