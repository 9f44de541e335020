#include "app/main_window.h"

#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>

#include <cstdlib>

#include "app/app_state.h"
#include "app/companion_windows.h"
#include "playback/effect_table.h"
#include "playback/media_session.h"
#include "playback/playback_control.h"
#include "playback/player_state.h"
#include "resources/resource_ids.h"

namespace kestrun::app {
namespace {

using playback::Player;

constexpr int kMainWidth = 300;
constexpr int kMainHeight = 80;
constexpr COLORREF kTitleColour = RGB(0, 128, 0);
constexpr int kMarqueeTimer = 5;
constexpr int kTooltipReshowMs = 600;

CompanionWindows g_companions;

struct ToolText {
  int id;
  const char* text;
};
// Tooltips of the main window's controls.
constexpr ToolText kToolTexts[] = {
    {IDC_PLAY_BUTTON, "再生"},        {IDC_PAUSE_BUTTON, "一時停止"},
    {IDC_STOP_BUTTON, "停止"},        {IDC_PREVIOUS_BUTTON, "前の曲"},
    {IDC_NEXT_BUTTON, "次の曲"},      {IDC_OPEN_BUTTON, "開く"},
    {IDC_PLAYLIST_BUTTON, "プレイリスト"}, {IDC_MINIMIZE_BUTTON, "最小化"},
    {IDC_EXIT_BUTTON, "終了"},        {IDC_VOLUME_KNOB, "ボリューム"},
    {IDC_SEEK_KNOB, "シーク"},
};

void FocusTitleDisplay() {
  if (Player().windows.titleDisplay != nullptr) SetFocus(Player().windows.titleDisplay);
}

void FocusIfAudio() {
  if (playback::Session().audioOnly == 1) FocusTitleDisplay();
}

void AddTool(HWND tooltip, HWND owner, HWND control, const char* text) {
  if (control == nullptr) return;
  TOOLINFOA info{};
  info.cbSize = sizeof(info);
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = owner;
  info.uId = reinterpret_cast<UINT_PTR>(control);
  info.lpszText = const_cast<char*>(text);
  SendMessageA(tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
  SendMessageA(tooltip, TTM_SETDELAYTIME, TTDT_RESHOW, kTooltipReshowMs);
}

void CreateTooltips(HWND main) {
  auto& windows = Player().windows;
  HWND tooltip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, main, nullptr, App().instance, nullptr);
  if (tooltip == nullptr) return;
  SetWindowPos(tooltip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  windows.tooltip = tooltip;
  char title[256] = {};
  GetWindowTextA(windows.titleDisplay, title, sizeof(title));
  AddTool(tooltip, main, windows.titleDisplay, title);
  for (const auto& tool : kToolTexts) AddTool(tooltip, main, GetDlgItem(main, tool.id), tool.text);
}

// Moves the first character of the title to its end (a double-byte character moves whole).
void MarqueeStep() {
  HWND display = Player().windows.titleDisplay;
  char text[256] = {};
  const int length = GetWindowTextA(display, text, sizeof(text));
  if (length < 2) return;
  const int first = IsDBCSLeadByte(static_cast<BYTE>(text[0])) && length >= 2 ? 2 : 1;
  char rotated[256] = {};
  memcpy(rotated, text + first, length - first);
  memcpy(rotated + length - first, text, first);
  SetWindowTextA(display, rotated);
}

void CloseSequence(HWND window) {
  ShowWindow(window, SW_HIDE);
  playback::StopAndClose();
  DestroyWindow(window);
}

void HandleCommand(HWND window, int id) {
  auto& player = Player();
  switch (id) {
    case IDM_EXIT:
    case IDC_EXIT_BUTTON:
      SendMessageA(window, WM_CLOSE, 0, 0);
      break;
    case IDC_MINIMIZE_BUTTON:
    case IDM_MINIMIZE:
      SendMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
      break;
    case IDM_PLAY_KEY:
    case IDC_PLAY_BUTTON:
    case IDM_PLAY:
      if (player.state != playback::kStateClosed) playback::StopAndClose();
      if (player.currentPath[0] != '\0') playback::OpenAndPlay(player.currentPath);
      FocusIfAudio();
      break;
    case IDC_STOP_BUTTON:
    case IDM_STOP:
      playback::StopAndClose();
      FocusTitleDisplay();
      break;
    default:
      break;
  }
}

void HandleHandoff(WPARAM wParam) {
  auto& player = Player();
  playback::StopAndClose();
  App().handoffAtom = static_cast<ATOM>(wParam & 0xFFFF);
  if (GlobalGetAtomNameA(App().handoffAtom, player.currentPath, playback::kPathCapacity) == 0) return;
  playback::OpenAndPlay(player.currentPath);
}

}  // namespace

void RunStartupSequence(HWND main) {
  auto& app = App();
  auto& player = Player();
  InitCommonControls();
  char module[playback::kPathCapacity] = {};
  GetModuleFileNameA(nullptr, module, sizeof(module));
  // The directory part, without the trailing backslash.
  char* lastSeparator = nullptr;
  for (char* p = module; *p != '\0'; ++p) {
    if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1] != '\0') {
      ++p;
      continue;
    }
    if (*p == '\\' || *p == '/') lastSeparator = p;
  }
  if (lastSeparator != nullptr) *lastSeparator = '\0';
  memcpy(player.appDirectory, module, sizeof(player.appDirectory));

  player.windows.main = main;
  SetWindowPos(main, nullptr, 0, 0, kMainWidth, kMainHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER);

  HWND title = GetDlgItem(main, IDC_TITLE_DISPLAY);
  player.windows.titleDisplay = title;
  player.windows.timeDisplay = GetDlgItem(main, IDC_TIME_DISPLAY);
  player.windows.seekKnob = GetDlgItem(main, IDC_SEEK_KNOB);
  player.windows.zoneMarker = GetDlgItem(main, IDC_ZONE_MARKER);
  if (title != nullptr) {
    CHARFORMATA format{};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_COLOR;
    format.crTextColor = kTitleColour;
    SendMessageA(title, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    SetWindowTextA(title, kMainWindowTitle);
  }
  if (player.windows.zoneMarker != nullptr) {
    SetWindowPos(player.windows.zoneMarker, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowWindow(player.windows.zoneMarker, SW_HIDE);
  }

  CoInitialize(nullptr);
  playback::CreateOrRegisterEqualizer();

  g_companions = CreateCompanionWindows(app.instance);
  player.windows.playlist = g_companions.playlist;
  player.windows.playlistList = g_companions.playlistList;
  player.windows.videoView = g_companions.videoView;
  player.windows.filterList = g_companions.filterList;
  app.equalizerWindow = g_companions.equalizer;
  app.tagEditorWindow = g_companions.tagEditor;

  srand(GetTickCount());

  const bool fileGiven = player.currentPath[0] != '\0';
  if (fileGiven) {
    playback::OpenAndPlay(player.currentPath);
    if (player.windows.videoView != nullptr) InvalidateRect(player.windows.videoView, nullptr, TRUE);
  } else if (app.commandLineRefused && title != nullptr) {
    SetWindowTextA(title, kPathTooLong);
  }

  CreateTooltips(main);
  if (player.windows.playlistList != nullptr) DragAcceptFiles(player.windows.playlistList, TRUE);
  DragAcceptFiles(main, TRUE);
  if (player.windows.videoView != nullptr) DragAcceptFiles(player.windows.videoView, TRUE);
  if (title != nullptr) SetFocus(title);
}

void RunShutdownSequence() {
  auto& app = App();
  auto& player = Player();
  playback::StopPositionTimer();
  playback::ReleaseEffects();
  playback::ReleaseEqualizer();
  CoUninitialize();
  DestroyCompanionWindows(g_companions);
  g_companions = CompanionWindows{};
  player.windows = playback::PlayerWindows{};
  app.equalizerWindow = nullptr;
  app.tagEditorWindow = nullptr;
  if (app.richEdit != nullptr) {
    FreeLibrary(app.richEdit);
    app.richEdit = nullptr;
  }
  PostQuitMessage(0);
}

INT_PTR CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto& player = Player();
  switch (message) {
    case WM_DESTROY:
      RunShutdownSequence();
      return 0;
    case WM_CLOSE:
      CloseSequence(window);
      return 1;
    case WM_INITDIALOG:
      RunStartupSequence(window);
      return 0;  // the focus was set to the title display
    case WM_COMMAND:
      HandleCommand(window, LOWORD(wParam));
      return 0;
    case WM_TIMER:
      if (wParam == kMarqueeTimer && player.marquee) MarqueeStep();
      return 0;
    case WM_LBUTTONDOWN:
      SendMessageA(window, WM_NCLBUTTONDOWN, HTCAPTION, 0);
      return 0;
    case playback::kGraphEventMessage:
      playback::HandleGraphEvents();
      return 0;
    default:
      break;
  }
  if (message == App().handoffMessage && message != 0) {
    HandleHandoff(wParam);
    return 0;
  }
  return 0;
}

}  // namespace kestrun::app
