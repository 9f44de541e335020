// The playlist window (IDD_LISTDLG): its list control shows the playlist's rows,
// which live in memory behind it (MemoryRowStore, shown by RowListView). Created hidden at start-up, filled from the saved playlist; closing it
// hides it. Its commands come from the menu bar, the right-click menu and letter
// keys on the list; rows are added by dialogs, folder scans and files dropped on
// the list, and reordered by header clicks, the move commands and row drags.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/command_table.h"
#include "platform/companion_dialog_win.h"
#include "platform/modeless_dialog_win.h"
#include "platform/shell_path_win.h"
#include "platform/win32_handles.h"
#include "playlist/bulk_run.h"
#include "playlist/entry_tags.h"
#include "playlist/playlist_host.h"
#include "playlist/folder_scan_win.h"
#include "playlist/row_order.h"
#include "playlist/row_store.h"
#include "playlist/row_work.h"
#include "settings/player_settings.h"

namespace kestrun::playlist {

class RedrawPause;
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
  bool busy() const { return bulk_.running(); }
  // Stops the long command under way (Esc, the close button); what its workers
  // still deliver lands only on rows that still hold the file they read.
  void CancelRun();
  const SortDirections& sortDirections() const { return sortDirections_; }
  bool dragging() const { return drag_.dragging; }

  // Adds a folder's media files (tree: and those of all folders below it), then
  // reads the new rows' tags when "AlwaysTagRead" is on. A worker thread scans;
  // the rows arrive in batches in scan order while the windows stay responsive.
  // Refused while another long command runs.
  void AddFolder(const std::string& folder, bool tree);
  // Appends paths as rows, then reads their tags when "AlwaysTagRead" is on.
  void AddFiles(const std::vector<std::string>& paths);
  // The files dropped on the list: folders add their own media files, ".m3u"
  // files their entries, anything else itself. A drop that arrives while a long
  // command runs is added when that command ends.
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
  // The list's focused row and selection anchor (-1 for none), which it keeps by index.
  std::array<int, 2> ListMarks() const;
  void SetListMarks(const std::array<int, 2>& marks);

  // The per-row operations the commands apply.
  void ReadTags(int row);
  void MeasureLength(int row);
  // The title lookup of the tag commands, with the "AlwaysID3v1" choice of the
  // moment; the engine uses it for the row that starts playing.
  TitleLookup Lookup() const;

 private:
  class LongRun;

  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
  void SetUpList(HINSTANCE instance);
  // The list moved to a monitor of dpi: every column's width scaled from the old one.
  void RescaleColumns(int dpi);
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
  void OpenTagEditor();
  void SetAlwaysId3v1(bool on);
  // The system's conversion when "UnicodeTags" is on, else none.
  tags::AnsiFromUtf16 UnicodeConverter() const;
  // Reads the tags or measures the lengths of the rows of walk on worker threads.
  enum class RunKind { Adding, Tags, Lengths };
  void RunBulk(const std::vector<int>& walk, RunKind kind);
  void ReadTagsFrom(int first);
  // A worker run: the rows' mark against other long commands, the progress in the
  // caption, and a timer that applies what the workers found.
  void StartRun(RunKind kind, std::unique_ptr<RowWork> work);
  void OnWorkTimer();
  // Applies what a work delivered; false once it has ended.
  bool ApplyWork(RowWork& work, bool current);
  void EndRun();
  // Adds the drops that arrived during a run, once none runs.
  void TakeWaitingDrops();
  void ShowProgress();
  RowWork::Operation TagOperation() const;
  RowWork::Operation LengthOperation() const;
  // Hands one waiting message to its window; false when the list is gone or the
  // program is quitting.
  bool PumpOneMessage();
  // Hands every waiting message out when the last time is some milliseconds ago.
  bool PumpNowAndThen();

  // The list control's own messages (keys, dropped files, the row drag).
  static LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                   DWORD_PTR data);
  bool OnListMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void BeginDrag(int row);
  void DragMove(POINT client);
  void ScrollWhileDragging(int pixels);
  void EndDrag(POINT client);
  void CancelDrag();
  void SetTrackSelect(bool on);

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
  platform::DialogRouter* router_ = nullptr;
  bool topmost_ = false;
  BulkRun bulk_;
  // The run under way, and cancelled runs whose workers are still finishing.
  std::unique_ptr<RowWork> work_;
  std::vector<std::unique_ptr<RowWork>> retired_;
  std::unique_ptr<BulkRun::Scope> runMark_;
  RunKind runKind_ = RunKind::Tags;
  bool tagNewRows_ = false;      // the rows a scan adds get their tags read too
  bool inputClosed_ = false;     // every job of the run has been handed to the workers
  int rowsAdded_ = 0;
  std::string savedCaption_;
  bool progressShown_ = false;
  DWORD lastCaption_ = 0;
  std::shared_ptr<ScanRefusals> scanRefusals_;
  std::vector<std::pair<std::vector<std::string>, platform::PathRefusal>> waitingDrops_;
  RedrawPause* redrawPause_ = nullptr;  // the list's redrawing held by a long command
  int redrawDepth_ = 0;
  DWORD lastPump_ = 0;
  SortDirections sortDirections_;
  RowDrag drag_;
  bool dropAllowed_ = false;
  int scrollDebt_ = 0;  // scroll pixels asked for while dragging, not yet a whole row
  HCURSOR dragCursor_ = nullptr;
};

}  // namespace kestrun::playlist
