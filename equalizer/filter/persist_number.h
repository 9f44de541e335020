// The equalizer's saved state is a run of numbers, each as the twelve UTF-16 code
// units that "%011d " produces: zero-padded to eleven characters, then a blank.
// Portable, so the text rules are tested natively too.
#pragma once

#include <array>
#include <cstdint>

namespace kestrun::equalizer {

inline constexpr int kPersistedNumberUnits = 12;
inline constexpr int kPersistedNumberBytes = kPersistedNumberUnits * 2;

std::array<char16_t, kPersistedNumberUnits> FormatPersistedNumber(std::int32_t value);

// Reads one number a code unit at a time: an optional "-", then decimal digits,
// ended by NUL, tab, line feed, carriage return or blank. Anything else, no digit
// at all, a value outside 32 bits or an endless run of digits is malformed.
class PersistedNumberReader {
 public:
  enum class Step { More, Done, Malformed };

  Step Feed(char16_t unit);
  std::int32_t value() const { return static_cast<std::int32_t>(negative_ ? -magnitude_ : magnitude_); }

 private:
  // Longer than any number this format writes, with room for extra leading zeros.
  static constexpr int kMaxUnits = 64;

  int units_ = 0;
  int digits_ = 0;
  bool negative_ = false;
  std::int64_t magnitude_ = 0;
};

}  // namespace kestrun::equalizer
