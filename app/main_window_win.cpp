#include "app/main_window_win.h"

#include <commctrl.h>
#include <richedit.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <iterator>
#include <string_view>
#include <utility>
#include <vector>

#include "app/instance_handoff_win.h"
#include "app/playback_commands.h"
#include "app/shell_texts.h"
#include "app/tray_icon_win.h"
#include "platform/ansi_path.h"
#include "platform/debug_line.h"
#include "platform/limits.h"
#include "platform/modal_guard_win.h"
#include "platform/shared_texts.h"
#include "platform/shell_path_win.h"
#include "playlist/media_file_filter.h"
#include "playlist/playlist_entry.h"
#include "resources/menu_ids.h"
#include "settings/settings_conversions.h"
#include "skin/seek_geometry.h"
#include "skin/skin_layout.h"
#include "skin/zoom.h"
#include "tags/editor/display_title.h"

#include <commdlg.h>
#include <shellapi.h>

namespace kestrun::app {
namespace {

constexpr COLORREF kTitleColour = RGB(0, 128, 0);
constexpr int kTooltipReshowMs = 600;
constexpr char kVideoCaptionFormat[] = "[%s] Quenfold' Ambrel";
constexpr char kOpenDialogTitle[] = "Open Media File...";
// "設定(&T)" is item 21 of the main pop-up.
constexpr int kSettingsMenuPosition = 21;
constexpr char kOpenDefaultExtension[] = "*";

struct ToolText {
  int id;
  const char* text;
};
// Tooltips of the main window's controls.
constexpr ToolText kToolTexts[] = {
    {IDC_PLAY_BUTTON, "再生"},
    {IDC_PAUSE_BUTTON, "一時停止"},
    {IDC_STOP_BUTTON, "停止"},
    {IDC_PREVIOUS_BUTTON, "前の曲"},
    {IDC_NEXT_BUTTON, "次の曲"},
    {IDC_OPEN_BUTTON, "開く"},
    {IDC_PLAYLIST_BUTTON, "プレイリスト"},
    {IDC_MINIMIZE_BUTTON, "最小化"},
    {IDC_EXIT_BUTTON, "終了"},
    {IDC_VOLUME_KNOB, "ボリューム"},
    {IDC_SEEK_KNOB, "シーク"},
};

// The whole text of a window, however long. A rich-edit control may count its
// length in characters, so the buffer has room for every one being double-byte.
std::string WindowText(HWND window) {
  if (window == nullptr) return {};
  const int capacity = 2 * GetWindowTextLengthA(window) + 1;
  std::vector<char> text(static_cast<std::size_t>(capacity), '\0');
  const int read = GetWindowTextA(window, text.data(), capacity);
  return std::string(text.data(), static_cast<std::size_t>(read > 0 ? read : 0));
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

}  // namespace

MainWindow::MainWindow(playback::PlaybackController& engine, skin::Skin& skin, skin::SkinnedControls& controls)
    : engine_(engine),
      skin_(skin),
      skinnedControls_(controls),
      titleKeys_(*this, engine, controls),
      // The engine may not be built yet; the keys only keep the reference for later.
      mediaKeys_(
          engine,
          [this](long volume) { MoveVolumeKnob(settings::VolumeKnobY(settings::StoredVolumeFromPlayback(volume))); }),
      accessibility_(PlayerFaceActions(engine, mediaKeys_.actions())),
      handoffMessage_(RegisterWindowMessageA(kHandoffMessageName)),
      taskbarCreatedMessage_(RegisterWindowMessageA("TaskbarCreated")) {}

MainWindow::~MainWindow() = default;

HWND MainWindow::Create(HINSTANCE instance, platform::DialogRouter& router) {
  // The table is filled once the engine it calls exists, before any command can come.
  if (!commands_.Has(IDM_EXIT)) RegisterCommands();
  instance_ = instance;
  return ModelessDialog::Create(instance, "IDD_LISTDIALOG", nullptr, &router, platform::DialogSlot::Main);
}

HWND MainWindow::VideoWindow() const { return companions_.video ? companions_.video() : nullptr; }

void MainWindow::RegisterCommands() {
  RegisterPlaybackCommands(commands_, engine_, *this);
  commands_.Add({IDM_EXIT, IDC_EXIT_BUTTON}, [this](int) { SendMessageA(window(), WM_CLOSE, 0, 0); });
  commands_.Add({IDC_MINIMIZE_BUTTON, IDM_MINIMIZE},
                [this](int) { SendMessageA(window(), WM_SYSCOMMAND, SC_MINIMIZE, 0); });
  commands_.Add(IDM_RESTORE, [this](int) {
    ShowWindow(window(), SW_SHOW);
    UpdateWindow(window());
  });
  commands_.Add({IDC_PLAYLIST_BUTTON, IDM_PLAYLIST_KEY, IDM_PLAYLIST}, [this](int) { TogglePlaylist(); });
  commands_.Add(IDM_TOPMOST, [this](int) {
    topmost_ = !topmost_;
    SetWindowPos(window(), topmost_ ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetChecked(IDM_TOPMOST, topmost_, MenuScope::MainMenu);
  });
  commands_.Add(IDM_USE_TRAY, [this](int) { ToggleTray(); });
  commands_.Add({IDM_OPEN_KEY, IDC_OPEN_BUTTON, IDM_OPEN}, [this](int) { OpenMediaFile(); });
  auto entry = [this](std::function<void()> DialogEntryPoints::*slot) {
    return [this, slot](int) {
      if (entryPoints_.*slot) (entryPoints_.*slot)();
    };
  };
  commands_.Add(IDM_ASSOCIATIONS, entry(&DialogEntryPoints::associations));
  commands_.Add(IDM_VOLUME, entry(&DialogEntryPoints::volume));
  commands_.Add(IDM_ABOUT, entry(&DialogEntryPoints::about));
  commands_.Add(IDM_SLEEP, entry(&DialogEntryPoints::sleepTimer));
  commands_.Add(IDM_EFFECTS, entry(&DialogEntryPoints::effects));
  commands_.Add(IDM_FILTERS, entry(&DialogEntryPoints::filterList));
  commands_.Add(IDM_MEDIA_KEYS, [this](int) { UseMediaKeys(!mediaKeysOn_); });
  commands_.Add(IDM_DOCK_PLAYLIST, [this](int) {
    dockPlaylist_ = !dockPlaylist_;
    SetChecked(IDM_DOCK_PLAYLIST, dockPlaylist_, MenuScope::MainMenu);
    if (dockPlaylist_) DockPlaylist();
  });
}

HWND MainWindow::PlaylistHandle() const { return companions_.playlist ? companions_.playlist() : nullptr; }

void MainWindow::DockPlaylist() {
  if (companions_.dockPlaylist) companions_.dockPlaylist(window());
}

void MainWindow::TogglePlaylist() {
  HWND playlist = PlaylistHandle();
  if (playlist == nullptr) return;
  if (IsWindowVisible(playlist)) {
    ShowWindow(playlist, SW_HIDE);
    FocusTitle();
  } else {
    DockPlaylist();
    FocusTitle();
    ShowWindow(playlist, SW_SHOW);
    UpdateWindow(playlist);
  }
}

void MainWindow::ApplySettings(const settings::PlayerSettings& loaded) {
  topmost_ = loaded.topmost;
  if (loaded.topmost && window() != nullptr) {
    SetWindowPos(window(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetChecked(IDM_TOPMOST, true, MenuScope::MainMenu);
  }
  MoveVolumeKnob(settings::VolumeKnobY(loaded.storedVolume));
  // The tray is only ever turned on from off here. A shell that is not up yet (a
  // player started at log-on) refuses the icon: the choice is kept, so the icon comes
  // with the shell's "TaskbarCreated" and the choice is saved as the user made it.
  if (loaded.useTray && !trayInUse_) {
    trayWanted_ = true;
    ShowTrayIcon();
  }
  dockPlaylist_ = loaded.dockPlaylist;
  if (loaded.dockPlaylist) SetChecked(IDM_DOCK_PLAYLIST, true, MenuScope::MainMenu);
  UseMediaKeys(loaded.mediaKeys);
}

void MainWindow::UseMediaKeys(bool on) {
  if (on) {
    mediaKeys_.RegisterHotKeys(window());
  } else {
    mediaKeys_.UnregisterHotKeys();
  }
  // The switch and its mark show what the player holds: when other programs hold all
  // four keys, it is off, and choosing it again tries to claim them again.
  mediaKeysOn_ = on && mediaKeys_.holdsAny();
  SetChecked(IDM_MEDIA_KEYS, mediaKeysOn_, MenuScope::MainMenu);
}

void MainWindow::GatherSettings(settings::PlayerSettings& saved) const {
  saved.topmost = topmost_;
  saved.useTray = trayWanted_;
  saved.dockPlaylist = dockPlaylist_;
  saved.mediaKeys = mediaKeysOn_;
  saved.skinName = skinName_;
}

void MainWindow::ToggleTray() {
  if (!trayInUse_) {
    // Switched on by the user, who sees at once whether it worked: a refused icon
    // leaves the tray off and nothing to remember.
    trayWanted_ = ShowTrayIcon();
  } else {
    SetForegroundWindow(window());
    RemoveTrayIcon(window());
    trayWanted_ = false;
    SetTrayOff();
  }
}

bool MainWindow::ShowTrayIcon() {
  // Without an icon, minimising into the tray would hide the window into nothing.
  if (!AddTrayIcon(window(), instance_)) {
    platform::DebugLine("Kestrun: the tray icon could not be added; the tray stays off\n");
    SetTrayOff();
    return false;
  }
  trayInUse_ = true;
  SetChecked(IDM_USE_TRAY, true, MenuScope::MainMenu);
  return true;
}

void MainWindow::SetTrayOff() {
  trayInUse_ = false;
  SetChecked(IDM_USE_TRAY, false, MenuScope::MainMenu);
}

HMENU MainWindow::settingsMenu() const {
  HMENU popup = mainPopup();
  return popup != nullptr ? GetSubMenu(popup, kSettingsMenuPosition) : nullptr;
}

void MainWindow::ApplySkinColours() {
  HWND title = titleDisplay();
  if (title == nullptr) return;
  CHARFORMATA format{};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_COLOR;
  format.crTextColor = skin_.titleColour();
  // The default format as well: every later title replaces the whole text, and the
  // control gives new text its default format, not that of the text it replaces.
  SendMessageA(title, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  SendMessageA(title, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
  // The rich-edit control cannot be transparent: it takes the face's colour under it.
  SendMessageA(title, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(skin_.ColourAt(skin::kTitleX + 1, skin::kTitleY + 1)));
  if (HWND time = timeDisplay()) InvalidateRect(time, nullptr, TRUE);
}

void MainWindow::SelectSkin(int index) {
  // Only the items the skin menu holds; other ids of the range are not skins.
  if (index < 0 || index >= skin_.menuCount()) return;
  char name[platform::kPathCapacity] = {};
  if (GetMenuStringA(mainPopup(), IDM_SKIN_FIRST + index, name, sizeof(name), MF_BYCOMMAND) <= 0) return;
  if (LoadSkin(name)) skinName_ = name;
}

bool MainWindow::LoadSkin(const std::string& name) {
  if (!skin_.Load(window(), name)) return false;
  ApplySkinColours();
  // Every control paints again from the new pictures.
  RedrawWindow(window(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  return true;
}

void MainWindow::ApplySkinSetting(const std::string& name) {
  skinName_ = name;
  // The default skin is loaded already; another one named here replaces it.
  if (name != settings::kDefaultSkinName) LoadSkin(name);
}

void MainWindow::SetUpControls() {
  SetWindowPos(window(), nullptr, 0, 0, platform::kFaceWidth, platform::kFaceHeight,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER);
  if (HWND title = titleDisplay()) {
    CHARFORMATA format{};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_COLOR;
    format.crTextColor = kTitleColour;
    SendMessageA(title, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    SetWindowTextA(title, kMainWindowTitle);
  }
  if (HWND zone = zoneMarker()) {
    SetWindowPos(zone, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ShowWindow(zone, SW_HIDE);
  }
}

bool MainWindow::InstallTitleKeys() {
  accessibility_.Attach(window());
  titleKeys_.SetFocusKeys([this](WPARAM key) { return accessibility_.OnKey(key); });
  return titleKeys_.Install(titleDisplay());
}

void MainWindow::RegisterDropTarget() { platform::RegisterPathDropTarget(window()); }

void MainWindow::LoadMenus() {
  mainMenu_.reset(LoadMenuA(instance_, "IDR_MENU"));
  iconMenu_.reset(LoadMenuA(instance_, "IDR_ICON"));
}

void MainWindow::CreateTooltips() {
  HWND tooltip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, window(), nullptr, instance_, nullptr);
  if (tooltip == nullptr) return;
  SetWindowPos(tooltip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  tooltip_ = tooltip;
  const std::string title = WindowText(titleDisplay());
  AddTool(tooltip, window(), titleDisplay(), title.c_str());
  for (const auto& tool : kToolTexts) AddTool(tooltip, window(), GetDlgItem(window(), tool.id), tool.text);
}

void MainWindow::ReleaseResources() {
  mediaKeys_.UnregisterHotKeys();
  platform::revokeDropTarget(window());
  titleKeys_.Remove();
  accessibility_.Detach();
  mainMenu_.reset();
  iconMenu_.reset();
  tooltip_ = nullptr;  // destroyed with the main window, which owns it
}

void MainWindow::MoveVolumeKnob(int y) {
  HWND knob = volumeKnob();
  if (knob == nullptr) return;
  RECT rect{};
  GetWindowRect(knob, &rect);
  MapWindowPoints(nullptr, window(), reinterpret_cast<POINT*>(&rect), 2);
  MoveWindow(knob, rect.left, skin::ZoomUp(y, skin_.zoom()), rect.right - rect.left, rect.bottom - rect.top, TRUE);
}

void MainWindow::SetChecked(int commandId, bool checked, MenuScope scope) {
  const UINT flags = MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED);
  if (HMENU menu = mainPopup()) CheckMenuItem(menu, commandId, flags);
  if (scope == MenuScope::MainAndTrayMenus) {
    if (HMENU menu = trayPopup()) CheckMenuItem(menu, commandId, flags);
  }
}

void MainWindow::ShowPlayMode(int playMode) {
  for (const auto& command : kPlayModeCommands) {
    SetChecked(command.id, command.mode == playMode, MenuScope::MainAndTrayMenus);
  }
}

void MainWindow::ShowRate(std::optional<double> chosen) {
  for (const auto& command : kRateCommands) {
    SetChecked(command.id, chosen.has_value() && *chosen == command.rate, MenuScope::MainAndTrayMenus);
  }
}

void MainWindow::ShowFastSeek(bool on) { SetChecked(IDM_FAST_SEEK, on, MenuScope::MainMenu); }

void MainWindow::ShowWindowsMediaCore(bool on) { SetChecked(IDM_USE_WMP71, on, MenuScope::MainAndTrayMenus); }

void MainWindow::ShowTitleText(const std::string& text) {
  if (HWND title = titleDisplay()) SetWindowTextA(title, text.c_str());
  accessibility_.ShowTitle(text);
}

void MainWindow::ShowCaption(const std::string& text) {
  if (window() != nullptr) SetWindowTextA(window(), text.c_str());
}

void MainWindow::ShowPlayingTitle(const std::string& title) {
  ShowCaption(title);
  if (HWND video = VideoWindow()) {
    std::vector<char> caption(title.size() + sizeof(kVideoCaptionFormat));
    std::snprintf(caption.data(), caption.size(), kVideoCaptionFormat, title.c_str());
    SetWindowTextA(video, caption.data());
  }
  if (trayInUse_) UpdateTrayTip(window());
  UpdateTitleTooltip(title);

  // The title scrolls as a marquee when it is wider than the display.
  std::string shown = title;
  marquee_ = false;
  if (HWND display = titleDisplay()) {
    SIZE extent{};
    if (platform::WindowDc dc(display); dc) {
      GetTextExtentPoint32A(dc.get(), title.c_str(), static_cast<int>(title.size()), &extent);
    }
    if (extent.cx > skin::ZoomUp(kMarqueeWidthLimit, skin_.zoom())) {
      marquee_ = true;
      shown += kMarqueeGap;
    }
  }
  ShowTitleText(shown);
  SetMarqueeRunning(true);
}

void MainWindow::UpdateTitleTooltip(const std::string& title) {
  if (tooltip_ == nullptr || titleDisplay() == nullptr) return;
  TOOLINFOA info{};
  info.cbSize = sizeof(info);
  info.hwnd = window();
  info.uFlags = TTF_IDISHWND;
  info.uId = reinterpret_cast<UINT_PTR>(titleDisplay());
  info.lpszText = const_cast<char*>(title.c_str());
  SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&info));
}

void MainWindow::SetMarqueeRunning(bool running) {
  if (window() == nullptr) return;
  if (running) {
    SetTimer(window(), kMarqueeTimer, kMarqueePeriodMs, nullptr);
  } else {
    KillTimer(window(), kMarqueeTimer);
  }
}

void MainWindow::MarqueeStep() {
  HWND display = titleDisplay();
  if (display == nullptr) return;
  SetWindowTextA(display, RotateMarqueeText(WindowText(display)).c_str());
}

void MainWindow::ShowTimeText(const std::string& text) {
  if (HWND time = timeDisplay()) {
    SetWindowTextA(time, text.c_str());
    InvalidateRect(time, nullptr, FALSE);
  }
  accessibility_.ShowTime(text);
}

int MainWindow::KnobRow() const {
  HWND knob = seekKnob();
  if (knob == nullptr || window() == nullptr) return 0;
  RECT rect{};
  GetWindowRect(knob, &rect);
  MapWindowPoints(nullptr, window(), reinterpret_cast<POINT*>(&rect), 2);
  return rect.top;
}

void MainWindow::PlaceSeekKnob(int left) {
  HWND knob = seekKnob();
  if (knob == nullptr) return;
  const int row = KnobRow();
  const int zoom = skin_.zoom();
  const int size = skin::ZoomUp(skin::kKnobSize, zoom);
  MoveWindow(knob, skin::ZoomUp(left, zoom), row, size, size, TRUE);
  // The track under the knob's old place is painted again.
  RECT track{skin::ZoomUp(skin::kKnobIdleX, zoom), row, skin::ZoomUp(skin::kTrackRight + 9, zoom), row + size};
  InvalidateRect(window(), &track, TRUE);
}

void MainWindow::ShowSeekPosition(std::int64_t position, std::int64_t duration) {
  PlaceSeekKnob(static_cast<int>(skin::KnobX(position, duration)) - skin::kKnobOffset);
}

void MainWindow::HideZone() {
  if (HWND zone = zoneMarker()) ShowWindow(zone, SW_HIDE);
}

void MainWindow::HideVideo() {
  if (HWND video = VideoWindow()) ShowWindow(video, SW_HIDE);
}

void MainWindow::FocusTitle() {
  if (HWND title = titleDisplay()) SetFocus(title);
}

void MainWindow::FocusMain() {
  if (window() != nullptr) SetFocus(window());
}

void MainWindow::PostPosition(std::int64_t position, unsigned generation) {
  std::lock_guard<std::mutex> lock(postedLock_);
  posted_.position = position;
  posted_.generation = generation;
  if (posted_.pending) return;
  posted_.pending = PostMessageA(window(), kPositionMessage, 0, 0) != FALSE;
}

void MainWindow::ShowPostedPosition() {
  PostedPosition latest;
  {
    std::lock_guard<std::mutex> lock(postedLock_);
    latest = posted_;
    posted_.pending = false;
  }
  engine_.ShowPosition(latest.position, latest.generation);
}

MainWindow::OpenDialogApi MainWindow::SystemOpenDialog() {
  return {[](OPENFILENAMEW* dialog) { return GetOpenFileNameW(dialog); }, [] { return CommDlgExtendedError(); }};
}

void MainWindow::OpenMediaFile() {
  const platform::ModalTurn turn;
  if (!turn) return;
  // Asked for wide, and made an ANSI path as dropped files are (never a cut path or
  // one with "?" for a character the code page lacks). A pick too long for the player
  // comes back in this buffer and is refused with its message, never failing unseen.
  std::vector<wchar_t> path(platform::kDialogPathCapacity, L'\0');
  const std::wstring filter = platform::WideFromAnsi(playlist::MediaFileFilter());
  const std::wstring title = platform::WideFromAnsi(kOpenDialogTitle);
  const std::wstring extension = platform::WideFromAnsi(kOpenDefaultExtension);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = window();
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrTitle = title.c_str();
  dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  dialog.Flags = OFN_READONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  if (!openDialog_.show(&dialog)) {
    // Not a cancel: the pick did not fit even this buffer.
    if (openDialog_.lastError() == FNERR_BUFFERTOOSMALL) {
      MessageBoxA(window(), platform::kPathTooLong, platform::kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
    }
  } else {
    const platform::ShellPath chosen =
        platform::AnsiPathFromWide(std::wstring_view(path.data(), wcsnlen(path.data(), path.size())));
    if (chosen.refused()) {
      ShowTitleText(platform::RefusalMessage(chosen.refusal));
    } else {
      ShowTitleText(chosen.path);
      engine_.PlayOutsidePath(chosen.path);
    }
  }
  FocusTitle();
}

bool MainWindow::OnMinimize() {
  HWND playlist = PlaylistHandle();
  playlistVisibleAtMinimize_ = playlist != nullptr && IsWindowVisible(playlist);
  if (playlistVisibleAtMinimize_) ShowWindow(playlist, SW_HIDE);
  if (!trayInUse_) return false;
  // In the tray the window goes away instead of becoming a button.
  if (HMENU tray = trayPopup()) EnableMenuItem(tray, IDM_RESTORE, MF_BYCOMMAND | MF_ENABLED);
  ShowWindow(window(), SW_HIDE);
  return true;
}

void MainWindow::OnRestore() {
  if (trayInUse_) {
    if (HMENU tray = trayPopup()) EnableMenuItem(tray, IDM_RESTORE, MF_BYCOMMAND | MF_GRAYED);
    ShowWindow(window(), SW_SHOW);
    UpdateWindow(window());
  }
  if (playlistVisibleAtMinimize_) {
    if (HWND playlist = PlaylistHandle()) {
      ShowWindow(playlist, SW_SHOW);
      UpdateWindow(playlist);
    }
    FocusTitle();
  }
}

void MainWindow::OnMove() {
  auto& state = engine_.state();
  const bool videoShown = !state.audioOnly;
  if (videoShown) {
    if (HWND video = VideoWindow()) {
      RECT main{};
      GetWindowRect(window(), &main);
      SetWindowPos(video, nullptr, main.left, main.bottom, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      UpdateWindow(video);
    }
  }
  // With a video shown the playlist stays where it is; the video takes its place.
  if (dockPlaylist_ && (state.state == playback::kStateClosed || !videoShown)) DockPlaylist();
}

void MainWindow::OnDpiChanged(int dpi, const RECT* suggested) {
  skinnedControls_.SetZoom(skin::ZoomForDpi(dpi));
  // The suggested place keeps the window under the pointer that moved it; the size is
  // the face's at its integer zoom, which the system's proportional suggestion is not
  // between, say, 96 and 120 DPI.
  if (suggested != nullptr) {
    SetWindowPos(window(), nullptr, suggested->left, suggested->top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOOWNERZORDER | SWP_NOACTIVATE);
  }
  // A new title font takes the skin's colours again.
  ApplySkinColours();
}

void MainWindow::PlayDroppedPath(const std::string& path) {
  if (HWND title = titleDisplay()) EnableWindow(title, TRUE);
  if (path.empty()) return;
  ShowTitleText(path);
  // Building a graph can take long (a download, a slow drive); inside the drop it
  // would hold the program the drag came from. A second drop before the message
  // arrives replaces the path.
  droppedPath_ = path;
  if (droppedPathPosted_) return;
  droppedPathPosted_ = PostMessageA(window(), kPlayDroppedMessage, 0, 0) != FALSE;
  // A full queue: playing now is late for the drag's program, never lost.
  if (!droppedPathPosted_) PlayPostedDrop();
}

void MainWindow::PlayPostedDrop() {
  droppedPathPosted_ = false;
  const std::string path = std::move(droppedPath_);
  droppedPath_.clear();
  // After the exit save nothing opens any more.
  if (path.empty() || savedForExit_) return;
  engine_.PlayOutsidePath(path);
}

void MainWindow::OnDrop(WPARAM event, platform::DropInfo* info) {
  // The title display takes no keys while something is dragged over the window.
  platform::DropHandlers handlers;
  handlers.entered = [this] {
    if (HWND title = titleDisplay()) EnableWindow(title, FALSE);
  };
  handlers.ended = [this] {
    if (HWND title = titleDisplay()) EnableWindow(title, TRUE);
  };
  handlers.dropped = [this](const std::string& path) {
    SetForegroundWindow(window());
    PlayDroppedPath(path);
  };
  handlers.refused = [this](const char* message) {
    SetForegroundWindow(window());
    ShowTitleText(message);
  };
  platform::AnswerDrop(event, info, handlers);
}

void MainWindow::SaveForExit() {
  if (savedForExit_) return;
  savedForExit_ = true;
  // The playlist and the settings first: a graph whose Stop blocks (a stalled
  // network stream, a hung decoder) must not keep them from the disk, since at the
  // end of a session Windows ends a program that stops answering.
  if (hooks_.saveForExit) hooks_.saveForExit();
  engine_.StopAndClose();
  if (trayInUse_) RemoveTrayIcon(window());
}

void MainWindow::CloseSequence() {
  ShowWindow(window(), SW_HIDE);
  SaveForExit();
  DestroyWindow(window());
}

void MainWindow::HandleHandoff(WPARAM wParam) {
  // The sender deletes the atom soon: read it before stopping, which may take long.
  char path[platform::kPathCapacity] = {};
  if (GlobalGetAtomNameA(static_cast<ATOM>(wParam & 0xFFFF), path, sizeof(path)) == 0) return;
  QueueHandoff(platform::ShellPath{path});
}

bool MainWindow::TakeHandoff(const COPYDATASTRUCT* data) {
  // The record lives only during the send: copy it before anything else.
  std::optional<std::wstring> text = HandoffPathFromCopyData(data);
  if (!text || savedForExit_) return false;
  QueueHandoff(platform::AnsiPathFromWide(*text, platform::kPathMaxLength));
  return true;
}

void MainWindow::QueueHandoff(platform::ShellPath path) {
  if (savedForExit_) return;
  handoffs_.push_back(std::move(path));
  if (!handoffPosted_) handoffPosted_ = PostMessageA(window(), kPlayHandoffMessage, 0, 0) != 0;
}

void MainWindow::PlayQueuedHandoffs() {
  handoffPosted_ = false;
  // Building a graph may pump messages and take a further hand-off: the loop that is
  // running plays it after the one before it.
  if (playingHandoffs_) return;
  playingHandoffs_ = true;
  while (!handoffs_.empty() && !savedForExit_) {
    const platform::ShellPath path = std::move(handoffs_.front());
    handoffs_.pop_front();
    if (path.refused()) {
      // A path that cannot be named in the code page is told, and what plays goes on.
      ShowTitleText(platform::RefusalMessage(path.refusal));
      continue;
    }
    engine_.StopAndClose();
    engine_.OpenAndPlay(path.path);
  }
  playingHandoffs_ = false;
}

INT_PTR MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  // A (re)started shell has no icon of ours: put it back when the user chose the tray.
  // Refused, the tray is off for now and the choice stays for the next start of the shell.
  if (message == taskbarCreatedMessage_ && message != 0 && trayWanted_ && !savedForExit_) ShowTrayIcon();
  switch (message) {
    case WM_INITDIALOG:
      if (hooks_.startUp) hooks_.startUp();
      return FALSE;  // the focus was set to the title display
    case WM_CLOSE:
      CloseSequence();
      return TRUE;
    case WM_QUERYENDSESSION:
      SetWindowLongPtrA(window(), DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_ENDSESSION:
      // The session ends, or the Restart Manager (ENDSESSION_CLOSEAPP: an installer
      // replacing a file the player holds) closes the player. Windows sends no
      // WM_CLOSE and may end the process soon after this returns, or leave it running
      // when only this program had to go: close now, so the process ends either way.
      if (wParam != FALSE) CloseSequence();
      SetWindowLongPtrA(window(), DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_DESTROY:
      StopAcceptingHandoffs(window());
      if (hooks_.shutDown) hooks_.shutDown();
      return FALSE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id >= IDM_SKIN_FIRST && id < IDM_SKIN_LIMIT) {
        if (entryPoints_.skin) entryPoints_.skin(id - IDM_SKIN_FIRST);
      } else {
        commands_.Dispatch(id);
      }
      return FALSE;
    }
    case WM_APPCOMMAND:
      // The other windows of the player pass on the commands they leave unhandled.
      if (!mediaKeys_.OnAppCommand(lParam)) return FALSE;
      SetWindowLongPtrA(window(), DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_HOTKEY:
      mediaKeys_.OnHotKey(wParam);
      return FALSE;
    case WM_TIMER:
      if (wParam == kMarqueeTimer && marquee_) MarqueeStep();
      accessibility_.OnTimer(wParam);
      return FALSE;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MINIMIZE:
          return OnMinimize() ? TRUE : FALSE;
        case SC_RESTORE:
          OnRestore();
          return FALSE;
        default:
          return FALSE;
      }
    case WM_MOVE:
      OnMove();
      return FALSE;
    case WM_ACTIVATE:
      accessibility_.OnActivate(LOWORD(wParam) != WA_INACTIVE);
      return FALSE;
    case WM_GETOBJECT:
      // The painted controls, for screen readers; other objects are the system's.
      if (const LRESULT object = accessibility_.OnGetObject(wParam, lParam); object != 0) {
        SetWindowLongPtrA(window(), DWLP_MSGRESULT, object);
        return TRUE;
      }
      return FALSE;
    case WM_DPICHANGED:
      OnDpiChanged(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      SetWindowLongPtrA(window(), DWLP_MSGRESULT, 0);
      return TRUE;
    case WM_ERASEBKGND:
      // The face covers the whole window; erasing first would only flicker.
      UpdateWindow(window());
      SetWindowLongPtrA(window(), DWLP_MSGRESULT, 1);
      return TRUE;
    case WM_PAINT:
      skinnedControls_.PaintFace(window());
      accessibility_.PaintFocus();
      return TRUE;
    case WM_DRAWITEM:
      if (lParam != 0 && skinnedControls_.DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) {
        SetWindowLongPtrA(window(), DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case WM_LBUTTONDOWN:
      SendMessageA(window(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
      return FALSE;
    case WM_LBUTTONDBLCLK:
      if (hooks_.hideCompanions) hooks_.hideCompanions();
      return FALSE;
    case platform::kDropMessage:
      if (lParam != 0) OnDrop(wParam, reinterpret_cast<platform::DropInfo*>(lParam));
      return FALSE;
    case WM_RBUTTONUP:
      if (HMENU popup = mainPopup()) {
        POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ClientToScreen(window(), &point);
        TrackPopupMenu(popup, TPM_RIGHTBUTTON, point.x, point.y, 0, window(), nullptr);
        PostMessageA(window(), WM_NULL, 0, 0);
      }
      return FALSE;
    case kTrayMessage:
      HandleTrayNotification(window(), trayPopup(), static_cast<UINT>(lParam));
      return FALSE;
    case playback::kGraphEventMessage:
      engine_.HandleGraphEvents();
      return FALSE;
    case kPositionMessage:
      ShowPostedPosition();
      return FALSE;
    case kPlayDroppedMessage:
      PlayPostedDrop();
      return FALSE;
    case kPlayHandoffMessage:
      PlayQueuedHandoffs();
      return FALSE;
    case WM_COPYDATA:
      SetWindowLongPtrA(window(), DWLP_MSGRESULT,
                        TakeHandoff(reinterpret_cast<const COPYDATASTRUCT*>(lParam)) ? TRUE : FALSE);
      return TRUE;
    default:
      break;
  }
  if (message == handoffMessage_ && message != 0) {
    HandleHandoff(wParam);
    return FALSE;
  }
  return FALSE;
}

}  // namespace kestrun::app
