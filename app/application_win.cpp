#include "app/application_win.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <utility>

#include "platform/ansi_text.h"
#include "platform/limits.h"
#include "platform/modal_guard_win.h"
#include "platform/shell_path_win.h"
#include "playback/media_length_win.h"
#include "playlist/playlist_entry.h"
#include "resources/menu_ids.h"
#include "settings/player_settings_registry_win.h"
#include "shell/volume_mixer_win.h"
#include "shell/windows_shutdown_win.h"
#include "tags/editor/rename_pattern_dialog_win.h"

namespace kestrun::app {
namespace {

// The longest the exit spends on each of its waits: adding dropped folders, and the
// playlist's workers ending. A path that never answers must not keep a hidden
// process (and its single-instance mutex and locked files) alive.
constexpr int kExitWaitMs = 2000;

// What the playlist window asks of the player: the engine plays its rows, the main
// window takes the focus back, a graph measures lengths, the tag editor opens.
class ApplicationPlaylistHost final : public playlist::PlaylistHost {
 public:
  ApplicationPlaylistHost(HINSTANCE instance, playback::PlaybackController& engine, MainWindow& main,
                          playlist::PlaylistWindow& playlist, tags::TagEditorDialog& tagEditor)
      : instance_(instance), engine_(engine), main_(main), playlist_(playlist), tagEditor_(tagEditor) {}

  void PlayRow(int row, const std::string& path) override { engine_.PlayRow(row, path); }
  void FocusMainTitle() override { main_.FocusTitle(); }
  std::optional<std::int64_t> MeasureDuration(const std::string& path) override {
    return playback::MeasureMediaDuration(path.c_str());
  }
  void OpenTagEditor(const std::string& path) override {
    tags::OpenTagEditor(tagEditor_, path.empty() ? std::nullopt : std::optional<std::string>(path));
  }
  void EditRenamePattern(std::string& pattern) override {
    tags::EditRenamePattern(instance_, playlist_.window(), pattern);
  }

 private:
  HINSTANCE instance_;
  playback::PlaybackController& engine_;
  MainWindow& main_;
  playlist::PlaylistWindow& playlist_;
  tags::TagEditorDialog& tagEditor_;
};

}  // namespace

Application::Application(HINSTANCE instance, std::string appDirectory)
    : instance_(instance),
      appDirectory_(std::move(appDirectory)),
      main_(engine_, skin_, skinnedControls_),
      session_(main_),
      positionTimer_([this] { engine_.UpdatePosition(); }),
      engine_(session_, main_, positionTimer_),
      skin_(appDirectory_),
      skinnedControls_(skin_, engine_),
      videoView_(engine_, session_, session_, appDirectory_),
      filterList_(session_),
      equalizerDialog_(engine_.options(),
                       [this] {
                         const playback::EqualizerAccess& access = session_;
                         return static_cast<IUnknown*>(access.Equalizer());
                       }),
      playlistHost_(std::make_unique<ApplicationPlaylistHost>(instance_, engine_, main_, playlist_, tagEditor_)),
      associationDialog_(classRoot_, associationBackup_, shell::ModulePath()),
      aboutDialog_(appDirectory_),
      volumeDialog_([] { return std::make_unique<shell::SpeakerVolume>(); }),
      sleepClock_(shell::SystemUptimeMs),
      sleepTimerDialog_([this] { return sleepClock_(); }, [this](bool shutdown) { return SleepExpired(shutdown); }),
      windowsShutdown_([] { shell::RequestWindowsShutdown(); }) {
  Wire();
}

void Application::Wire() {
  MainWindowHooks& hooks = main_.hooks();
  hooks.startUp = [this] { RunStartupSequence(); };
  hooks.shutDown = [this] { RunShutdownSequence(); };
  hooks.saveForExit = [this] {
    // Files dropped while a long command ran are still waiting for its end: they
    // belong in the saved list.
    playlist_.AddWaitingDropsForExit(kExitWaitMs);
    playlist_.SaveDefaultPlaylist(main_.window(), appDirectory_);
    SaveSettings();
    // Saved first, so a worker that never answers costs nothing; then the workers
    // end before the graph, the filters and the COM apartment go (their graphs
    // share the sound device with the player's).
    playlist_.StopWorkersForExit(kExitWaitMs);
  };
  hooks.hideCompanions = [this] { HideAuxiliaryWindows(); };
  CompanionWindows& companions = main_.companions();
  companions.playlist = [this] { return playlist_.window(); };
  companions.dockPlaylist = [this](HWND mainWindow) { playlist_.DockUnder(mainWindow); };
  companions.video = [this] { return videoView_.window(); };

  DialogEntryPoints& entries = main_.entryPoints();
  entries.skin = [this](int index) { main_.SelectSkin(index); };
  entries.associations = [this] { associationDialog_.Show(instance_, main_.window()); };
  entries.volume = [this] { volumeDialog_.Open(instance_, &router_); };
  entries.about = [this] { aboutDialog_.Show(instance_, main_.window()); };
  entries.sleepTimer = [this] { sleepTimerDialog_.Open(instance_, &router_); };
  entries.equalizer = [this] { equalizerDialog_.ToggleVisible(); };
  playback::VideoViewHost viewHost;
  viewHost.mainWindow = [this] { return main_.window(); };
  viewHost.mainTopmost = [this] { return main_.topmost(); };
  viewHost.showTitleText = [this](const std::string& text) { main_.ShowTitleText(text); };
  viewHost.playDroppedPath = [this](const char* path) { main_.PlayDroppedPath(path); };
  videoView_.SetHost(std::move(viewHost));
  // The main window's title follows the playlist's "AlwaysID3v1" choice.
  engine_.SetAlwaysId3v1Source([this] { return playlist_.preferences().alwaysId3v1.value_or(false); });
  // A row that starts playing reads its title and artist as the tag commands do.
  engine_.SetRowTitleLookup([this](const std::string& path, std::string& title, std::string& artist) {
    playlist_.Lookup()(path, title, artist);
  });
  // Titles everywhere read Unicode tag texts while the playlist's choice is on.
  auto unicodeTags = [this] { return playlist_.preferences().unicodeTags ? tags::SystemAnsiFromUtf16 : nullptr; };
  engine_.SetUnicodeTagsSource(unicodeTags);
  tagEditor_.SetUnicodeTagsSource(unicodeTags);
  // Every new video is sized by the view's zoom setting.
  session_.SetVideoStartedHook([this] { videoView_.ApplyZoomSetting(); });
}

bool Application::SleepExpired(bool shutdownWindows) {
  HWND main = main_.window();
  if (main == nullptr) return true;
  // A modal dialog runs its own loop on this thread with the main window (or a window
  // the main window owns) below it: a close handled in that loop would destroy the
  // dialog's owner and the parts its code still uses. The dialog is cancelled first and
  // the close waits for its end; a box the player shows without the turn (its owner
  // then disabled) is waited for.
  if (platform::ModalTurn::Taken() || !IsWindowEnabled(main)) {
    platform::ModalTurn::CancelOpenDialog();
    return false;
  }
  shutdownAfterClose_ = shutdownWindows;
  PostMessageA(main, WM_CLOSE, 0, 0);
  return true;
}

Application::~Application() {
  // A main window still open (a test that never closed it) goes through the same
  // shutdown as a closing one.
  main_.Destroy();
  positionTimer_.Stop();
}

HWND Application::CreateMainWindow() { return main_.Create(instance_, router_); }

int Application::RunMessageLoop() {
  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    if (router_.Route(message)) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return static_cast<int>(message.wParam);
}

void Application::RunStartupSequence() {
  InitCommonControls();
  // Every window of the player passes the media keys it leaves alone to the main window.
  router_.SetAppCommandWindow(main_.window());
  main_.SetUpControls();
  main_.RegisterDropTarget();
  skinnedControls_.LayOut(main_.window());

  apartment_.emplace();
  session_.CreateOrRegisterEqualizer(appDirectory_.c_str());
  playback::FillEffectTable(session_.effects());

  // The long-lived companion windows, hidden; the playlist restores the saved list.
  playlist_.Create(instance_, main_.window(), appDirectory_, playlistHost_.get(), &router_);
  if (playlist_.window() != nullptr) tagEditor_.Create(instance_, router_);
  engine_.AttachPlaylist(playlist_.rows());
  videoView_.Create(instance_, &router_);
  videoView_.RegisterDropTarget();
  filterList_.Create(instance_, router_);
  equalizerDialog_.Create(instance_, router_);
  ConnectEqualizerWindows();

  main_.InstallTitleKeys();
  main_.LoadMenus();
  skin_.BuildMenu(main_.settingsMenu());
  skin_.LoadDefault(main_.window());
  main_.ApplySkinColours();
  std::srand(GetTickCount());

  const bool fileGiven = !startupPath_.empty();
  LoadSettings(fileGiven);
  if (fileGiven) {
    engine_.OpenAndPlay(startupPath_);
    if (videoView_.window() != nullptr) InvalidateRect(videoView_.window(), nullptr, TRUE);
  } else if (commandLineRefusal_ != platform::PathRefusal::None) {
    main_.ShowTitleText(platform::RefusalMessage(commandLineRefusal_));
  }

  main_.CreateTooltips();
  // The playlist's list takes files through a drop target of its own.
  DragAcceptFiles(main_.window(), TRUE);
  if (videoView_.window() != nullptr) DragAcceptFiles(videoView_.window(), TRUE);
  equalizerDialog_.Synchronize();
  main_.FocusTitle();
}

// The effect dialog (IDM_EFFECTS), the filters-in-use toggle (IDM_FILTERS), the equalizer line of
// the filter list and the refill after each graph build.
void Application::ConnectEqualizerWindows() {
  filterList_.Connect(main_.window(), [this] { equalizerDialog_.ToggleVisible(); });
  session_.SetGraphBuiltHook([this] { filterList_.RefillIfVisible(); });
  main_.entryPoints().effects = [this] {
    equalizer::ShowEffectDialog(instance_, main_.window(), session_.effects(), [this] {
      equalizerDialog_.ToggleVisible();
      return equalizerDialog_.IsVisible();
    });
  };
  main_.entryPoints().filterList = [this] { filterList_.Toggle(); };
}

void Application::RunShutdownSequence() {
  // A window destroyed without closing (never by the user) still ends the playlist's
  // workers first and then playback.
  playlist_.StopWorkersForExit(kExitWaitMs);
  engine_.StopAndClose();
  positionTimer_.Stop();
  engine_.AttachPlaylist(nullptr);
  session_.SetGraphBuiltHook(nullptr);
  session_.ReleaseFilters();
  apartment_.reset();
  main_.ReleaseResources();
  router_.SetAppCommandWindow(nullptr);
  skinnedControls_.Release();
  skin_.Free();
  videoView_.RevokeDropTarget();
  videoView_.Destroy();
  filterList_.Destroy();
  equalizerDialog_.Destroy();
  tagEditor_.Destroy();
  playlist_.Destroy();
  volumeDialog_.Destroy();
  sleepTimerDialog_.Destroy();
  // Asked for only once the close has saved the playlist and the settings: the system
  // may end the process soon after the request.
  if (std::exchange(shutdownAfterClose_, false) && windowsShutdown_) windowsShutdown_();
  PostQuitMessage(0);
}

void Application::HideAuxiliaryWindows() {
  volumeDialog_.HideIfVisible();
  sleepTimerDialog_.HideIfVisible();
  // The playlist is closed as its own close button would; the others are hidden.
  if (HWND playlist = playlist_.window(); playlist != nullptr && IsWindowVisible(playlist)) {
    SendMessageA(playlist, WM_CLOSE, 0, 0);
  }
  for (HWND window : {tagEditor_.window(), filterList_.window(), equalizerDialog_.window()}) {
    if (window != nullptr && IsWindowVisible(window)) ShowWindow(window, SW_HIDE);
  }
}

void Application::LoadSettings(bool fileGiven) {
  const settings::PlayerSettings loaded = settings::LoadSettings(fileGiven, engine_.options().bands);
  // Each part applies its own values, the parts in the order their first value is
  // stored: the engine, the main window, the playlist, the video view, and the skin
  // last (it repaints everything).
  engine_.ApplySettings(loaded, fileGiven);
  main_.ApplySettings(loaded);
  playlist_.ApplySettings(loaded);
  videoView_.ApplySettings(loaded);
  main_.ApplySkinSetting(loaded.skinName);
}

void Application::SaveSettings() {
  settings::PlayerSettings saved;
  // The equalizer window's check boxes are what the user set.
  equalizerDialog_.CollectSwitches(engine_.options());
  engine_.GatherSettings(saved);
  main_.GatherSettings(saved);
  playlist_.GatherSettings(saved);
  settings::SaveSettings(saved);
}

}  // namespace kestrun::app
