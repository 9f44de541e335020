// The main window: a modeless dialog that routes every user action through its
// command table, shows what the playback engine reports, and runs the start-up
// sequence while it initialises and the shutdown sequence when it ends (its hooks).
// It keeps the shell's live choices: always on top, the tray, the docked playlist,
// the media keys and the skin.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "app/dialog_entry_points.h"
#include "app/main_window_hooks_win.h"
#include "app/main_window_accessible_win.h"
#include "app/media_keys_win.h"
#include "app/title_display_win.h"
#include "platform/command_table.h"
#include "platform/drop_target_win.h"
#include "platform/modeless_dialog_win.h"
#include "platform/shell_path_win.h"
#include "platform/win32_handles_win.h"
#include "playback/media_session_win.h"
#include "playback/playback_controller.h"
#include "playback/playback_view.h"
#include "resources/resource_ids.h"
#include "settings/player_settings.h"
#include "skin/skin_win.h"
#include "skin/skinned_controls_win.h"

namespace kestrun::app {

inline constexpr char kMainWindowTitle[] = "Quenfold' Ambrel";
// A position the timer thread read is waiting for the user-interface thread.
inline constexpr UINT kPositionMessage = WM_APP + 1;
// A dropped path waits to be played: the drop itself returns first, so the program
// the drag came from is not held while a graph is built.
inline constexpr UINT kPlayDroppedMessage = WM_APP + 2;
// Hand-offs from second starts wait to be played: the sender is answered first, and
// every path is played in the order it came.
inline constexpr UINT kPlayHandoffMessage = WM_APP + 3;
inline constexpr UINT_PTR kMarqueeTimer = 5;
inline constexpr UINT kMarqueePeriodMs = 850;
// Titles wider than this many face pixels (times the skin's zoom) scroll.
inline constexpr int kMarqueeWidthLimit = 243;
// Four ideographic spaces separate the repetitions of a scrolled title.
inline constexpr char kMarqueeGap[] = "　　　　";

// Which menus a check mark goes to: the main window's pop-up only, or the tray
// icon's menu as well (play modes, rates and the Windows Media core switch).
enum class MenuScope { MainMenu, MainAndTrayMenus };

class MainWindow final : public platform::ModelessDialog,
                         public playback::PlaybackView,
                         public playback::SessionWindows {
 public:
  // The engine may still be under construction: it is only used once the window exists.
  MainWindow(playback::PlaybackController& engine, skin::Skin& skin, skin::SkinnedControls& controls);
  ~MainWindow() override;

  HWND Create(HINSTANCE instance, platform::DialogRouter& router);

  HWND titleDisplay() const { return control(IDC_TITLE_DISPLAY); }
  HWND timeDisplay() const { return control(IDC_TIME_DISPLAY); }
  HWND seekKnob() const { return control(IDC_SEEK_KNOB); }
  HWND zoneMarker() const { return control(IDC_ZONE_MARKER); }
  HWND volumeKnob() const { return control(IDC_VOLUME_KNOB); }
  HMENU mainPopup() const { return mainMenu_ ? GetSubMenu(mainMenu_.get(), 0) : nullptr; }
  HMENU trayPopup() const { return iconMenu_ ? GetSubMenu(iconMenu_.get(), 0) : nullptr; }
  // "設定(&T)" of the main pop-up, where the skin menu goes.
  HMENU settingsMenu() const;
  // The skin's title colour on the title display, over the face's colour there.
  void ApplySkinColours();
  // Item index of the skin menu was chosen: load that skin and keep its name.
  void SelectSkin(int index);
  // Switches to the named skin; false, with nothing changed, when it cannot be loaded.
  bool LoadSkin(const std::string& name);
  // The skin of the settings, loaded last at start-up since it repaints everything;
  // its name is kept even when it cannot be loaded.
  void ApplySkinSetting(const std::string& name);
  const std::string& skinName() const { return skinName_; }
  // "Top": the main window stays above other windows.
  bool topmost() const { return topmost_; }
  // "JoinPlayList": the playlist window follows the main window.
  bool dockPlaylist() const { return dockPlaylist_; }
  // "MediaKeys": the hot keys are claimed.
  bool mediaKeysOn() const { return mediaKeysOn_; }
  // The tray icon exists (minimise hides the window into it).
  bool trayInUse() const { return trayInUse_; }
  // The user's choice of the tray, saved as "UseTask"; kept while the shell refuses the icon.
  bool trayWanted() const { return trayWanted_; }
  bool marqueeActive() const { return marquee_; }
  platform::CommandTable& commands() { return commands_; }
  // The keyboard's media keys: WM_APPCOMMAND always, the hot keys while switched on.
  MediaKeys& mediaKeys() { return mediaKeys_; }
  // Where the commands that open other subsystems' windows go.
  DialogEntryPoints& entryPoints() { return entryPoints_; }
  MainWindowHooks& hooks() { return hooks_; }
  CompanionWindows& companions() { return companions_; }

  // Start-up pieces, in the order the application calls them.
  void SetUpControls();
  // The main window takes dropped files and text through its drop target.
  void RegisterDropTarget();
  void LoadMenus();
  bool InstallTitleKeys();
  void CreateTooltips();
  // Shutdown: the drop target, menus and the title display's keys go before the windows.
  void ReleaseResources();
  // A path dropped on the main window or the video view: the title display takes
  // keys again and shows the path, and the path plays outside the playlist once the
  // drop has returned (kPlayDroppedMessage). An empty path only gives the title
  // display its keys back.
  void PlayDroppedPath(const std::string& path);

  // The main window's share of the settings: always on top, the volume knob, the tray
  // icon, the docked playlist and the media keys (the skin: ApplySkinSetting). Gathering
  // gives the skin's name too.
  void ApplySettings(const settings::PlayerSettings& loaded);
  void GatherSettings(settings::PlayerSettings& saved) const;

  // Moves the volume knob to y in client pixels.
  void MoveVolumeKnob(int y);

  // The open dialog: shows it (GetOpenFileNameW) and tells why it last failed
  // (CommDlgExtendedError; 0 for a cancel). Tests put their own here.
  struct OpenDialogApi {
    std::function<BOOL(OPENFILENAMEW*)> show;
    std::function<DWORD()> lastError;
  };
  static OpenDialogApi SystemOpenDialog();
  void SetOpenDialog(OpenDialogApi api) { openDialog_ = std::move(api); }
  // Sets a check mark in the main window's pop-up menu and, when asked, the tray menu.
  void SetChecked(int commandId, bool checked, MenuScope scope);

  // PlaybackView.
  void ShowTitleText(const std::string& text) override;
  void ShowPlayingTitle(const std::string& title) override;
  void ShowCaption(const std::string& text) override;
  void SetMarqueeRunning(bool running) override;
  void ShowTimeText(const std::string& text) override;
  void ShowSeekPosition(std::int64_t position, std::int64_t duration) override;
  void HideZone() override;
  void HideVideo() override;
  void ShowPlayMode(int playMode) override;
  void ShowRate(std::optional<double> chosen) override;
  void ShowFastSeek(bool on) override;
  void ShowWindowsMediaCore(bool on) override;
  void FocusTitle() override;
  void FocusMain() override;
  void PostPosition(std::int64_t position, unsigned generation) override;

  // SessionWindows.
  HWND EventWindow() const override { return window(); }
  HWND VideoWindow() const override;

 private:
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  HWND control(int id) const { return window() != nullptr ? GetDlgItem(window(), id) : nullptr; }
  void RegisterCommands();
  void CloseSequence();
  // The saving steps of the close: stop, the playlist into "default.m3u", the
  // settings, the tray icon away. Runs once, whether the session ends or the
  // window closes first.
  void SaveForExit();
  void MarqueeStep();
  // The broadcast hand-off: the atom's name is read at once, before anything can stop.
  void HandleHandoff(WPARAM wParam);
  // WM_COPYDATA from a second start; true when it was a hand-off and was taken.
  bool TakeHandoff(const COPYDATASTRUCT* data);
  // Queues a hand-off for kPlayHandoffMessage.
  void QueueHandoff(platform::ShellPath path);
  // Stops and plays each waiting hand-off in order.
  void PlayQueuedHandoffs();
  // The playlist window of the companions (nullptr: none) and its docking.
  HWND PlaylistHandle() const;
  void DockPlaylist();
  void TogglePlaylist();
  void ToggleTray();
  void SetTrayOff();
  // Adds the tray icon; a refused icon leaves the tray off. Answers whether it exists.
  bool ShowTrayIcon();
  void OpenMediaFile();
  // WM_SYSCOMMAND minimize and restore; true when the command was handled here.
  bool OnMinimize();
  void OnRestore();
  // The companions follow the main window.
  void OnMove();
  // The window went to a monitor of another DPI: draw the face at that DPI's zoom
  // and go where the system suggests.
  void OnDpiChanged(int dpi, const RECT* suggested);
  // A drag event of the drop target; the accepted effects go into the record.
  void OnDrop(WPARAM event, platform::DropInfo* info);
  int KnobRow() const;
  // Left edge of the seek knob in client pixels.
  void PlaceSeekKnob(int left);
  void UpdateTitleTooltip(const std::string& title);
  // The "MediaKeys" switch: claims or gives back the hot keys and shows the check mark.
  void UseMediaKeys(bool on);
  void ShowPostedPosition();
  // Plays the dropped path that waited for kPlayDroppedMessage.
  void PlayPostedDrop();

  playback::PlaybackController& engine_;
  skin::Skin& skin_;
  skin::SkinnedControls& skinnedControls_;
  HINSTANCE instance_ = nullptr;
  platform::CommandTable commands_;
  DialogEntryPoints entryPoints_;
  MainWindowHooks hooks_;
  CompanionWindows companions_;
  platform::MenuHandle mainMenu_;  // IDR_MENU; its sub-menu 0 is the main pop-up
  platform::MenuHandle iconMenu_;  // IDR_ICON; its sub-menu 0 is the tray pop-up
  TitleDisplayKeys titleKeys_;
  MediaKeys mediaKeys_;
  OpenDialogApi openDialog_ = SystemOpenDialog();
  // What screen readers and the Tab key find on the face.
  MainWindowAccessibility accessibility_;
  HWND tooltip_ = nullptr;  // owned by the main window, destroyed with it
  UINT handoffMessage_ = 0;
  UINT taskbarCreatedMessage_ = 0;
  bool marquee_ = false;
  bool trayInUse_ = false;
  bool trayWanted_ = false;
  bool topmost_ = false;
  bool dockPlaylist_ = true;
  bool mediaKeysOn_ = true;
  std::string skinName_ = settings::kDefaultSkinName;
  bool savedForExit_ = false;
  // The latest dropped path, waiting for its kPlayDroppedMessage (at most one is queued).
  std::string droppedPath_;
  bool droppedPathPosted_ = false;
  // Hand-offs taken and not yet played, oldest first.
  std::deque<platform::ShellPath> handoffs_;
  bool handoffPosted_ = false;
  bool playingHandoffs_ = false;
  bool playlistVisibleAtMinimize_ = false;

  // The latest position the timer posted; at most one kPositionMessage waits in the
  // queue, so a busy user-interface thread never finds it flooded.
  struct PostedPosition {
    std::int64_t position = 0;
    unsigned generation = 0;
    bool pending = false;
  };
  std::mutex postedLock_;
  PostedPosition posted_;
};

}  // namespace kestrun::app
