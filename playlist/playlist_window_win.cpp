#include "playlist/playlist_window_win.h"

#include <commctrl.h>
#include <dsound.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <mutex>
#include <utility>

#include "platform/ansi_text.h"
#include "platform/dpi_win.h"
#include "platform/drop_target_win.h"
#include "platform/limits.h"
#include "platform/modal_guard_win.h"
#include "platform/time_format.h"
#include "platform/win32_handles.h"
#include "playlist/folder_scan_win.h"
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
#include "tags/length/header_length.h"

namespace kestrun::playlist {

const char kRemoveAllQuestion[] = "リスト内のアイテムを全て削除してもよろしいですか？";
const char kRemoveAllCaption[] = "確認";
const char kTooManyFilesMessage[] = "選択されたファイルが多すぎます。数回に分けて追加してください。";
const char kChooseFolderPrompt[] = "フォルダを選択してください";

namespace {

constexpr char kErrorCaption[] = "エラー";
constexpr char kDragCursorName[] = "DRAG_CURSOR";
constexpr UINT_PTR kListHandlerId = 1;
// The timer that applies what the workers of a long command found.
constexpr UINT_PTR kWorkTimerId = 0x4B52;
constexpr UINT kWorkTimerMs = 30;
// A scan hands its rows over in batches of this many, or when this long has passed.
constexpr int kScanBatchRows = 256;
constexpr DWORD kScanBatchMs = 20;

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
    {'A', IDM_LIST_REMOVE_ALL},       {'C', IDM_LIST_CLOSE},         {'D', IDM_LIST_MOVE_DOWN},
    {'E', IDM_TAGS_READ_ALL},         {'I', IDM_TAG_EDITOR},         {'N', IDM_LIST_SAVE_PLAIN_M3U},
    {'O', IDM_LIST_OPEN},             {'P', IDM_PLAY},               {'Q', IDM_LENGTH_SELECTED},
    {'R', IDM_LIST_REMOVE_SELECTED},  {'S', IDM_TAGS_READ_SELECTED}, {'U', IDM_LIST_MOVE_UP},
    {'W', IDM_LENGTH_ALL},            {'X', IDM_LIST_SAVE_EXTENDED_M3U},
};

// The cursor while a long command runs; the arrow comes back when it ends.
class WaitCursor {
 public:
  WaitCursor() { SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }
  ~WaitCursor() { SetCursor(LoadCursorA(nullptr, IDC_ARROW)); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// As many length workers as the machine has processors (at least two: a graph
// build also waits for the file system).
int WorkerCount() {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  return std::max(2, static_cast<int>(info.dwNumberOfProcessors));
}

// A length graph spends part of its time waiting for its own streaming threads,
// so two graphs per processor keep the processors busy (on two processors: 17
// rows a second against 13 with one per processor; three per processor gave no
// more).
int LengthWorkerCount() {
  constexpr int kMostGraphsAtOnce = 16;
  return std::min(kMostGraphsAtOnce, 2 * WorkerCount());
}

// Each worker has a COM apartment of its own: the length graphs and the Windows
// Media tag reader are COM objects. Workers run below the window's priority, so
// the window keeps answering while they use the processors.
thread_local bool workerComReady = false;
void EnterWorkerApartment() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
  const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  workerComReady = result == S_OK || result == S_FALSE;
}
void LeaveWorkerApartment() {
  if (workerComReady) CoUninitialize();
  workerComReady = false;
}

// The sound device held open while length graphs are built and released on several
// threads at once. Each graph opens the device for its audio renderer; with no other
// holder, releasing the last graph tears the device down while another thread may
// be opening it, which some audio layers do not survive. One handle for the run
// keeps it open (and spares every graph the device's set-up).
class SoundDeviceHold {
 public:
  SoundDeviceHold() {
    if (FAILED(DirectSoundCreate8(nullptr, &sound_, nullptr))) sound_ = nullptr;
  }
  ~SoundDeviceHold() {
    if (sound_ != nullptr) sound_->Release();
  }
  SoundDeviceHold(const SoundDeviceHold&) = delete;
  SoundDeviceHold& operator=(const SoundDeviceHold&) = delete;

 private:
  IDirectSound8* sound_ = nullptr;
};

// One worker for each processor: length graphs use the processors, and tag reading
// waits for the file system, which a second reader keeps busy meanwhile.
std::unique_ptr<RowWork> MakeWork(RowWork::Operation operation, int workers) {
  return std::make_unique<RowWork>(workers, std::move(operation), EnterWorkerApartment, LeaveWorkerApartment);
}

void CheckItem(HMENU menu, int id, bool checked) {
  if (menu != nullptr) CheckMenuItem(menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

}  // namespace

// While rows are added or changed in bulk the list does not redraw (or update its
// scroll bar) after each one: painting is by far the slowest part of a change. The
// pump shows the progress a few times a second.
// Pauses nest (a dropped playlist file inside a drop); only the outermost one
// switches redrawing.
class RedrawPause {
 public:
  RedrawPause(HWND list, int& depth) : list_(list), depth_(depth) {
    if (depth_++ == 0) SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
  }
  ~RedrawPause() {
    if (--depth_ != 0) return;
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
  }
  RedrawPause(const RedrawPause&) = delete;
  RedrawPause& operator=(const RedrawPause&) = delete;

  // Lets the list paint what has changed when the last time it did is long enough ago.
  void ShowProgress() {
    constexpr DWORD kProgressMs = 250;
    const DWORD now = GetTickCount();
    if (now - lastShown_ < kProgressMs) return;
    lastShown_ = now;
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
    UpdateWindow(list_);
    SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
  }

 private:
  HWND list_;
  int& depth_;
  DWORD lastShown_ = GetTickCount();
};

// A long command: refuses others (see BulkRun), shows the wait cursor and holds
// the list's redrawing, which the message pump lets through now and then.
class PlaylistWindow::LongRun {
 public:
  explicit LongRun(PlaylistWindow& window) : window_(window), run_(window.bulk_), pause_(window.list_, window.redrawDepth_) {
    window_.redrawPause_ = &pause_;
  }
  ~LongRun() { window_.redrawPause_ = nullptr; }
  LongRun(const LongRun&) = delete;
  LongRun& operator=(const LongRun&) = delete;

 private:
  PlaylistWindow& window_;
  BulkRun::Scope run_;
  WaitCursor wait_;
  RedrawPause pause_;
};

PlaylistWindow::PlaylistWindow() { RegisterCommands(); }

PlaylistWindow::~PlaylistWindow() {
  // Workers end before the rows they report to go.
  work_.reset();
  retired_.clear();
  runMark_.reset();
  // The list's handler must be off before the window goes.
  listHandler_.Remove();
  view_.reset();
}

RowStore* PlaylistWindow::rows() const { return rows_.get(); }

HWND PlaylistWindow::Create(HINSTANCE instance, HWND mainWindow, const std::string& appDirectory,
                            PlaylistHost* host, platform::DialogRouter* router) {
  host_ = host;
  router_ = router;
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
  dragCursor_ = LoadCursorA(instance, kDragCursorName);
  listHandler_.Install(list_, &PlaylistWindow::ListProc, kListHandlerId, reinterpret_cast<DWORD_PTR>(this));
}

void PlaylistWindow::RescaleColumns(int dpi) {
  if (list_ == nullptr || dpi <= 0 || dpi == columnDpi_) return;
  for (int index = 0; index < static_cast<int>(std::size(kColumns)); ++index) {
    const int width = static_cast<int>(SendMessageA(list_, LVM_GETCOLUMNWIDTH, index, 0));
    SendMessageA(list_, LVM_SETCOLUMNWIDTH, index, MulDiv(width, dpi, columnDpi_));
  }
  columnDpi_ = dpi;
}

void PlaylistWindow::RegisterCommands() {
  // Commands that change the rows or walk them wait while a long command runs:
  // they would pull the rows from under its walk. They are refused, not queued,
  // so nothing happens later that the user no longer expects.
  const auto guarded = [this](void (PlaylistWindow::*action)()) {
    return [this, action](int) {
      if (bulk_.running() || rows_ == nullptr) return;
      (this->*action)();
    };
  };
  const auto bulk = [this](bool selectedOnly, RunKind kind) {
    return [this, selectedOnly, kind](int) {
      if (bulk_.running() || rows_ == nullptr) return;
      RunBulk(selectedOnly ? SelectedRows(*rows_) : AllRows(*rows_), kind);
    };
  };
  commands_.Add(IDM_PLAY, [this](int) { PlayFirstSelected(); });
  commands_.Add({IDM_LIST_MOVE_DOWN, IDM_LIST_MOVE_DOWN_BAR}, [this](int) { MoveSelection(+1); });
  commands_.Add({IDM_LIST_MOVE_UP, IDM_LIST_MOVE_UP_BAR}, [this](int) { MoveSelection(-1); });
  // Closing (the menu, the C key, the close button) stops a long command as well.
  commands_.Add(IDM_LIST_CLOSE, [this](int) {
    CancelRun();
    Hide();
  });
  commands_.Add(IDM_LIST_ADD_FILES, guarded(&PlaylistWindow::AddFilesByDialog));
  commands_.Add(IDM_LIST_ADD_FOLDER, [this](int) { AddFolderByBrowser(false); });
  commands_.Add(IDM_LIST_ADD_FOLDER_TREE, [this](int) { AddFolderByBrowser(true); });
  commands_.Add(IDM_LIST_OPEN, guarded(&PlaylistWindow::OpenPlaylist));
  commands_.Add(IDM_LIST_SAVE_EXTENDED_M3U, [this](int) { SavePlaylist(true); });
  commands_.Add(IDM_LIST_SAVE_PLAIN_M3U, [this](int) { SavePlaylist(false); });
  commands_.Add(IDM_LIST_REMOVE_SELECTED, [this](int) {
    if (bulk_.running() || rows_ == nullptr) return;
    // One pass over the rows, however many are selected.
    rows_->DeleteSelectedRows();
  });
  commands_.Add(IDM_LIST_REMOVE_ALL, guarded(&PlaylistWindow::RemoveAll));
  commands_.Add(IDM_LIST_TOPMOST, [this](int) { ToggleTopmost(); });
  commands_.Add(IDM_TAGS_READ_SELECTED, bulk(true, RunKind::Tags));
  commands_.Add(IDM_TAGS_READ_ALL, bulk(false, RunKind::Tags));
  commands_.Add(IDM_LENGTH_SELECTED, bulk(true, RunKind::Lengths));
  commands_.Add(IDM_LENGTH_ALL, bulk(false, RunKind::Lengths));
  // Esc in the window (the dialog turns it into IDCANCEL) stops a long command.
  commands_.Add(IDCANCEL, [this](int) { CancelRun(); });
  commands_.Add(IDM_TAG_AUTO, [this](int) { SetAlwaysId3v1(false); });
  commands_.Add(IDM_TAG_ALWAYS_ID3V1, [this](int) { SetAlwaysId3v1(true); });
  commands_.Add(IDM_TAG_UNICODE, [this](int) {
    preferences_.unicodeTags = !preferences_.unicodeTags;
    ShowUnicodeTags(preferences_.unicodeTags);
  });
  commands_.Add(IDM_ALWAYS_TAG_READ, [this](int) {
    preferences_.alwaysTagRead = !preferences_.alwaysTagRead;
    CheckItem(popup(), IDM_ALWAYS_TAG_READ, preferences_.alwaysTagRead);
  });
  commands_.Add(IDM_TAG_EDITOR, [this](int) { OpenTagEditor(); });
  // Renaming walks the selected rows and changes their paths: not during a long run.
  commands_.Add({IDM_RENAME_PAREN_ARTIST_TITLE, IDM_RENAME_TITLE, IDM_RENAME_PAREN_ARTIST_ALBUM_TITLE,
                 IDM_RENAME_ARTIST_DASH_TITLE, IDM_RENAME_USER_PATTERN},
                [this](int id) {
                  if (bulk_.running() || rows_ == nullptr || host_ == nullptr) return;
                  const std::optional<tags::RenameForm> form = RenameFormForCommand(id);
                  if (!form) return;
                  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
                  RenameSelectedRows(*rows_, *form,
                                     {preferences_.alwaysId3v1.value_or(false), preferences_.renamePattern,
                                      UnicodeConverter()});
                  SetCursor(previous);
                });
  commands_.Add(IDM_RENAME_USER_PATTERN_SETUP, [this](int) {
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
    case WM_SETCURSOR:
      // The wait cursor stays while a long command hands out messages; while
      // workers run in the background, the arrow with the working sign.
      if (!bulk_.running()) return false;
      SetCursor(LoadCursorA(nullptr, work_ != nullptr ? IDC_APPSTARTING : IDC_WAIT));
      SetWindowLongPtrA(window(), DWLP_MSGRESULT, TRUE);
      result = TRUE;
      return true;
    case WM_NOTIFY:
      if (lParam == 0) return false;
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result);
    case WM_TIMER:
      if (wParam != kWorkTimerId) return false;
      OnWorkTimer();
      result = TRUE;
      return true;
    case WM_DESTROY:
      if (drag_.dragging) CancelDrag();
      // The program is closing: the workers stop, what they found is not applied.
      KillTimer(window(), kWorkTimerId);
      work_.reset();
      retired_.clear();
      runMark_.reset();
          listHandler_.Remove();
      // The rows outlive the window (the automatic playlist is saved after it).
      view_.reset();
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
      if (!bulk_.running()) BeginDrag(reinterpret_cast<const NMLISTVIEW&>(header).iItem);
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
  if (rows_ == nullptr || host_ == nullptr) return;
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
  if (bulk_.running() || !rows_) return;
  // The list keeps its focus and shift-click anchor by index; a selected row that
  // holds one takes it along.
  std::array<int, 2> marks = ListMarks();
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
  SetListMarks(marks);
}

std::array<int, 2> PlaylistWindow::ListMarks() const {
  // The control keeps these through removals and count changes, so either may name
  // a row that is gone; such a mark is taken as none.
  const int count = rows_ != nullptr ? rows_->RowCount() : 0;
  const auto inRows = [count](LRESULT row) { return row >= 0 && row < count ? static_cast<int>(row) : -1; };
  return {inRows(ListView_GetNextItem(list_, -1, LVNI_FOCUSED)), inRows(ListView_GetSelectionMark(list_))};
}

void PlaylistWindow::SetListMarks(const std::array<int, 2>& marks) {
  if (marks[0] >= 0) ListView_SetItemState(list_, marks[0], LVIS_FOCUSED, LVIS_FOCUSED);
  if (marks[1] >= 0) ListView_SetSelectionMark(list_, marks[1]);
}

void PlaylistWindow::SortByColumn(int column) {
  if (rows_ == nullptr || bulk_.running()) return;
  // The list keeps its focus and shift-click anchor by index; they follow their
  // rows through the sort, found again by key.
  const int count = rows_->RowCount();
  const auto keyAt = [&](int row) { return row >= 0 && row < count ? std::optional<int>(rows_->Key(row)) : std::nullopt; };
  const std::optional<int> focusKey = keyAt(ListView_GetNextItem(list_, -1, LVNI_FOCUSED));
  const std::optional<int> anchorKey = keyAt(ListView_GetSelectionMark(list_));
  sortByColumn(*rows_, sortDirections_, column);
  if (focusKey) ListView_SetItemState(list_, rows_->RowOfKey(*focusKey), LVIS_FOCUSED, LVIS_FOCUSED);
  if (anchorKey) ListView_SetSelectionMark(list_, rows_->RowOfKey(*anchorKey));
}

void PlaylistWindow::SavePlaylist(bool extended) {
  if (rows_ == nullptr) return;
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
    MessageBoxA(window(), kTooManyFilesMessage, kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (!selection.chosen) return;
  AddFiles(selection.paths);
  ShowRefusal(selection.refused);
}

void PlaylistWindow::AddFiles(const std::vector<std::string>& paths) {
  if (rows_ == nullptr || bulk_.running()) return;
  int first = 0;
  {
    LongRun run(*this);
    first = rows_->RowCount();
    for (const std::string& path : paths) appendRow(*rows_, path);
  }
  ReadTagsFrom(first);
}

void PlaylistWindow::AddFolderByBrowser(bool tree) {
  if (rows_ == nullptr || bulk_.running()) return;
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
  if (rows_ == nullptr || bulk_.running()) return;
  // The scan runs on a thread of its own into a row store of its own, handing its
  // rows over in batches; the tags of the rows it adds are read by the workers as
  // they arrive.
  auto refusals = std::make_shared<ScanRefusals>();
  std::unique_ptr<RowWork> work = MakeWork(TagOperation(), WorkerCount());
  work->Produce([folder, tree, refusals](const RowWork::Deliver& deliver) {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    MemoryRowStore found;
    DWORD lastHanded = GetTickCount();
    bool open = true;
    const auto hand = [&] {
      std::vector<NewRow> batch;
      batch.reserve(static_cast<std::size_t>(found.RowCount()));
      for (int row = 0; row < found.RowCount(); ++row) {
        batch.push_back({found.Cell(row, Column::Path), found.Cell(row, Column::Title)});
      }
      found.DeleteAllRows();
      lastHanded = GetTickCount();
      open = deliver(std::move(batch));
      return open;
    };
    const ScanPump pump = [&] {
      if (found.RowCount() >= kScanBatchRows || GetTickCount() - lastHanded >= kScanBatchMs) return hand();
      return true;
    };
    *refusals = tree ? addFolderTree(folder, found, pump) : addFolderFiles(folder, found, pump);
    if (open) hand();
  });
  scanRefusals_ = refusals;
  tagNewRows_ = preferences_.alwaysTagRead;
  StartRun(RunKind::Adding, std::move(work));
}

void PlaylistWindow::ShowRefusal(platform::PathRefusal refusal) {
  const char* message = platform::RefusalMessage(refusal);
  if (message == nullptr) return;
  MessageBoxA(window(), message, kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
}

void PlaylistWindow::AddDroppedPaths(const std::vector<std::string>& paths, platform::PathRefusal refused) {
  if (rows_ == nullptr) return;
  if (bulk_.running()) {
    // Taken now, added when the run ends: a drop is never lost.
    waitingDrops_.emplace_back(paths, refused);
    return;
  }
  int first = 0;
  {
    LongRun run(*this);
    first = rows_->RowCount();
    for (const std::string& path : paths) {
      const DWORD attributes = GetFileAttributesA(path.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const ScanRefusals scan = addFolderFiles(path, *rows_, [this] { return PumpNowAndThen(); });
        if (refused == platform::PathRefusal::None) refused = scan.first;
      } else if (IsM3uFileName(path)) {
        LoadPlaylist(path);
      } else {
        appendRow(*rows_, path);
      }
    }
  }
  ReadTagsFrom(first);
  // One message for the whole drop, after the rows that could be added are there.
  ShowRefusal(refused);
  // Drops that came while this one was scanning a folder.
  TakeWaitingDrops();
}

void PlaylistWindow::ReadTagsFrom(int first) {
  if (!preferences_.alwaysTagRead || rows_->RowCount() == 0) return;
  RunBulk(RowsFrom(*rows_, first), RunKind::Tags);
}

RowWork::Operation PlaylistWindow::TagOperation() const {
  const TitleLookup lookup = Lookup();
  return [lookup](const RowJob& job) { return ReadTagsChange(job, lookup); };
}

RowWork::Operation PlaylistWindow::LengthOperation() const {
  PlaylistHost* host = host_;
  // Opened by the first row that needs a graph (a run of header lengths never
  // opens the device) and held as long as the work's operation exists: until its
  // last worker has ended.
  struct Device {
    std::once_flag opened;
    std::unique_ptr<SoundDeviceHold> hold;
  };
  auto device = std::make_shared<Device>();
  return [host, device](const RowJob& job) {
    RowChange change;
    change.job = job;
    change.setLength = true;
    // The file's own header when it settles the length; a graph otherwise.
    std::optional<std::int64_t> duration = tags::ReadHeaderDuration(job.path);
    if (!duration && host != nullptr) {
      std::call_once(device->opened, [&] { device->hold = std::make_unique<SoundDeviceHold>(); });
      duration = host->MeasureDuration(job.path);
    }
    // A file that cannot be rendered has no length to show.
    if (duration) change.length = FormatLength(*duration / platform::kUnitsPerSecond);
    return change;
  };
}

void PlaylistWindow::RunBulk(const std::vector<int>& walk, RunKind kind) {
  if (walk.empty() || bulk_.running()) return;
  if (kind == RunKind::Lengths && host_ == nullptr) return;
  std::unique_ptr<RowWork> work =
      kind == RunKind::Lengths ? MakeWork(LengthOperation(), LengthWorkerCount()) : MakeWork(TagOperation(), WorkerCount());
  work->Add(JobsForRows(*rows_, walk));
  work->CloseInput();
  tagNewRows_ = false;
  StartRun(kind, std::move(work));
}

void PlaylistWindow::StartRun(RunKind kind, std::unique_ptr<RowWork> work) {
  runMark_ = std::make_unique<BulkRun::Scope>(bulk_);
  work_ = std::move(work);
  runKind_ = kind;
  inputClosed_ = kind != RunKind::Adding;
  rowsAdded_ = 0;
  char caption[256] = {};
  GetWindowTextA(window(), caption, sizeof(caption));
  savedCaption_ = caption;
  progressShown_ = false;
  // Rows arriving at the end are shown a few times a second, not every tick.
  constexpr DWORD kCountIntervalMs = 250;
  if (view_ != nullptr) view_->PaceCount(kCountIntervalMs);
  SetTimer(window(), kWorkTimerId, kWorkTimerMs, nullptr);
  ShowProgress();
}

void PlaylistWindow::ShowProgress() {
  if (work_ == nullptr) return;
  // A caption change costs a frame repaint: a few times a second is enough.
  constexpr DWORD kCaptionMs = 200;
  const DWORD now = GetTickCount();
  if (progressShown_ && now - lastCaption_ < kCaptionMs) return;
  progressShown_ = true;
  lastCaption_ = now;
  char format[128] = {};
  const UINT id = runKind_ == RunKind::Lengths ? IDS_PLAYLIST_MEASURING
                  : runKind_ == RunKind::Tags || inputClosed_ ? IDS_PLAYLIST_READING_TAGS
                                                              : IDS_PLAYLIST_ADDING;
  if (LoadStringA(GetModuleHandleA(nullptr), id, format, sizeof(format)) == 0) return;
  char text[192] = {};
  if (id == IDS_PLAYLIST_ADDING) {
    std::snprintf(text, sizeof(text), format, rowsAdded_);
  } else {
    std::snprintf(text, sizeof(text), format, work_->done(), work_->total());
  }
  SetWindowTextA(window(), text);
}

bool PlaylistWindow::ApplyWork(RowWork& work, bool current) {
  // Slices of what arrived, until the queue is empty or this tick has had its
  // share of time: the windows keep answering however fast the workers are.
  constexpr std::size_t kSlice = 64;
  constexpr DWORD kMostMsPerTick = 8;
  const DWORD start = GetTickCount();
  // The list is told the rows that came and went once per tick, not once per row.
  // Its redrawing is not held: the list asks only for the rows it shows, so it
  // paints what changed when it gets to it, while switching redrawing off and on
  // made it repaint everything at once (50 to 90 ms under Wine, a frozen window).
  const RowListView::Hold hold(view_.get());
  for (;;) {
    RowWork::Batch batch = work.Take(kSlice);
    // A stopped scan's rows are not added.
    if (current && !batch.added.empty()) {
      const int first = rows_->RowCount();
      for (const NewRow& row : batch.added) {
        const int index = appendRow(*rows_, row.path);
        if (!row.title.empty()) rows_->SetCell(index, Column::Title, row.title);
      }
      rowsAdded_ += static_cast<int>(batch.added.size());
      if (tagNewRows_) work.Add(JobsForRows(*rows_, RowsFrom(*rows_, first)));
    }
    for (const RowChange& change : batch.changed) ApplyRowChange(*rows_, change);
    if (current && !inputClosed_ && batch.producerDone) {
      // Every row the scan found is in the list and its job handed out.
      inputClosed_ = true;
      work.CloseInput();
    }
    if (batch.finished) return false;
    if (batch.added.size() < kSlice && batch.changed.size() < kSlice) break;
    if (GetTickCount() - start >= kMostMsPerTick) break;
  }
  return true;
}

void PlaylistWindow::OnWorkTimer() {
  if (rows_ == nullptr) return;
  retired_.erase(std::remove_if(retired_.begin(), retired_.end(),
                                [this](const std::unique_ptr<RowWork>& work) { return !ApplyWork(*work, false); }),
                 retired_.end());
  if (work_ != nullptr) {
    if (!ApplyWork(*work_, true)) {
      EndRun();
    } else {
      ShowProgress();
    }
  }
  if (work_ == nullptr && retired_.empty()) KillTimer(window(), kWorkTimerId);
}

void PlaylistWindow::CancelRun() {
  if (work_ == nullptr) return;
  work_->Cancel();
  scanRefusals_.reset();  // the scan may still be writing them; a stopped scan tells nothing
  // Its workers finish the file in hand; the timer still applies what they find
  // (to rows that hold that file) and lets them go.
  retired_.push_back(std::move(work_));
  EndRun();
}

void PlaylistWindow::EndRun() {
  if (work_ != nullptr) work_.reset();  // every thread has ended
  runMark_.reset();
  if (view_ != nullptr) view_->PaceCount(0);
  SetWindowTextA(window(), savedCaption_.c_str());
  std::shared_ptr<ScanRefusals> refusals = std::move(scanRefusals_);
  if (refusals != nullptr) ShowRefusal(refusals->first);
  TakeWaitingDrops();
}

void PlaylistWindow::TakeWaitingDrops() {
  // In the order they came; each may start a run of its own, and the ones after it
  // wait for that.
  while (!waitingDrops_.empty() && !bulk_.running()) {
    auto [paths, refused] = std::move(waitingDrops_.front());
    waitingDrops_.erase(waitingDrops_.begin());
    AddDroppedPaths(paths, refused);
  }
}

bool PlaylistWindow::PumpNowAndThen() {
  // Looking at the queue costs about as much as adding a row, so while files are
  // added the queue is emptied every few milliseconds instead of after each one.
  constexpr DWORD kPumpIntervalMs = 10;
  const DWORD now = GetTickCount();
  if (now - lastPump_ < kPumpIntervalMs) return true;
  lastPump_ = now;
  // Bounded: a window that never validates itself would keep a paint message waiting.
  constexpr int kMostMessages = 64;
  MSG message;
  for (int i = 0; i < kMostMessages && PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE); ++i) {
    if (!PumpOneMessage()) return false;
  }
  return list_ != nullptr && IsWindow(list_);
}

bool PlaylistWindow::PumpOneMessage() {
  if (redrawPause_ != nullptr) redrawPause_->ShowProgress();
  MSG message;
  if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The loop that waits for it must still see it.
      PostQuitMessage(static_cast<int>(message.wParam));
      return false;
    }
    if (router_ == nullptr || !router_->Route(message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return list_ != nullptr && IsWindow(list_);
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

void PlaylistWindow::ReadTags(int row) { readEntryTags(*rows_, row, Lookup()); }

void PlaylistWindow::MeasureLength(int row) {
  if (host_ == nullptr) return;
  const std::string path(platform::CutAnsiText(rows_->Cell(row, Column::Path), platform::kPathMaxLength));
  const std::optional<std::int64_t> duration = host_->MeasureDuration(path);
  // A file that cannot be rendered has no length to show.
  rows_->SetCell(row, Column::Length, duration ? FormatLength(*duration / platform::kUnitsPerSecond) : std::string());
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
  const POINT client{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  switch (message) {
    case WM_SETCURSOR:
      if (!bulk_.running()) return false;
      SetCursor(LoadCursorA(nullptr, work_ != nullptr ? IDC_APPSTARTING : IDC_WAIT));
      result = TRUE;
      return true;
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
      const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
      std::vector<std::string> paths;
      platform::PathRefusal refused = platform::PathRefusal::None;
      for (UINT i = 0; i < count; ++i) {
        // Read wide: an ANSI read cuts a long path and turns unknown characters into "?".
        platform::ShellPath path = platform::DroppedFile(drop, i);
        if (path.refused()) {
          if (refused == platform::PathRefusal::None) refused = path.refusal;
        } else if (!path.path.empty()) {
          paths.push_back(std::move(path.path));
        }
      }
      DragFinish(drop);
      AddDroppedPaths(paths, refused);
      return true;
    }
    case WM_MOUSEMOVE:
      if (drag_.dragging) DragMove(client);
      return false;
    case WM_LBUTTONUP:
      if (!drag_.dragging) return false;
      EndDrag(client);
      return true;
    case WM_CAPTURECHANGED:
      if (drag_.dragging) CancelDrag();
      return false;
    default:
      return false;
  }
}

void PlaylistWindow::SetTrackSelect(bool on) {
  SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_TRACKSELECT, on ? LVS_EX_TRACKSELECT : 0);
}

void PlaylistWindow::BeginDrag(int row) {
  if (!beginRowDrag(drag_, *rows_, row)) return;
  dropAllowed_ = false;
  scrollDebt_ = 0;
  SetTrackSelect(true);
  SetCapture(list_);
}

void PlaylistWindow::DragMove(POINT client) {
  POINT screen = client;
  ClientToScreen(list_, &screen);
  RECT area{};
  GetClientRect(list_, &area);
  POINT topLeft{area.left, area.top};
  POINT bottomRight{area.right, area.bottom};
  ClientToScreen(list_, &topLeft);
  ClientToScreen(list_, &bottomRight);
  const DragZone zone = ClassifyDragPosition(screen.x, screen.y, topLeft.x, topLeft.y, bottomRight.x, bottomRight.y);
  dropAllowed_ = zone == DragZone::Drop;
  SetCursor(dropAllowed_ && dragCursor_ != nullptr ? dragCursor_ : LoadCursorA(nullptr, IDC_NO));
  if (zone == DragZone::ScrollDown || zone == DragZone::ScrollUp) {
    ScrollWhileDragging(zone == DragZone::ScrollDown ? kDragScrollPixels : -kDragScrollPixels);
  } else {
    scrollDebt_ = 0;
  }
}

void PlaylistWindow::ScrollWhileDragging(int pixels) {
  // A report-view list scrolls by whole rows and drops a request of fewer pixels
  // than a row is high, so the 8-pixel steps are gathered until they make a row.
  if ((scrollDebt_ < 0) != (pixels < 0)) scrollDebt_ = 0;
  scrollDebt_ += pixels;
  RECT item{};
  item.left = LVIR_BOUNDS;
  int rowHeight = 0;
  if (rows_->RowCount() > 0 && SendMessageA(list_, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item))) {
    rowHeight = item.bottom - item.top;
  }
  if (rowHeight <= 0) rowHeight = kDragScrollPixels;
  const int lines = scrollDebt_ / rowHeight;
  if (lines == 0) return;
  SendMessageA(list_, LVM_SCROLL, 0, lines * rowHeight);
  scrollDebt_ -= lines * rowHeight;
}

void PlaylistWindow::EndDrag(POINT client) {
  LVHITTESTINFO hit{};
  hit.pt = client;
  const int target = static_cast<int>(SendMessageA(list_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
  // The drag is taken over before the capture goes, so the capture-lost message
  // that releasing it sends does not cancel this drop.
  RowDrag ending = std::move(drag_);
  cancelRowDrag(drag_);
  ReleaseCapture();
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  // The focus and shift-click anchor go with their rows.
  std::array<int, 2> marks = ListMarks();
  bool moved = false;
  {
    const RowListView::Hold hold(view_.get());
    moved = dropDraggedRows(*rows_, ending, target, dropAllowed_, marks);
  }
  if (moved) SetListMarks(marks);
  dropAllowed_ = false;
  if (target > 0) SendMessageA(list_, LVM_REDRAWITEMS, target - 1, target - 1);
  UpdateWindow(list_);
  SetTrackSelect(false);
}

void PlaylistWindow::CancelDrag() {
  cancelRowDrag(drag_);
  dropAllowed_ = false;
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  SetTrackSelect(false);
}

}  // namespace kestrun::playlist
