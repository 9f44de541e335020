#include "app/instance_handoff_win.h"

namespace kestrun::app {
namespace {

// The window property that marks a player's main window, and the tag of a hand-off
// record ("KHO1"), so no other program's WM_COPYDATA is taken for a path.
constexpr wchar_t kHandoffProperty[] = L"KestrunHandoffWindow";
constexpr ULONG_PTR kHandoffTag = 0x314F484B;
// The longest path the system's wide calls take, in characters.
constexpr std::size_t kLongestPath = 32767;

}  // namespace

void AcceptHandoffs(HWND main, UINT broadcastMessage) {
  SetPropW(main, kHandoffProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(1)));
  // Refused only on systems without the message filter; nothing to do then.
  ChangeWindowMessageFilterEx(main, WM_COPYDATA, MSGFLT_ALLOW, nullptr);
  if (broadcastMessage != 0) ChangeWindowMessageFilterEx(main, broadcastMessage, MSGFLT_ALLOW, nullptr);
}

void StopAcceptingHandoffs(HWND main) { RemovePropW(main, kHandoffProperty); }

std::vector<HWND> FindHandoffWindows() {
  std::vector<HWND> found;
  EnumWindows(
      [](HWND window, LPARAM list) -> BOOL {
        if (GetPropW(window, kHandoffProperty) != nullptr)
          reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

int SendHandoff(const std::vector<HWND>& windows, std::wstring_view path) {
  if (path.empty() || path.size() > kLongestPath) return 0;
  std::wstring text(path);
  COPYDATASTRUCT data{};
  data.dwData = kHandoffTag;
  data.cbData = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  data.lpData = text.data();
  int taken = 0;
  for (HWND window : windows) {
    DWORD_PTR answer = 0;
    // Not SMTO_ABORTIFHUNG: a player building a graph looks hung and must still get it.
    if (SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL, kHandoffSendTimeoutMs,
                            &answer) != 0 &&
        answer == TRUE) {
      ++taken;
    }
  }
  return taken;
}

std::optional<std::wstring> HandoffPathFromCopyData(const COPYDATASTRUCT* data) {
  if (data == nullptr || data->dwData != kHandoffTag || data->lpData == nullptr) return std::nullopt;
  if (data->cbData == 0 || data->cbData % sizeof(wchar_t) != 0) return std::nullopt;
  std::size_t length = data->cbData / sizeof(wchar_t);
  if (length > kLongestPath + 1) return std::nullopt;
  std::wstring path(static_cast<const wchar_t*>(data->lpData), length);
  if (path.back() == L'\0') path.pop_back();
  if (path.empty() || path.find(L'\0') != std::wstring::npos) return std::nullopt;
  return path;
}

}  // namespace kestrun::app
