// The rename pattern dialog (IDD_RENAMEMP3): the user's own form for rename by tag,
// with a sample name that follows every key typed.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace kestrun::tags {

// The longest pattern kept ("UserDefine").
inline constexpr int kRenamePatternMax = 255;

// Shows the dialog modally over owner with pattern in the edit. The new pattern
// when the user chose "設定"; nothing for "ｷｬﾝｾﾙ" or the close box.
std::optional<std::string> ShowRenamePatternDialog(HINSTANCE instance, HWND owner, const std::string& pattern);

// The same, storing a chosen pattern into `pattern` (the "UserDefine" setting kept
// in memory). True when it changed hands.
bool EditRenamePattern(HINSTANCE instance, HWND owner, std::string& pattern);

}  // namespace kestrun::tags
