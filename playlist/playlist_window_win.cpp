#include "playlist/playlist_window_win.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <iterator>
#include <utility>

#include "platform/ansi_text.h"
#include "platform/dpi_win.h"
#include "platform/drop_target_win.h"
#include "platform/limits.h"
#include "platform/modal_guard_win.h"
#include "platform/shared_texts.h"
#include "platform/win32_handles_win.h"
#include "playlist/m3u_file.h"
#include "playlist/media_files.h"
#include "playlist/memory_row_store.h"
#include "playlist/playlist_entry.h"
#include "playlist/playlist_file_dialogs_win.h"
#include "playlist/playlist_file_errors_win.h"
#include "playlist/row_list_view_win.h"
#include "playlist/tag_commands.h"
#include "resources/menu_ids.h"
#include "resources/resource_ids.h"

namespace kestrun::playlist {

const char kRemoveAllQuestion[] = "リスト内のアイテムを全て削除してもよろしいですか？";
const char kRemoveAllCaption[] = "確認";
const char kTooManyFilesMessage[] = "選択されたファイルが多すぎます。数回に分けて追加してください。";
const char kChooseFolderPrompt[] = "フォルダを選択してください";

namespace {

constexpr char kDragCursorName[] = "DRAG_CURSOR";
constexpr UINT_PTR kListHandlerId = 1;
// Posted to the list after a drop was queued: the files are added once the drag has
// ended, outside the drop call (which holds the dragging program until it returns).
constexpr UINT kAddQueuedDropsMessage = WM_APP + 0x21;
// What the list takes from the system's drag and drop: a file list.
constexpr UINT kListDropFormats[] = {CF_HDROP};
struct ColumnSpec {
  const char* header;
  int width;
};
// The playlist's four columns: path, title, artist, length.
constexpr ColumnSpec kColumns[] = {{"ファイル名", 200}, {"タイトル", 100}, {"アーティスト", 90}, {"演奏時間", 60}};

// Letter keys on the list and the commands they send; P plays as a double-click does.
struct LetterKey {
  char key;
  int command;
};
constexpr LetterKey kLetterKeys[] = {
    {'A', IDM_LIST_REMOVE_ALL},    {'C', IDM_LIST_CLOSE},
    {'D', IDM_LIST_MOVE_DOWN},     {'E', IDM_TAGS_READ_ALL},
    {'I', IDM_TAG_EDITOR},         {'N', IDM_LIST_SAVE_PLAIN_M3U},
    {'O', IDM_LIST_OPEN},          {'P', IDM_PLAY},
    {'Q', IDM_LENGTH_SELECTED},    {'R', IDM_LIST_REMOVE_SELECTED},
    {'S', IDM_TAGS_READ_SELECTED}, {'U', IDM_LIST_MOVE_UP},
    {'W', IDM_LENGTH_ALL},         {'X', IDM_LIST_SAVE_EXTENDED_M3U},
};

// The cursor while the window adds a drop's files itself; the arrow comes back
// when it is done.
class WaitCursor {
 public:
  WaitCursor() { SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }
  ~WaitCursor() { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

void CheckItem(HMENU menu, int id, bool checked) {
  if (menu != nullptr) CheckMenuItem(menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

}  // namespace

PlaylistWindow::PlaylistWindow() { RegisterCommands(); }

// The window's WM_DESTROY tears down; a window that still exists is destroyed here
// while this object can still see that message.
PlaylistWindow::~PlaylistWindow() { Destroy(); }

void PlaylistWindow::TearDown() {
  // The program is closing: the workers stop (before the rows they report to go)
  // and what they found is not applied.
  runner_.Detach();
  dragger_.Detach();
  // The drop target names the list: it goes before the list does.
  if (listDropTarget_) platform::revokeDropTarget(list_);
  listDropTarget_ = false;
  // The list's handler must be off before the window goes.
  listHandler_.Remove();
  list_ = nullptr;
  // The rows outlive the window (the automatic playlist is saved after it).
  view_.reset();
}

RowStore* PlaylistWindow::rows() const { return rows_.get(); }

HWND PlaylistWindow::Create(HINSTANCE instance, HWND mainWindow, const std::string& appDirectory, PlaylistHost* host,
                            platform::DialogRouter* router) {
  host_ = host;
  mainWindow_ = mainWindow;
  if (CreateHidden(instance, "IDD_LISTDLG", nullptr, router) == nullptr) return nullptr;
  list_ = GetDlgItem(window(), IDC_PLAYLIST_LIST);
  if (list_ == nullptr) return window();
  topmost_ = false;
  SetUpList(instance);
  const std::string saved = appDirectory + kDefaultPlaylistName;
  if (GetFileAttributesA(saved.c_str()) != INVALID_FILE_ATTRIBUTES) {
    // The list is told the new row count once, after the whole file is in.
    const RowListView::Hold hold(view_.get());
    WindowPlaylistFileErrors errors(mainWindow);
    loadPlaylistFile(*rows_, saved, errors);
  }
  return window();
}

void PlaylistWindow::SetUpList(HINSTANCE instance) {
  int index = 0;
  // The widths are given for 96 DPI and grow with the monitor's DPI, as the dialog does.
  const int dpi = platform::WindowDpi(window());
  columnDpi_ = dpi;
  for (const auto& column : kColumns) {
    LVCOLUMNA header{};
    header.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    header.fmt = LVCFMT_LEFT;
    header.cx = platform::ScaleFromDefaultDpi(column.width, dpi);
    header.pszText = const_cast<char*>(column.header);
    header.iSubItem = index;
    SendMessageA(list_, LVM_INSERTCOLUMNA, index++, reinterpret_cast<LPARAM>(&header));
  }
  const LPARAM styles = LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT;
  SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
  // The list asks for what it shows (it is made with LVS_OWNERDATA).
  rows_ = std::make_unique<MemoryRowStore>();
  view_ = std::make_unique<RowListView>(list_, *rows_);
  popupMenu_.reset(LoadMenuA(instance, "POPUP"));
  runner_.Attach(window(), *rows_, view_.get(), [this](const BulkRunner::Ending& ending) { OnRunEnded(ending); });
  dragger_.Attach(list_, *rows_, view_.get(), LoadCursorA(instance, kDragCursorName));
  listHandler_.Install(list_, &PlaylistWindow::ListProc, kListHandlerId, reinterpret_cast<DWORD_PTR>(this));
  // Files come through the system's drag and drop, which carries the file list into this
  // process. A list that only accepts WM_DROPFILES is not reached by every drag from
  // another process (Wine's drag and drop refuses it: no data fetched, no effect), and a
  // WM_DROPFILES posted by another process names a memory block of that process.
  // WM_DROPFILES stays the way in only where the target cannot be registered.
  listDropTarget_ = platform::registerDropTarget(list_, platform::kDropMessage, kListDropFormats,
                                                 static_cast<int>(std::size(kListDropFormats)));
  if (!listDropTarget_) DragAcceptFiles(list_, TRUE);
}

void PlaylistWindow::RescaleColumns(int dpi) {
  if (list_ == nullptr || dpi <= 0 || dpi == columnDpi_) return;
  for (int index = 0; index < static_cast<int>(std::size(kColumns)); ++index) {
    const int width = static_cast<int>(SendMessageA(list_, LVM_GETCOLUMNWIDTH, index, 0));
    SendMessageA(list_, LVM_SETCOLUMNWIDTH, index, MulDiv(width, dpi, columnDpi_));
  }
  columnDpi_ = dpi;
}

bool PlaylistWindow::Allowed(Needs needs) const {
  switch (needs) {
    case Needs::Nothing:
      return true;
    case Needs::Rows:
      return rows_ != nullptr;
    case Needs::IdleRows:
      return rows_ != nullptr && !runner_.running();
  }
  return false;
}

void PlaylistWindow::AddCommand(std::initializer_list<int> ids, Needs needs, std::function<void(int id)> action) {
  commands_.Add(ids, [this, needs, action = std::move(action)](int id) {
    if (Allowed(needs)) action(id);
  });
}

void PlaylistWindow::RegisterCommands() {
  const auto run = [this](void (PlaylistWindow::*action)()) { return [this, action](int) { (this->*action)(); }; };
  AddCommand({IDM_PLAY}, Needs::Rows, run(&PlaylistWindow::PlayFirstSelected));
  AddCommand({IDM_LIST_MOVE_DOWN, IDM_LIST_MOVE_DOWN_BAR}, Needs::IdleRows, [this](int) { MoveSelection(+1); });
  AddCommand({IDM_LIST_MOVE_UP, IDM_LIST_MOVE_UP_BAR}, Needs::IdleRows, [this](int) { MoveSelection(-1); });
  // Closing (the menu, the C key, the close button) stops a long command as well.
  AddCommand({IDM_LIST_CLOSE}, Needs::Nothing, [this](int) {
    CancelRun();
    Hide();
  });
  AddCommand({IDM_LIST_ADD_FILES}, Needs::IdleRows, run(&PlaylistWindow::AddFilesByDialog));
  AddCommand({IDM_LIST_ADD_FOLDER}, Needs::IdleRows, [this](int) { AddFolderByBrowser(false); });
  AddCommand({IDM_LIST_ADD_FOLDER_TREE}, Needs::IdleRows, [this](int) { AddFolderByBrowser(true); });
  AddCommand({IDM_LIST_OPEN}, Needs::IdleRows, run(&PlaylistWindow::OpenPlaylist));
  AddCommand({IDM_LIST_SAVE_EXTENDED_M3U}, Needs::Rows, [this](int) { SavePlaylist(true); });
  AddCommand({IDM_LIST_SAVE_PLAIN_M3U}, Needs::Rows, [this](int) { SavePlaylist(false); });
  // One pass over the rows, however many are selected.
  AddCommand({IDM_LIST_REMOVE_SELECTED}, Needs::IdleRows, [this](int) { rows_->DeleteSelectedRows(); });
  AddCommand({IDM_LIST_REMOVE_ALL}, Needs::IdleRows, run(&PlaylistWindow::RemoveAll));
  AddCommand({IDM_LIST_TOPMOST}, Needs::Nothing, run(&PlaylistWindow::ToggleTopmost));
  AddCommand({IDM_TAGS_READ_SELECTED}, Needs::IdleRows,
             [this](int) { runner_.ReadTags(SelectedRows(*rows_), Lookup()); });
  AddCommand({IDM_TAGS_READ_ALL}, Needs::IdleRows, [this](int) { runner_.ReadTags(AllRows(*rows_), Lookup()); });
  const auto measure = [this](bool selectedOnly) {
    return [this, selectedOnly](int) {
      if (host_ == nullptr) return;
      PlaylistHost* host = host_;
      runner_.MeasureLengths(selectedOnly ? SelectedRows(*rows_) : AllRows(*rows_),
                             [host](const std::string& path) { return host->MeasureDuration(path); });
    };
  };
  AddCommand({IDM_LENGTH_SELECTED}, Needs::IdleRows, measure(true));
  AddCommand({IDM_LENGTH_ALL}, Needs::IdleRows, measure(false));
  // Esc in the window (the dialog turns it into IDCANCEL) stops a long command.
  AddCommand({IDCANCEL}, Needs::Nothing, [this](int) { CancelRun(); });
  AddCommand({IDM_TAG_AUTO}, Needs::Nothing, [this](int) { SetAlwaysId3v1(false); });
  AddCommand({IDM_TAG_ALWAYS_ID3V1}, Needs::Nothing, [this](int) { SetAlwaysId3v1(true); });
  AddCommand({IDM_TAG_UNICODE}, Needs::Nothing, [this](int) {
    preferences_.unicodeTags = !preferences_.unicodeTags;
    ShowUnicodeTags(preferences_.unicodeTags);
  });
  AddCommand({IDM_ALWAYS_TAG_READ}, Needs::Nothing, [this](int) {
    preferences_.alwaysTagRead = !preferences_.alwaysTagRead;
    CheckItem(popup(), IDM_ALWAYS_TAG_READ, preferences_.alwaysTagRead);
  });
  AddCommand({IDM_TAG_EDITOR}, Needs::Nothing, run(&PlaylistWindow::OpenTagEditor));
  // Renaming walks the selected rows and changes their paths.
  AddCommand({IDM_RENAME_PAREN_ARTIST_TITLE, IDM_RENAME_TITLE, IDM_RENAME_PAREN_ARTIST_ALBUM_TITLE,
              IDM_RENAME_ARTIST_DASH_TITLE, IDM_RENAME_USER_PATTERN},
             Needs::IdleRows, [this](int id) {
               if (host_ == nullptr) return;
               const std::optional<tags::RenameForm> form = RenameFormForCommand(id);
               if (!form) return;
               HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
               RenameSelectedRows(
                   *rows_, *form,
                   {preferences_.alwaysId3v1.value_or(false), preferences_.renamePattern, UnicodeConverter()});
               SetCursor(previous);
             });
  AddCommand({IDM_RENAME_USER_PATTERN_SETUP}, Needs::Nothing, [this](int) {
    if (host_ != nullptr) host_->EditRenamePattern(preferences_.renamePattern);
  });
}

void PlaylistWindow::SaveDefaultPlaylist(HWND mainWindow, const std::string& appDirectory) const {
  if (!rows_) return;
  WindowPlaylistFileErrors errors(mainWindow);
  saveAutomaticPlaylist(*rows_, appDirectory + kDefaultPlaylistName, errors);
}

void PlaylistWindow::DockUnder(HWND mainWindow) const {
  if (window() == nullptr || mainWindow == nullptr) return;
  RECT main{};
  GetWindowRect(mainWindow, &main);
  SetWindowPos(window(), nullptr, main.left, main.bottom, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  UpdateWindow(window());
}

bool PlaylistWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
  switch (message) {
    case WM_DPICHANGED:
      // On a monitor of another DPI the columns keep their share of the list, widths the
      // user set included. The dialog manager sizes the window itself.
      RescaleColumns(LOWORD(wParam));
      return false;
    case WM_SIZE:
      if (list_ == nullptr) return false;
      // The list fills the window.
      MoveWindow(list_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      result = TRUE;
      return true;
    case WM_CLOSE:
      CancelRun();
      Hide();
      result = TRUE;
      return true;
    case WM_COMMAND:
      commands_.Dispatch(LOWORD(wParam));
      result = TRUE;
      return true;
    case WM_SETCURSOR: {
      // The wait cursor while the window adds a drop's files itself; while workers
      // run in the background, the arrow with the working sign.
      const HCURSOR cursor = runner_.RunCursor();
      if (cursor == nullptr) return false;
      SetCursor(cursor);
      SetWindowLongPtrA(window(), DWLP_MSGRESULT, TRUE);
      result = TRUE;
      return true;
    }
    case WM_NOTIFY:
      if (lParam == 0) return false;
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result);
    case WM_TIMER:
      if (!runner_.OnTimer(wParam)) return false;
      result = TRUE;
      return true;
    case WM_DESTROY:
      TearDown();
      return false;
    default:
      return false;
  }
}

bool PlaylistWindow::OnNotify(const NMHDR& header, INT_PTR& result) {
  if (header.hwndFrom != list_ || rows_ == nullptr) return false;
  LRESULT answer = 0;
  if (view_ != nullptr && view_->OnNotify(header, answer)) {
    // A dialog answers a notification through its message result.
    SetWindowLongPtrA(window(), DWLP_MSGRESULT, answer);
    result = TRUE;
    return true;
  }
  switch (header.code) {
    case NM_DBLCLK:
      PlayFirstSelected();
      return true;
    case NM_RCLICK: {
      POINT cursor{};
      GetCursorPos(&cursor);
      if (HMENU menu = popup()) {
        TrackPopupMenu(menu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window(), nullptr);
        PostMessageA(window(), WM_NULL, 0, 0);
      }
      return true;
    }
    case LVN_COLUMNCLICK:
      SortByColumn(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
      return true;
    case LVN_BEGINDRAG:
      if (Allowed(Needs::IdleRows)) dragger_.Begin(reinterpret_cast<const NMLISTVIEW&>(header).iItem);
      return true;
    default:
      return false;
  }
}

void PlaylistWindow::Hide() {
  if (window() == nullptr) return;
  ShowWindow(window(), SW_HIDE);
  if (host_ != nullptr) host_->FocusMainTitle();
}

void PlaylistWindow::PlayFirstSelected() {
  if (host_ == nullptr) return;
  const int row = rows_->NextSelected(-1);
  if (row < 0) return;
  const std::string path(platform::CutAnsiText(rows_->Cell(row, Column::Path), platform::kPathMaxLength));
  host_->PlayRow(row, path);
}

void PlaylistWindow::RemoveAll() {
  const platform::ModalTurn turn;
  if (!turn) return;
  if (MessageBoxA(window(), kRemoveAllQuestion, kRemoveAllCaption, MB_OKCANCEL) == IDOK) rows_->DeleteAllRows();
}

void PlaylistWindow::ToggleTopmost() {
  topmost_ = !topmost_;
  SetWindowPos(window(), topmost_ ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  CheckItem(GetMenu(window()), IDM_LIST_TOPMOST, topmost_);
  DrawMenuBar(window());
}

void PlaylistWindow::OpenPlaylist() {
  const std::string path = ShowOpenPlaylistDialog(window());
  if (path.empty()) return;
  rows_->DeleteAllRows();
  LoadPlaylist(path);
}

void PlaylistWindow::LoadPlaylist(const std::string& path) {
  if (rows_ == nullptr) return;
  const RowListView::Hold hold(view_.get());
  WindowPlaylistFileErrors errors(mainWindow_);
  loadPlaylistFile(*rows_, path, errors);
}

void PlaylistWindow::MoveSelection(int step) {
  if (!Allowed(Needs::IdleRows)) return;
  // The list keeps its focus and shift-click anchor by index; a selected row that
  // holds one takes it along.
  std::array<int, 2> marks = ListMarks(list_, rows_->RowCount());
  std::array<bool, 2> carried{};
  for (size_t i = 0; i < marks.size(); ++i) carried[i] = marks[i] >= 0 && rows_->IsSelected(marks[i]);
  bool moved = false;
  {
    const RowListView::Hold hold(view_.get());
    moved = step < 0 ? moveSelectedRowsUp(*rows_) : moveSelectedRowsDown(*rows_);
  }
  if (!moved) return;
  for (size_t i = 0; i < marks.size(); ++i) {
    if (carried[i]) marks[i] += step;
  }
  SetListMarks(list_, marks);
}

void PlaylistWindow::SortByColumn(int column) {
  if (!Allowed(Needs::IdleRows)) return;
  // The list keeps its focus and shift-click anchor by index; they follow their
  // rows through the sort, found again by key.
  const int count = rows_->RowCount();
  const auto keyAt = [&](int row) {
    return row >= 0 && row < count ? std::optional<int>(rows_->Key(row)) : std::nullopt;
  };
  const std::optional<int> focusKey = keyAt(ListView_GetNextItem(list_, -1, LVNI_FOCUSED));
  const std::optional<int> anchorKey = keyAt(ListView_GetSelectionMark(list_));
  sortByColumn(*rows_, sortDirections_, column);
  if (focusKey) ListView_SetItemState(list_, rows_->RowOfKey(*focusKey), LVIS_FOCUSED, LVIS_FOCUSED);
  if (anchorKey) ListView_SetSelectionMark(list_, rows_->RowOfKey(*anchorKey));
}

void PlaylistWindow::SavePlaylist(bool extended) {
  const std::string path = ShowSavePlaylistDialog(window());
  if (path.empty()) return;
  WindowPlaylistFileErrors errors(mainWindow_);
  if (extended) {
    saveExtendedM3u(*rows_, path, errors);
  } else {
    savePlainM3u(*rows_, path, errors);
  }
}

void PlaylistWindow::AddFilesByDialog() {
  const FileSelection selection = ShowAddFilesDialog(window(), kAddFilesBufferSize);
  if (selection.tooMany) {
    ShowError(kTooManyFilesMessage);
    return;
  }
  if (!selection.chosen) return;
  AddFiles(selection.paths);
  ShowRefusal(selection.refused);
}

void PlaylistWindow::AddFiles(const std::vector<std::string>& paths) {
  if (!Allowed(Needs::IdleRows)) return;
  const int first = rows_->RowCount();
  {
    const WaitCursor wait;
    const RowListView::Hold hold(view_.get());
    for (const std::string& path : paths) appendRow(*rows_, path);
  }
  ReadTagsFrom(first);
}

void PlaylistWindow::AddFolderByBrowser(bool tree) {
  const platform::ModalTurn turn;
  if (!turn) return;
  BROWSEINFOA browse{};
  browse.hwndOwner = window();
  browse.lpszTitle = kChooseFolderPrompt;
  browse.ulFlags = BIF_RETURNONLYFSDIRS;
  const platform::CoTaskMem<ITEMIDLIST> item(SHBrowseForFolderA(&browse));
  if (!item) return;
  // Read wide: the ANSI call turns characters the code page lacks into "?".
  wchar_t folder[MAX_PATH] = {};
  if (!SHGetPathFromIDListW(item.get(), folder)) return;
  const platform::ShellPath chosen = platform::AnsiPathFromWide(folder);
  if (chosen.refused()) {
    ShowRefusal(chosen.refusal);
    return;
  }
  AddFolder(chosen.path, tree);
}

void PlaylistWindow::AddFolder(const std::string& folder, bool tree) {
  if (!Allowed(Needs::IdleRows)) return;
  runner_.ScanFolder(folder, tree, Lookup(), preferences_.alwaysTagRead);
}

void PlaylistWindow::ShowRefusal(platform::PathRefusal refusal) {
  const char* message = platform::RefusalMessage(refusal);
  if (message == nullptr) return;
  ShowError(message);
}

void PlaylistWindow::ShowError(const char* text) {
  // The box takes the modal turn when it is free: a close of the program meanwhile (the
  // sleep timer's) then cancels the box first instead of destroying this window under
  // it. A box that finds another dialog open still shows: its message is not dropped.
  const platform::ModalTurn turn;
  MessageBoxA(window(), text, platform::kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
}

void PlaylistWindow::CancelRun() { runner_.Cancel(); }

void PlaylistWindow::AddDroppedPaths(const std::vector<std::string>& paths, platform::PathRefusal refused) {
  if (rows_ == nullptr) return;
  // Taken now and added in turn: a drop is never lost, and one that arrives while a
  // long command runs waits for its end.
  DroppedFiles drop;
  drop.paths = paths;
  drop.refused = refused;
  runner_.QueueDrop(std::move(drop));
  ContinueDrops();
}

void PlaylistWindow::OnListDrop(WPARAM event, platform::DropInfo* info) {
  switch (event) {
    case platform::kDragEnter:
      dragOffersFiles_ = info->format == CF_HDROP && info->data != nullptr;
      break;
    case platform::kDragLeave:
      dragOffersFiles_ = false;
      break;
    case platform::kDrop: {
      dragOffersFiles_ = false;
      if (info->format != CF_HDROP || info->data == nullptr || rows_ == nullptr) break;
      // The block belongs to the drop target, which releases it after this message.
      const platform::DroppedFileList dropped = platform::DroppedFiles(static_cast<HDROP>(info->data));
      DroppedFiles drop;
      drop.paths = dropped.paths;
      drop.refused = dropped.refused;
      runner_.QueueDrop(std::move(drop));
      PostMessageA(list_, kAddQueuedDropsMessage, 0, 0);
      info->effect = DROPEFFECT_COPY;
      return;
    }
    default:
      break;
  }
  info->effect = dragOffersFiles_ ? DROPEFFECT_COPY : DROPEFFECT_NONE;
}

void PlaylistWindow::ContinueDrops() {
  // A dropped playlist file's error box hands out messages; a drop arriving then
  // joins the queue and this loop adds it.
  if (addingDrops_) return;
  addingDrops_ = true;
  while (list_ != nullptr && !runner_.running()) {
    DroppedFiles* drop = runner_.CurrentDrop();
    if (drop == nullptr) break;
    if (!drop->started()) drop->firstRow = rows_->RowCount();
    std::optional<std::string> folder;
    {
      // The drop's own steps count as a long command, so commands handed out by an
      // error box meanwhile are refused as during a scan.
      const BulkRun::Scope mark(runner_.marks());
      const WaitCursor wait;
      const RowListView::Hold hold(view_.get());
      while (!folder && drop->next < drop->paths.size()) {
        const std::string path = drop->paths[drop->next++];
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
          folder = path;
        } else if (IsM3uFileName(path)) {
          LoadPlaylist(path);
          if (list_ == nullptr) break;  // the window went while the error box was up
        } else {
          appendRow(*rows_, path);
        }
      }
    }
    if (list_ == nullptr) break;
    // A folder adds its own media files (no subfolders) through a worker scan; the
    // rest of the drop follows when the scan has ended.
    if (folder) {
      runner_.ScanFolder(*folder, false, Lookup(), false);
      continue;
    }
    const DroppedFiles done = runner_.FinishDrop();
    // The tags of every row the drop added, then one message for the whole drop.
    ReadTagsFrom(done.firstRow);
    ShowRefusal(done.refused);
  }
  addingDrops_ = false;
}

namespace {

// At exit nobody is there to answer an error box: a dropped playlist file that
// cannot be read is left out (the file itself is untouched).
class QuietPlaylistFileErrors : public PlaylistFileErrors {
 public:
  void ShowWriteError(const std::string&, const std::string&) override {}
  void ShowReadError(const std::string&) override {}
};

}  // namespace

void PlaylistWindow::AddWaitingDropsForExit(int limitMs) {
  if (rows_ == nullptr) return;
  const DWORD start = GetTickCount();
  const ScanPump inTime = [&] { return GetTickCount() - start < static_cast<DWORD>(limitMs); };
  QuietPlaylistFileErrors quiet;
  for (DroppedFiles& drop : runner_.TakeWaitingDrops()) {
    for (std::size_t at = drop.next; at < drop.paths.size(); ++at) {
      const std::string& path = drop.paths[at];
      const DWORD attributes = GetFileAttributesA(path.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (inTime()) addFolderFiles(path, *rows_, inTime);
      } else if (IsM3uFileName(path)) {
        loadPlaylistFile(*rows_, path, quiet);
      } else {
        appendRow(*rows_, path);
      }
    }
  }
}

void PlaylistWindow::OnRunEnded(const BulkRunner::Ending& ending) {
  if (ending.startFailed) {
    char text[256] = {};
    if (LoadStringA(GetModuleHandleA(nullptr), IDS_PLAYLIST_NO_WORKERS, text, sizeof(text)) > 0) {
      ShowError(text);
    }
  }
  DroppedFiles* drop = runner_.CurrentDrop();
  if (drop != nullptr && drop->started()) {
    // The run was the scan of a dropped folder.
    if (drop->refused == platform::PathRefusal::None) drop->refused = ending.refused;
    if (ending.cancelled) {
      // Esc stops the whole drop: what came after the folder is not added either.
      const DroppedFiles stopped = runner_.FinishDrop();
      ShowRefusal(stopped.refused);
    }
  } else {
    ShowRefusal(ending.refused);
  }
  ContinueDrops();
}

void PlaylistWindow::ReadTagsFrom(int first) {
  if (!preferences_.alwaysTagRead || rows_->RowCount() == 0) return;
  runner_.ReadTags(RowsFrom(*rows_, first), Lookup());
}

tags::AnsiFromUtf16 PlaylistWindow::UnicodeConverter() const {
  return preferences_.unicodeTags ? tags::SystemAnsiFromUtf16 : nullptr;
}

TitleLookup PlaylistWindow::Lookup() const {
  const bool id3v1Only = preferences_.alwaysId3v1.value_or(false);
  const tags::AnsiFromUtf16 unicode = UnicodeConverter();
  return [id3v1Only, unicode](const std::string& path, std::string& title, std::string& artist) {
    LookUpTitleArtist(path, id3v1Only, title, artist, unicode);
  };
}

void PlaylistWindow::OpenTagEditor() {
  if (host_ == nullptr) return;
  std::string path;
  if (rows_ != nullptr && rows_->RowCount() > 0) {
    const int row = rows_->NextSelected(-1);
    if (row >= 0) path = std::string(platform::CutAnsiText(rows_->Cell(row, Column::Path), platform::kPathMaxLength));
  }
  host_->OpenTagEditor(path);
}

void PlaylistWindow::SetAlwaysId3v1(bool on) {
  preferences_.alwaysId3v1 = on;
  ShowTagSource(on);
}

void PlaylistWindow::ShowTagSource(bool alwaysId3v1) {
  CheckItem(popup(), IDM_TAG_ALWAYS_ID3V1, alwaysId3v1);
  CheckItem(popup(), IDM_TAG_AUTO, !alwaysId3v1);
}

void PlaylistWindow::ShowUnicodeTags(bool on) { CheckItem(popup(), IDM_TAG_UNICODE, on); }

void PlaylistWindow::ShowAlwaysTagRead(bool on) { CheckItem(popup(), IDM_ALWAYS_TAG_READ, on); }

void PlaylistWindow::ApplyColumnOrder(const std::array<int, kColumnCount>& order) {
  if (list_ == nullptr) return;
  std::array<int, kColumnCount> copy = order;
  SendMessageA(list_, LVM_SETCOLUMNORDERARRAY, kColumnCount, reinterpret_cast<LPARAM>(copy.data()));
}

std::optional<std::array<int, kColumnCount>> PlaylistWindow::ColumnOrder() const {
  if (list_ == nullptr) return std::nullopt;
  std::array<int, kColumnCount> order{0, 1, 2, 3};
  if (!SendMessageA(list_, LVM_GETCOLUMNORDERARRAY, kColumnCount, reinterpret_cast<LPARAM>(order.data()))) {
    return std::nullopt;
  }
  return order;
}

// The list control's handler.

LRESULT CALLBACK PlaylistWindow::ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR data) {
  auto* self = reinterpret_cast<PlaylistWindow*>(data);
  LRESULT result = 0;
  if (self != nullptr && self->OnListMessage(message, wParam, lParam, result)) return result;
  return DefSubclassProc(window, message, wParam, lParam);
}

bool PlaylistWindow::OnListMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_SETCURSOR: {
      const HCURSOR cursor = runner_.RunCursor();
      if (cursor == nullptr) return false;
      SetCursor(cursor);
      result = TRUE;
      return true;
    }
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) CancelRun();
      for (const LetterKey& key : kLetterKeys) {
        if (static_cast<WPARAM>(key.key) == wParam) {
          commands_.Dispatch(key.command);
          break;
        }
      }
      return false;  // the list handles the key as well
    case WM_DROPFILES: {
      const auto drop = reinterpret_cast<HDROP>(wParam);
      // Read wide: an ANSI read cuts a long path and turns unknown characters into "?".
      const platform::DroppedFileList dropped = platform::DroppedFiles(drop);
      DragFinish(drop);
      AddDroppedPaths(dropped.paths, dropped.refused);
      return true;
    }
    case platform::kDropMessage:
      if (lParam != 0) OnListDrop(wParam, reinterpret_cast<platform::DropInfo*>(lParam));
      result = 0;
      return true;
    case kAddQueuedDropsMessage:
      ContinueDrops();
      result = 0;
      return true;
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      return dragger_.OnListMessage(message, lParam);
    default:
      return false;
  }
}

}  // namespace kestrun::playlist
