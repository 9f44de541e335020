// The playlist window (IDD_LISTDLG): its list control shows the playlist's rows,
// which live in memory behind it (MemoryRowStore, shown by RowListView). Created hidden at start-up, filled from the
// saved playlist; closing it hides it. Its commands come from the menu bar, the right-click menu and letter keys on the
// list; rows are added by dialogs, folder scans and files dropped on the list, and reordered by header clicks, the move
// commands and row drags. The long commands run on worker threads through a BulkRunner, and row drags are a
// RowDragger's; the window dispatches to them and to its commands.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/command_table.h"
#include "platform/companion_dialog_win.h"
#include "platform/drop_target_win.h"
#include "platform/modeless_dialog_win.h"
#include "platform/shell_path_win.h"
#include "platform/win32_handles_win.h"
#include "playlist/bulk_runner_win.h"
#include "playlist/entry_tags.h"
#include "playlist/playlist_host.h"
#include "playlist/row_drag_win.h"
#include "playlist/row_order.h"
#include "playlist/row_store.h"
#include "settings/player_settings.h"

namespace kestrun::playlist {

class MemoryRowStore;
class RowListView;

// The automatic playlist in the application directory.
inline constexpr char kDefaultPlaylistName[] = "\\default.m3u";
// The question before all rows are removed, and its caption.
extern const char kRemoveAllQuestion[];
extern const char kRemoveAllCaption[];
// Shown when an add-files selection holds more names than the dialog's buffer.
extern const char kTooManyFilesMessage[];
// The folder browser's prompt.
extern const char kChooseFolderPrompt[];

class PlaylistWindow final : public platform::CompanionDialog {
 public:
  PlaylistWindow();
  ~PlaylistWindow() override;

  // Creates the window hidden, sets up its list control and loads the saved
  // playlist of appDirectory; errors are shown owned by mainWindow. host plays
  // rows, measures lengths, opens the tag editor and edits the rename pattern
  // (null: those commands do nothing); router lets the long commands hand messages to the dialogs.
  HWND Create(HINSTANCE instance, HWND mainWindow, const std::string& appDirectory, PlaylistHost* host = nullptr,
              platform::DialogRouter* router = nullptr);

  HWND list() const { return list_; }
  // The rows; null when the window could not be made.
  RowStore* rows() const;
  // The right-click menu (first sub-menu of the "POPUP" resource).
  HMENU popup() const { return popupMenu_ ? GetSubMenu(popupMenu_.get(), 0) : nullptr; }
  // Saves the rows as the automatic playlist.
  void SaveDefaultPlaylist(HWND mainWindow, const std::string& appDirectory) const;
  // The program is ending: the files of drops still waiting for a run's end are
  // added now (folders with their own media files, as far as limitMs allows;
  // playlist files that cannot be read are left out without a message box), so
  // the exit save holds them.
  void AddWaitingDropsForExit(int limitMs);
  // The program is ending: the long command's workers are cancelled and waited
  // for at most limitMs (what they found is not applied).
  void StopWorkersForExit(int limitMs) { runner_.StopWorkers(limitMs); }
  // Moves the window so its top-left corner is the main window's bottom-left corner.
  void DockUnder(HWND mainWindow) const;

  // The window's share of the settings: the column order and the tag choices
  // (playlist_window_settings_win.cpp). Gathering reads the column order from the
  // list itself.
  void ApplySettings(const settings::PlayerSettings& loaded);
  void GatherSettings(settings::PlayerSettings& saved) const;
  // The tag choices of the moment; the engine and the tag editor follow them too.
  const PlaylistPreferences& preferences() const { return preferences_; }

  // The column order: entry i is the column shown
  // at place i.
  void ApplyColumnOrder(const std::array<int, kColumnCount>& order);
  // The order the list shows now; nothing when it cannot be read.
  std::optional<std::array<int, kColumnCount>> ColumnOrder() const;
  // The marks of "always read tags" and of the tag source in the right-click menu.
  void ShowAlwaysTagRead(bool on);
  void ShowTagSource(bool alwaysId3v1);
  // The check mark of "Unicode・ID3v2.4タグも読む".
  void ShowUnicodeTags(bool on);

  platform::CommandTable& commands() { return commands_; }
  bool topmost() const { return topmost_; }
  // A long command (tags, lengths, adding) is walking the rows.
  bool busy() const { return runner_.running(); }
  // Stops the long command under way (Esc, the close button); what its workers
  // still deliver lands only on rows that still hold the file they read.
  void CancelRun();
  const SortDirections& sortDirections() const { return sortDirections_; }
  bool dragging() const { return dragger_.dragging(); }

  // Adds a folder's media files (tree: and those of all folders below it), then
  // reads the new rows' tags when "AlwaysTagRead" is on. A worker thread scans;
  // the rows arrive in batches in scan order while the windows stay responsive.
  // Refused while another long command runs.
  void AddFolder(const std::string& folder, bool tree);
  // Appends paths as rows, then reads their tags when "AlwaysTagRead" is on.
  void AddFiles(const std::vector<std::string>& paths);
  // The files dropped on the list, in their order: folders add their own media
  // files (scanned by a worker, as "Add folder" does: Esc stops it), ".m3u" files
  // their entries, anything else itself. A drop that arrives while a long command
  // runs is added when that command ends.
  // refused: the reason the first of further dropped files was left out (None when
  // none was); it is told once, with whatever the folders add.
  void AddDroppedPaths(const std::vector<std::string>& paths,
                       platform::PathRefusal refused = platform::PathRefusal::None);

  // Appends the rows of a playlist file.
  void LoadPlaylist(const std::string& path);
  // A header click: toggles the column's direction and sorts by it.
  void SortByColumn(int column);
  // Moves the selected rows one place up (step -1) or down (+1).
  void MoveSelection(int step);
  // The title lookup of the tag commands, with the "AlwaysID3v1" choice of the
  // moment; the engine uses it for the row that starts playing.
  TitleLookup Lookup() const;

 private:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  void SetUpList(HINSTANCE instance);
  // The list moved to a monitor of dpi: every column's width scaled from the old one.
  void RescaleColumns(int dpi);
  // What a command needs before it runs: nothing, the rows, or the rows and no long
  // command under way. Commands that change the rows or walk them are refused, not
  // queued, while a long command runs: they would pull the rows from under its
  // walk, and nothing should happen later that the user no longer expects.
  enum class Needs { Nothing, Rows, IdleRows };
  void AddCommand(std::initializer_list<int> ids, Needs needs, std::function<void(int id)> action);
  bool Allowed(Needs needs) const;
  void RegisterCommands();
  bool OnNotify(const NMHDR& header, INT_PTR& result);
  void Hide();
  void PlayFirstSelected();
  void RemoveAll();
  void ToggleTopmost();
  void OpenPlaylist();
  void SavePlaylist(bool extended);
  void AddFilesByDialog();
  void AddFolderByBrowser(bool tree);
  // Tells once that files were left out because their paths were refused.
  void ShowRefusal(platform::PathRefusal refusal);
  // An error box owned by this window.
  void ShowError(const char* text);
  void OpenTagEditor();
  void SetAlwaysId3v1(bool on);
  // The system's conversion when "UnicodeTags" is on, else none.
  tags::AnsiFromUtf16 UnicodeConverter() const;
  void ReadTagsFrom(int first);
  // A long command has ended: its refusals are told (a drop's once, at the drop's
  // end) and the drops that waited for it are added.
  void OnRunEnded(const BulkRunner::Ending& ending);
  // Adds the waiting drops in order while no long command runs; a dropped folder
  // starts a scan, and the rest of its drop follows when the scan has ended.
  void ContinueDrops();
  // WM_DESTROY (also when the destructor destroys the window): workers stop, a
  // drag ends, the list's handler comes off.
  void TearDown();

  // The list control's own messages (keys, dropped files, the row drag).
  static LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                   DWORD_PTR data);
  bool OnListMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  // The list's drop target (platform::kDropMessage): files dragged onto it with the
  // system's drag and drop are queued as a drop and added once the drag has ended.
  void OnListDrop(WPARAM event, platform::DropInfo* info);

  HWND list_ = nullptr;
  int columnDpi_ = 96;  // the DPI the list's column widths are measured at
  HWND mainWindow_ = nullptr;
  std::unique_ptr<MemoryRowStore> rows_;
  std::unique_ptr<RowListView> view_;  // the list control showing rows_
  platform::MenuHandle popupMenu_;
  platform::WindowSubclass listHandler_;
  platform::CommandTable commands_;
  PlaylistHost* host_ = nullptr;
  PlaylistPreferences preferences_;
  // The order last applied: what is saved when the list cannot be read.
  std::array<int, kColumnCount> appliedColumnOrder_{0, 1, 2, 3};
  bool topmost_ = false;
  bool addingDrops_ = false;      // ContinueDrops is on the stack (a message box inside a drop)
  bool listDropTarget_ = false;   // the list is registered as a drop target
  bool dragOffersFiles_ = false;  // the drag over the list carries a file list
  BulkRunner runner_;
  RowDragger dragger_;
  SortDirections sortDirections_;
};

}  // namespace kestrun::playlist
