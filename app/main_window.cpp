#include "app/main_window.h"

#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>

#include <cstdlib>
#include <initializer_list>
#include <string>

#include "app/app_state.h"
#include "app/companion_windows.h"
#include "app/title_display.h"
#include "app/tray_icon.h"
#include "playback/effect_table.h"
#include "playback/media_session.h"
#include "playback/playback_control.h"
#include "playback/player_state.h"
#include "playlist/m3u_file.h"
#include "playlist/playlist_file_errors_win.h"
#include "resources/menu_ids.h"
#include "settings/player_settings_win.h"

namespace kestrun::app {
namespace {

using playback::Player;

constexpr int kMainWidth = 300;
constexpr int kMainHeight = 80;
constexpr COLORREF kTitleColour = RGB(0, 128, 0);
constexpr int kMarqueeTimer = 5;
constexpr int kTooltipReshowMs = 600;

CompanionWindows g_companions;
HMENU g_mainMenu = nullptr;  // IDR_MENU; its sub-menu 0 is the main pop-up
HMENU g_iconMenu = nullptr;  // IDR_ICON; its sub-menu 0 is the tray pop-up

settings::SettingsTargets Targets() {
  auto& windows = Player().windows;
  settings::SettingsTargets targets;
  targets.main = windows.main;
  targets.titleDisplay = windows.titleDisplay;
  targets.volumeKnob = windows.main != nullptr ? GetDlgItem(windows.main, IDC_VOLUME_KNOB) : nullptr;
  targets.videoView = windows.videoView;
  targets.playlistList = windows.playlistList;
  targets.equalizerDialog = App().equalizerWindow;
  targets.mainPopup = windows.mainPopup;
  targets.trayPopup = windows.trayPopup;
  targets.playlistPopup = g_companions.playlistPopup;
  targets.rows = g_companions.rows.get();
  return targets;
}

void CheckMain(int id, bool checked) { playback::CheckCommand(id, checked, false); }

// Moves the playlist so its top-left corner is the main window's bottom-left corner.
void DockPlaylist() {
  auto& windows = Player().windows;
  if (windows.playlist == nullptr) return;
  RECT main{};
  GetWindowRect(windows.main, &main);
  SetWindowPos(windows.playlist, nullptr, main.left, main.bottom, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateWindow(windows.playlist);
}

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
  if (g_companions.rows) {
    playlist::WindowPlaylistFileErrors errors(window);
    playlist::saveExtendedM3u(*g_companions.rows, std::string(Player().appDirectory) + kDefaultPlaylistName,
                              errors);
  }
  settings::SaveSettings(Targets());
  if (Player().trayInUse) RemoveTrayIcon(window);
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
    case IDM_RESTORE:
      ShowWindow(window, SW_SHOW);
      UpdateWindow(window);
      break;
    case IDM_PLAY_KEY:
    case IDC_PLAY_BUTTON:
    case IDM_PLAY:
      playback::PlayCommand();
      FocusIfAudio();
      break;
    case IDC_PAUSE_BUTTON:
    case IDM_PAUSE:
      playback::TogglePause();
      FocusTitleDisplay();
      break;
    case IDC_STOP_BUTTON:
    case IDM_STOP:
      playback::StopAndClose();
      FocusTitleDisplay();
      break;
    case IDC_NEXT_BUTTON:
    case IDM_NEXT:
      playback::NextCommand();
      FocusIfAudio();
      break;
    case IDC_PREVIOUS_BUTTON:
    case IDM_PREVIOUS:
      playback::PlayPrevious();
      FocusIfAudio();
      break;
    case IDC_PLAYLIST_BUTTON:
    case IDM_PLAYLIST_KEY:
    case IDM_PLAYLIST:
      if (IsWindowVisible(player.windows.playlist)) {
        ShowWindow(player.windows.playlist, SW_HIDE);
        FocusTitleDisplay();
      } else if (player.windows.playlist != nullptr) {
        DockPlaylist();
        FocusTitleDisplay();
        ShowWindow(player.windows.playlist, SW_SHOW);
        UpdateWindow(player.windows.playlist);
      }
      break;
    case IDM_SHUFFLE:
    case IDM_REPEAT_ALL:
    case IDM_REPEAT_ONE:
      playback::PlayModeCommand(id);
      break;
    case IDM_FAST_SEEK:
      playback::FastSeekCommand();
      break;
    case IDM_RATE_2_0:
    case IDM_RATE_1_25:
    case IDM_RATE_1_0:
    case IDM_RATE_0_5:
      playback::RateCommand(id);
      break;
    case IDM_TOPMOST: {
      auto& shell = settings::Shell();
      shell.topmost = !shell.topmost;
      SetWindowPos(window, shell.topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      CheckMain(IDM_TOPMOST, shell.topmost);
      break;
    }
    case IDM_USE_TRAY:
      if (!player.trayInUse) {
        player.trayInUse = true;
        CheckMain(IDM_USE_TRAY, true);
        AddTrayIcon(window);
      } else {
        player.trayInUse = false;
        CheckMain(IDM_USE_TRAY, false);
        SetForegroundWindow(window);
        RemoveTrayIcon(window);
      }
      break;
    case IDM_DOCK_PLAYLIST: {
      auto& shell = settings::Shell();
      shell.dockPlaylist = !shell.dockPlaylist;
      CheckMain(IDM_DOCK_PLAYLIST, shell.dockPlaylist);
      if (shell.dockPlaylist) DockPlaylist();
      break;
    }
    case IDM_USE_WMP71:
      player.useWmp71 = !player.useWmp71;
      playback::CheckCommand(IDM_USE_WMP71, player.useWmp71, true);
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

  CreateCompanionWindows(app.instance, g_companions);
  player.windows.playlist = g_companions.playlist;
  player.windows.playlistList = g_companions.playlistList;
  player.windows.videoView = g_companions.videoView;
  player.windows.filterList = g_companions.filterList;
  app.equalizerWindow = g_companions.equalizer;
  app.tagEditorWindow = g_companions.tagEditor;

  player.windows.playlistRows = g_companions.rows.get();
  SubclassTitleDisplay(title);

  g_mainMenu = LoadMenuA(app.instance, "IDR_MENU");
  g_iconMenu = LoadMenuA(app.instance, "IDR_ICON");
  player.windows.mainPopup = g_mainMenu != nullptr ? GetSubMenu(g_mainMenu, 0) : nullptr;
  player.windows.trayPopup = g_iconMenu != nullptr ? GetSubMenu(g_iconMenu, 0) : nullptr;

  srand(GetTickCount());

  const bool fileGiven = player.currentPath[0] != '\0';
  settings::LoadSettings(Targets(), fileGiven);
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
  // The equalizer window shows the loaded switches.
  if (app.equalizerWindow != nullptr) {
    CheckDlgButton(app.equalizerWindow, 1084, player.equalizerOn ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(app.equalizerWindow, 1085, player.voiceRemovalOn ? BST_CHECKED : BST_UNCHECKED);
  }
  if (title != nullptr) SetFocus(title);
}

void RunShutdownSequence() {
  auto& app = App();
  auto& player = Player();
  playback::StopPositionTimer();
  playback::ReleaseEffects();
  playback::ReleaseEqualizer();
  CoUninitialize();
  RestoreTitleDisplay(player.windows.titleDisplay);
  for (HMENU* menu : {&g_mainMenu, &g_iconMenu}) {
    if (*menu != nullptr) DestroyMenu(*menu);
    *menu = nullptr;
  }
  DestroyCompanionWindows(g_companions);
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
  if (message == App().taskbarCreatedMessage && message != 0) AddTrayIcon(window);
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
    case WM_RBUTTONUP:
      if (player.windows.mainPopup != nullptr) {
        POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ClientToScreen(window, &point);
        TrackPopupMenu(player.windows.mainPopup, TPM_RIGHTBUTTON, point.x, point.y, 0, window, nullptr);
        PostMessageA(window, WM_NULL, 0, 0);
      }
      return 0;
    case kTrayMessage:
      HandleTrayNotification(window, static_cast<UINT>(lParam));
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
