#include "platform/shell_path_win.h"

#include <climits>
#include <vector>

namespace kestrun::platform {
namespace {

// The conversion alone, without the length check; false when a character has no code.
bool ToCodePage(std::wstring_view wide, UINT codePage, std::string& out) {
  out.clear();
  if (wide.empty()) return true;
  if (wide.size() > static_cast<std::size_t>(INT_MAX / 4)) return false;
  const int wideLength = static_cast<int>(wide.size());
  // UTF-7 and UTF-8 take neither flag nor the default-character report.
  const bool utf = codePage == CP_UTF8 || codePage == CP_UTF7;
  const DWORD flags = utf ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultOut = utf ? nullptr : &usedDefault;
  const int bytes = WideCharToMultiByte(codePage, flags, wide.data(), wideLength, nullptr, 0, nullptr, usedDefaultOut);
  if (bytes <= 0 || usedDefault) return false;
  out.resize(static_cast<std::size_t>(bytes));
  if (WideCharToMultiByte(codePage, flags, wide.data(), wideLength, out.data(), bytes, nullptr, usedDefaultOut) !=
          bytes ||
      usedDefault) {
    out.clear();
    return false;
  }
  // Back to wide: anything that does not come back the same is another path.
  const int back = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, out.data(), bytes, nullptr, 0);
  if (back != wideLength) {
    out.clear();
    return false;
  }
  std::wstring again(static_cast<std::size_t>(back), L'\0');
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, out.data(), bytes, again.data(), back);
  if (again != wide) {
    out.clear();
    return false;
  }
  return true;
}

}  // namespace

const char* RefusalMessage(PathRefusal refusal) {
  switch (refusal) {
    case PathRefusal::TooLong:
      return kPathTooLong;
    case PathRefusal::Unrepresentable:
      return kPathUnrepresentable;
    case PathRefusal::None:
      break;
  }
  return nullptr;
}

ShellPath ConvertWideText(std::wstring_view wide, UINT codePage, std::size_t maxLength) {
  ShellPath result;
  std::string converted;
  if (!ToCodePage(wide, codePage, converted)) {
    result.refusal = PathRefusal::Unrepresentable;
  } else if (converted.size() > maxLength) {
    result.refusal = PathRefusal::TooLong;
  } else {
    result.path = std::move(converted);
  }
  return result;
}

ShellPath AnsiPathFromWide(std::wstring_view wide, std::size_t maxLength) {
  ShellPath direct = ConvertWideText(wide, CP_ACP, maxLength);
  if (!direct.refused()) return direct;
  // The short form names the same file when the volume keeps one.
  const std::wstring longPath(wide);
  const DWORD needed = GetShortPathNameW(longPath.c_str(), nullptr, 0);
  if (needed == 0 || needed > 32768) return direct;
  std::vector<wchar_t> shortPath(needed + 1, L'\0');
  const DWORD written = GetShortPathNameW(longPath.c_str(), shortPath.data(), needed + 1);
  if (written == 0 || written > needed) return direct;
  const std::wstring_view shortForm(shortPath.data(), written);
  if (shortForm == wide) return direct;
  ShellPath viaShort = ConvertWideText(shortForm, CP_ACP, maxLength);
  return viaShort.refused() ? direct : viaShort;
}

std::wstring ModuleFileNameWide(HMODULE module) {
  // The call cuts the path to the buffer without an error on some systems, so the
  // buffer grows until the path and its terminator fit with room to spare.
  std::wstring buffer(kPathCapacity, L'\0');
  while (buffer.size() <= 32768 * 2) {
    const DWORD written = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (written == 0) return {};
    if (written < buffer.size() - 1) {
      buffer.resize(written);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
  return {};
}

ShellPath ModuleAnsiPath(HMODULE module) {
  const std::wstring wide = ModuleFileNameWide(module);
  if (wide.empty()) return ShellPath{std::string(), PathRefusal::Unrepresentable};
  return AnsiPathFromWide(wide, kPathMaxLength);
}

std::wstring WideFromAnsi(std::string_view ansi) {
  if (ansi.empty() || ansi.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int length = static_cast<int>(ansi.size());
  const int wideLength = MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, nullptr, 0);
  if (wideLength <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), length, wide.data(), wideLength);
  return wide;
}

std::string ChosenAnsiPath(HWND owner, std::wstring_view chosen, const char* caption) {
  ShellPath ansi = AnsiPathFromWide(chosen);
  if (!ansi.refused()) return std::move(ansi.path);
  MessageBoxA(owner, RefusalMessage(ansi.refusal), caption, MB_OK | MB_ICONEXCLAMATION);
  return std::string();
}

}  // namespace kestrun::platform
