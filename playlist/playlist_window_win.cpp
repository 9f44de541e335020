#include "playlist/playlist_window_win.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <utility>

#include "platform/ansi_text.h"
#include "platform/drop_target_win.h"
#include "platform/limits.h"
#include "platform/modal_guard_win.h"
#include "platform/time_format.h"
#include "platform/win32_handles.h"
#include "playlist/folder_scan_win.h"
#include "playlist/list_view_row_store_win.h"
#include "playlist/m3u_file.h"
#include "playlist/media_files.h"
#include "playlist/playlist_entry.h"
#include "playlist/playlist_file_dialogs_win.h"
#include "playlist/playlist_file_errors_win.h"
#include "playlist/tag_commands.h"
#include "resources/menu_ids.h"

namespace kestrun::playlist {

const char kRemoveAllQuestion[] = "リスト内のアイテムを全て削除してもよろしいですか？";
const char kRemoveAllCaption[] = "確認";
const char kTooManyFilesMessage[] = "選択されたファイルが多すぎます。数回に分けて追加してください。";
const char kChooseFolderPrompt[] = "フォルダを選択してください";

namespace {

constexpr char kErrorCaption[] = "エラー";
constexpr char kDragCursorName[] = "DRAG_CURSOR";
constexpr UINT_PTR kListHandlerId = 1;

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
  // The list's handler must be off before the window goes.
  listHandler_.Remove();
}

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
    WindowPlaylistFileErrors errors(mainWindow);
    loadPlaylistFile(*rows_, saved, errors);
  }
  return window();
}

void PlaylistWindow::SetUpList(HINSTANCE instance) {
  int index = 0;
  for (const auto& column : kColumns) {
    LVCOLUMNA header{};
    header.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    header.fmt = LVCFMT_LEFT;
    header.cx = column.width;
    header.pszText = const_cast<char*>(column.header);
    header.iSubItem = index;
    SendMessageA(list_, LVM_INSERTCOLUMNA, index++, reinterpret_cast<LPARAM>(&header));
  }
  const LPARAM styles = LVS_EX_GRIDLINES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT;
  SendMessageA(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, styles, styles);
  rows_ = std::make_unique<ListViewRowStore>(list_);
  popupMenu_.reset(LoadMenuA(instance, "POPUP"));
  dragCursor_ = LoadCursorA(instance, kDragCursorName);
  listHandler_.Install(list_, &PlaylistWindow::ListProc, kListHandlerId, reinterpret_cast<DWORD_PTR>(this));
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
  const auto bulk = [this](bool selectedOnly, void (PlaylistWindow::*operation)(int)) {
    return [this, selectedOnly, operation](int) {
      if (bulk_.running() || rows_ == nullptr) return;
      RunBulk(selectedOnly ? SelectedRows(*rows_) : AllRows(*rows_), operation);
    };
  };
  commands_.Add(IDM_PLAY, [this](int) { PlayFirstSelected(); });
  commands_.Add({IDM_LIST_MOVE_DOWN, IDM_LIST_MOVE_DOWN_BAR}, [this](int) {
    if (!bulk_.running() && rows_) moveSelectedRowsDown(*rows_);
  });
  commands_.Add({IDM_LIST_MOVE_UP, IDM_LIST_MOVE_UP_BAR}, [this](int) {
    if (!bulk_.running() && rows_) moveSelectedRowsUp(*rows_);
  });
  commands_.Add(IDM_LIST_CLOSE, [this](int) { Hide(); });
  commands_.Add(IDM_LIST_ADD_FILES, guarded(&PlaylistWindow::AddFilesByDialog));
  commands_.Add(IDM_LIST_ADD_FOLDER, [this](int) { AddFolderByBrowser(false); });
  commands_.Add(IDM_LIST_ADD_FOLDER_TREE, [this](int) { AddFolderByBrowser(true); });
  commands_.Add(IDM_LIST_OPEN, guarded(&PlaylistWindow::OpenPlaylist));
  commands_.Add(IDM_LIST_SAVE_EXTENDED_M3U, [this](int) { SavePlaylist(true); });
  commands_.Add(IDM_LIST_SAVE_PLAIN_M3U, [this](int) { SavePlaylist(false); });
  commands_.Add(IDM_LIST_REMOVE_SELECTED, [this](int) {
    if (bulk_.running() || rows_ == nullptr) return;
    RedrawPause pause(list_, redrawDepth_);
    for (int row = rows_->NextSelected(-1); row >= 0; row = rows_->NextSelected(-1)) rows_->DeleteRow(row);
  });
  commands_.Add(IDM_LIST_REMOVE_ALL, guarded(&PlaylistWindow::RemoveAll));
  commands_.Add(IDM_LIST_TOPMOST, [this](int) { ToggleTopmost(); });
  commands_.Add(IDM_TAGS_READ_SELECTED, bulk(true, &PlaylistWindow::ReadTags));
  commands_.Add(IDM_TAGS_READ_ALL, bulk(false, &PlaylistWindow::ReadTags));
  commands_.Add(IDM_LENGTH_SELECTED, bulk(true, &PlaylistWindow::MeasureLength));
  commands_.Add(IDM_LENGTH_ALL, bulk(false, &PlaylistWindow::MeasureLength));
  commands_.Add(IDM_TAG_AUTO, [this](int) { SetAlwaysId3v1(false); });
  commands_.Add(IDM_TAG_ALWAYS_ID3V1, [this](int) { SetAlwaysId3v1(true); });
  commands_.Add(IDM_TAG_UNICODE, [this](int) {
    if (host_ == nullptr) return;
    host_->setUnicodeTags(!host_->unicodeTags());
    ShowUnicodeTags(host_->unicodeTags());
  });
  commands_.Add(IDM_ALWAYS_TAG_READ, [this](int) {
    if (host_ == nullptr) return;
    host_->setAlwaysTagRead(!host_->alwaysTagRead());
    CheckItem(popup(), IDM_ALWAYS_TAG_READ, host_->alwaysTagRead());
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
                                     {host_->alwaysId3v1(), host_->renamePattern(), UnicodeConverter()});
                  SetCursor(previous);
                });
  commands_.Add(IDM_RENAME_USER_PATTERN_SETUP, [this](int) {
    if (host_ != nullptr) host_->EditRenamePattern();
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
    case WM_SIZE:
      if (list_ == nullptr) return false;
      // The list fills the window.
      MoveWindow(list_, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      result = TRUE;
      return true;
    case WM_CLOSE:
      Hide();
      result = TRUE;
      return true;
    case WM_COMMAND:
      commands_.Dispatch(LOWORD(wParam));
      result = TRUE;
      return true;
    case WM_SETCURSOR:
      // The wait cursor stays while a long command hands out messages.
      if (!bulk_.running()) return false;
      SetCursor(LoadCursorA(nullptr, IDC_WAIT));
      SetWindowLongPtrA(window(), DWLP_MSGRESULT, TRUE);
      result = TRUE;
      return true;
    case WM_NOTIFY:
      if (lParam == 0) return false;
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_DESTROY:
      if (drag_.dragging) CancelDrag();
      listHandler_.Remove();
      return false;
    default:
      return false;
  }
}

bool PlaylistWindow::OnNotify(const NMHDR& header) {
  if (header.hwndFrom != list_ || rows_ == nullptr) return false;
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
  RedrawPause pause(list_, redrawDepth_);
  WindowPlaylistFileErrors errors(mainWindow_);
  loadPlaylistFile(*rows_, path, errors);
}

void PlaylistWindow::SortByColumn(int column) {
  if (rows_ == nullptr || bulk_.running()) return;
  RedrawPause pause(list_, redrawDepth_);
  sortByColumn(*rows_, sortDirections_, column);
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
  LongRun run(*this);
  const int first = rows_->RowCount();
  for (const std::string& path : paths) appendRow(*rows_, path);
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
  ScanRefusals refusals;
  {
    LongRun run(*this);
    const int first = rows_->RowCount();
    const ScanPump pump = [this] { return PumpNowAndThen(); };
    refusals = tree ? addFolderTree(folder, *rows_, pump) : addFolderFiles(folder, *rows_, pump);
    ReadTagsFrom(first);
  }
  ShowRefusal(refusals.first);
}

void PlaylistWindow::ShowRefusal(platform::PathRefusal refusal) {
  const char* message = platform::RefusalMessage(refusal);
  if (message == nullptr) return;
  MessageBoxA(window(), message, kErrorCaption, MB_OK | MB_ICONEXCLAMATION);
}

void PlaylistWindow::AddDroppedPaths(const std::vector<std::string>& paths, platform::PathRefusal refused) {
  if (rows_ == nullptr || bulk_.running()) return;
  {
    LongRun run(*this);
    const int first = rows_->RowCount();
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
    ReadTagsFrom(first);
  }
  // One message for the whole drop, after the rows that could be added are there.
  ShowRefusal(refused);
}

void PlaylistWindow::ReadTagsFrom(int first) {
  // Runs inside the caller's BulkRun scope.
  if (host_ == nullptr || !host_->alwaysTagRead() || rows_->RowCount() == 0) return;
  const TitleLookup lookup = Lookup();
  for (const int row : RowsFrom(*rows_, first)) {
    if (row >= rows_->RowCount()) break;
    readEntryTags(*rows_, row, lookup);
    if (!PumpNowAndThen()) break;
  }
}

void PlaylistWindow::RunBulk(const std::vector<int>& walk, void (PlaylistWindow::*operation)(int row)) {
  if (walk.empty()) return;
  WaitCursor wait;
  RedrawPause pause(list_, redrawDepth_);
  redrawPause_ = &pause;
  bulk_.Run(*rows_, walk, [this, operation](int row) { (this->*operation)(row); },
            [this] { return PumpOneMessage(); });
  redrawPause_ = nullptr;
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
  return host_ != nullptr && host_->unicodeTags() ? tags::SystemAnsiFromUtf16 : nullptr;
}

TitleLookup PlaylistWindow::Lookup() const {
  const bool id3v1Only = host_ != nullptr && host_->alwaysId3v1();
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
  if (host_ != nullptr) host_->setAlwaysId3v1(on);
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
      SetCursor(LoadCursorA(nullptr, IDC_WAIT));
      result = TRUE;
      return true;
    case WM_KEYDOWN:
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
  dropDraggedRows(*rows_, ending, target, dropAllowed_);
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
