#include "equalizer/filter/persist_number.h"

#include <cstdio>

namespace kestrun::equalizer {

namespace {
constexpr char kNumberFormat[] = "%011d ";
constexpr std::int64_t kLargestMagnitude = 2147483648LL;  // of -2147483648
}  // namespace

std::array<char16_t, kPersistedNumberUnits> FormatPersistedNumber(std::int32_t value) {
  // Any 32-bit value fits in eleven characters with its sign, so the text is always
  // exactly twelve units long.
  char text[kPersistedNumberUnits + 1] = {};
  std::snprintf(text, sizeof text, kNumberFormat, static_cast<int>(value));
  std::array<char16_t, kPersistedNumberUnits> units{};
  for (int i = 0; i < kPersistedNumberUnits; ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(text[i]));
  }
  return units;
}

PersistedNumberReader::Step PersistedNumberReader::Feed(char16_t unit) {
  if (++units_ > kMaxUnits) {
    return Step::Malformed;
  }
  switch (unit) {
    case u'\0':
    case u'\t':
    case u'\n':
    case u'\r':
    case u' ':
      return digits_ > 0 ? Step::Done : Step::Malformed;
    case u'-':
      if (units_ != 1) {
        return Step::Malformed;
      }
      negative_ = true;
      return Step::More;
    default:
      break;
  }
  if (unit < u'0' || unit > u'9') {
    return Step::Malformed;
  }
  magnitude_ = magnitude_ * 10 + (unit - u'0');
  ++digits_;
  if (magnitude_ > kLargestMagnitude || (!negative_ && magnitude_ == kLargestMagnitude)) {
    return Step::Malformed;
  }
  return Step::More;
}

}  // namespace kestrun::equalizer
