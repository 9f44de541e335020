// The playlist window against a real list control, real messages and real files:
// its commands and keys, the folder scans, files dropped on the list, and rows
// dragged with the mouse.
#include "playlist/playlist_window_win.h"

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "platform/shell_path_win.h"
#include "platform/testing/wide_files_win.h"
#include "playlist/playlist_entry.h"
#include "playlist/tests/playlist_window_harness.h"
#include "playlist/tests/change_settings_win.h"
#include "resources/menu_ids.h"
#include "tags/editor/tests/editor_test_files.h"
#include "tags/id3/id3v2.h"

namespace kestrun::playlist {
namespace {

using testing::MakeDrop;
using testing::MakeWideDrop;
using testing::PumpMessages;
using testing::Settle;

std::vector<std::string> Sorted(std::vector<std::string> paths);

// A folder under the temporary directory, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    char base[MAX_PATH] = {};
    GetTempPathA(sizeof(base), base);
    path_ = std::string(base) + "kestrun-playlist-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(counter_++);
    CreateDirectoryA(path_.c_str(), nullptr);
  }
  ~TempFolder() {
    std::string list = path_;
    list.push_back('\0');
    list.push_back('\0');
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = list.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&op);
  }
  const std::string& path() const { return path_; }
  std::string Folder(const std::string& name) const {
    const std::string folder = path_ + "\\" + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
  }
  std::string File(const std::string& name, const std::string& content = "data") const {
    const std::string file = path_ + "\\" + name;
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(handle, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(handle);
    return file;
  }

 private:
  std::string path_;
  static inline int counter_ = 0;
};

class PlaylistWindowTest : public ::testing::Test {
 public:
  void SetUp() override {
    ASSERT_TRUE(ui_.Create());
    rows().DeleteAllRows();
    PumpMessages();
  }

  RowStore& rows() { return ui_.rows(); }
  HWND list() { return ui_.list(); }
  void Command(int id) { ui_.Command(id); }
  void Key(char key) { ui_.Key(key); }
  void Drop(HDROP drop) { ui_.Drop(drop); }
  void AddFolder(const std::string& folder, bool tree) {
    window_.AddFolder(folder, tree);
    Settle(window_);
  }
  void Notify(UINT code, int item = -1, int column = 0) {
    NMLISTVIEW notice{};
    notice.hdr.hwndFrom = list();
    notice.hdr.idFrom = IDC_PLAYLIST_LIST;
    notice.hdr.code = code;
    notice.iItem = item;
    notice.iSubItem = column;
    SendMessageA(window_.window(), WM_NOTIFY, IDC_PLAYLIST_LIST, reinterpret_cast<LPARAM>(&notice));
  }
  void Fill(int count, std::initializer_list<int> selected = {}) {
    for (int i = 0; i < count; ++i) {
      // Built piece by piece: GCC 12 warns falsely about "literal" + std::string here.
      const int row = appendRow(rows(), std::string("r").append(std::to_string(i)));
      rows().SetCell(row, Column::Title, std::string("t").append(std::to_string(i)));
    }
    for (int row : selected) rows().SetSelected(row, true);
  }
  // The paths in row order, selected rows marked "*"; each row's title still
  // belongs to its path.
  std::string Order() {
    std::string order;
    for (int row = 0; row < rows().RowCount(); ++row) {
      const std::string path = rows().Cell(row, Column::Path);
      if (path.size() > 1 && path[0] == 'r') {
        EXPECT_EQ(rows().Cell(row, Column::Title), std::string("t").append(path.substr(1)));
      }
      order += (row ? " " : "") + path + (rows().IsSelected(row) ? "*" : "");
    }
    return order;
  }
  std::vector<std::string> Paths() {
    std::vector<std::string> paths;
    for (int row = 0; row < rows().RowCount(); ++row) paths.push_back(rows().Cell(row, Column::Path));
    return paths;
  }
  bool Checked(HMENU menu, int id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_CHECKED) != 0; }

  testing::PlaylistWindowHarness ui_;
  testing::FakePlaylistHost& host_ = ui_.host;
  PlaylistWindow& window_ = ui_.window;
};

TEST_F(PlaylistWindowTest, RowCommandsFromMenusAndKeys) {
  struct Case {
    const char* name;
    int rows;
    std::initializer_list<int> selected;
    std::function<void(PlaylistWindowTest&)> action;
    const char* order;
  };
  const auto command = [](int id) { return [id](PlaylistWindowTest& t) { t.Command(id); }; };
  const auto key = [](char k) { return [k](PlaylistWindowTest& t) { t.Key(k); }; };
  const Case cases[] = {
      {"up moves a block", 6, {2, 3}, command(IDM_LIST_MOVE_UP), "r0 r2* r3* r1 r4 r5"},
      {"up from the menu bar", 6, {2, 3}, command(IDM_LIST_MOVE_UP_BAR), "r0 r2* r3* r1 r4 r5"},
      {"U key", 4, {3}, key('U'), "r0 r1 r3* r2"},
      {"up with row 0 selected moves nothing", 5, {0, 3}, command(IDM_LIST_MOVE_UP), "r0* r1 r2 r3* r4"},
      {"D key", 4, {1}, key('D'), "r0 r2 r1* r3"},
      {"down from the menu bar", 4, {0, 1}, command(IDM_LIST_MOVE_DOWN_BAR), "r2 r0* r1* r3"},
      {"down with the last row selected moves nothing", 4, {1, 3}, command(IDM_LIST_MOVE_DOWN), "r0 r1* r2 r3*"},
      {"R key removes the selection", 6, {1, 3, 4}, key('R'), "r0 r2 r5"},
      {"remove with nothing selected", 3, {}, command(IDM_LIST_REMOVE_SELECTED), "r0 r1 r2"},
      {"other letters do nothing", 3, {1}, key('Z'), "r0 r1* r2"},
      {"row commands on an empty list",
       0,
       {},
       [](PlaylistWindowTest& t) {
         for (int id : {IDM_LIST_MOVE_UP, IDM_LIST_MOVE_DOWN, IDM_LIST_REMOVE_SELECTED, IDM_TAGS_READ_ALL,
                        IDM_LENGTH_ALL, IDM_PLAY}) {
           t.Command(id);
         }
       },
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rows().DeleteAllRows();
    Fill(c.rows, c.selected);
    c.action(*this);
    EXPECT_EQ(Order(), c.order);
  }
  EXPECT_TRUE(host_.played.empty());
  EXPECT_TRUE(host_.Measured().empty());
}

TEST_F(PlaylistWindowTest, PlayTakesTheFirstSelectedRowFromEveryWay) {
  Fill(5);
  Command(IDM_PLAY);  // nothing selected: nothing plays
  EXPECT_TRUE(host_.played.empty());
  rows().SetSelected(4, true);
  rows().SetSelected(2, true);
  Command(IDM_PLAY);
  Key('P');
  Notify(NM_DBLCLK);
  using Played = std::vector<std::pair<int, std::string>>;
  EXPECT_EQ(host_.played, (Played{{2, "r2"}, {2, "r2"}, {2, "r2"}}));
}

TEST_F(PlaylistWindowTest, RemoveAllOnlyAfterOk) {
  Fill(4);
  // Answers the question box from another thread, as a user would.
  const auto answer = [](int button) {
    return std::thread([button] {
      for (int i = 0; i < 500; ++i) {
        if (HWND box = FindWindowA("#32770", kRemoveAllCaption)) {
          PostMessageA(box, WM_COMMAND, button, 0);
          return;
        }
        Sleep(10);
      }
    });
  };
  std::thread cancel = answer(IDCANCEL);
  Key('A');
  cancel.join();
  EXPECT_EQ(rows().RowCount(), 4);
  std::thread ok = answer(IDOK);
  Command(IDM_LIST_REMOVE_ALL);
  ok.join();
  EXPECT_EQ(rows().RowCount(), 0);
  // An empty list still asks.
  std::thread again = answer(IDOK);
  Command(IDM_LIST_REMOVE_ALL);
  again.join();
  EXPECT_EQ(rows().RowCount(), 0);
}

TEST_F(PlaylistWindowTest, TopmostCloseAndTheTagSwitches) {
  HWND window = window_.window();
  Command(IDM_LIST_TOPMOST);
  EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(Checked(GetMenu(window), IDM_LIST_TOPMOST));
  EXPECT_FALSE(IsWindowVisible(window));  // not shown or activated by the switch
  Command(IDM_LIST_TOPMOST);
  EXPECT_FALSE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_FALSE(Checked(GetMenu(window), IDM_LIST_TOPMOST));

  ShowWindow(window, SW_SHOWNA);
  SendMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(window));
  ShowWindow(window, SW_SHOWNA);
  Key('C');
  EXPECT_FALSE(IsWindowVisible(window));
  EXPECT_EQ(host_.focused, 2);

  Command(IDM_ALWAYS_TAG_READ);
  EXPECT_TRUE(window_.preferences().alwaysTagRead);
  EXPECT_TRUE(Checked(window_.popup(), IDM_ALWAYS_TAG_READ));
  Command(IDM_ALWAYS_TAG_READ);
  EXPECT_FALSE(window_.preferences().alwaysTagRead);
  EXPECT_FALSE(Checked(window_.popup(), IDM_ALWAYS_TAG_READ));
  Command(IDM_TAG_ALWAYS_ID3V1);
  EXPECT_EQ(window_.preferences().alwaysId3v1, std::optional<bool>(true));
  EXPECT_TRUE(Checked(window_.popup(), IDM_TAG_ALWAYS_ID3V1));
  EXPECT_FALSE(Checked(window_.popup(), IDM_TAG_AUTO));
  Command(IDM_TAG_AUTO);
  EXPECT_EQ(window_.preferences().alwaysId3v1, std::optional<bool>(false));
  EXPECT_TRUE(Checked(window_.popup(), IDM_TAG_AUTO));

  // The tag editor opens with or without a row.
  Key('I');
  Fill(2, {1});
  Command(IDM_TAG_EDITOR);
  EXPECT_EQ(host_.editorPaths, (std::vector<std::string>{"", "r1"}));

  Command(IDM_RENAME_USER_PATTERN_SETUP);
  EXPECT_EQ(host_.patternEdits, 1);
}

TEST_F(PlaylistWindowTest, EachRenameCommandRenamesTheSelectedRowInItsOwnForm) {
  TempFolder folder;
  // ID3v2 names the song "V2"; the ID3v1 record holds title, artist and album.
  const std::string first =
      folder.File("x.mp3", tags::testing::Id3v2TitleArtist("V2", "") + tags::testing::Audio() +
                               tags::testing::Id3v1Bytes(tags::testing::TitleArtist("T", "A", "L")));
  appendRow(rows(), "other");
  appendRow(rows(), first);
  rows().SetSelected(1, true);
  // The "AlwaysID3v1" choice and the user's pattern reach the rename.
  testing::ChangeSettings(window_, [](settings::PlayerSettings& share) {
    share.alwaysId3v1 = true;
    share.renamePattern = "%3_%1";
  });
  const struct {
    int command;
    const char* name;
  } steps[] = {{IDM_RENAME_PAREN_ARTIST_TITLE, "(A) T.mp3"},
               {IDM_RENAME_TITLE, "T.mp3"},
               {IDM_RENAME_PAREN_ARTIST_ALBUM_TITLE, "(A - L) T.mp3"},
               {IDM_RENAME_ARTIST_DASH_TITLE, "A - T.mp3"},
               {IDM_RENAME_USER_PATTERN, "L_T.mp3"}};
  for (const auto& step : steps) {
    Command(step.command);
    EXPECT_EQ(rows().Cell(1, Column::Path), folder.path() + "\\" + step.name) << step.command;
    EXPECT_NE(GetFileAttributesA((folder.path() + "\\" + step.name).c_str()), INVALID_FILE_ATTRIBUTES);
  }
  EXPECT_EQ(rows().Cell(0, Column::Path), "other") << "a row not selected is left alone";

  Command(IDM_TAG_AUTO);
  Command(IDM_RENAME_TITLE);
  EXPECT_EQ(rows().Cell(1, Column::Path), folder.path() + "\\V2.mp3");
}

TEST_F(PlaylistWindowTest, HeaderClicksSortEachColumnItsOwnWay) {
  for (const char* artist : {"B", "C", "A"}) rows().SetCell(appendRow(rows(), artist), Column::Artist, artist);
  Notify(LVN_COLUMNCLICK, -1, 2);
  EXPECT_EQ(Order(), "C B A");
  Notify(LVN_COLUMNCLICK, -1, 2);
  EXPECT_EQ(Order(), "A B C");
  Notify(LVN_COLUMNCLICK, -1, 0);
  EXPECT_EQ(Order(), "C B A");
  EXPECT_EQ(window_.sortDirections().value, (std::array<int, 4>{2, 0, 1, 0}));
}

TEST_F(PlaylistWindowTest, LengthsOfSelectedOrAllRows) {
  Fill(4, {1, 3});
  host_.durations["r0"] = 205LL * 10'000'000;
  host_.durations["r1"] = (125LL * 60 + 7) * 10'000'000 + 9'999'999;
  host_.durations["r3"] = 0;
  rows().SetCell(3, Column::Length, "99:99");
  Key('Q');
  EXPECT_EQ(Sorted(host_.Measured()), (std::vector<std::string>{"r1", "r3"}));
  EXPECT_EQ(rows().Cell(1, Column::Length), "125:07");
  EXPECT_EQ(rows().Cell(3, Column::Length), "00:00");
  EXPECT_EQ(rows().Cell(0, Column::Length), "");
  // r2 cannot be measured: its cell is emptied.
  rows().SetCell(2, Column::Length, "01:00");
  Command(IDM_LENGTH_ALL);
  EXPECT_EQ(rows().Cell(0, Column::Length), "03:25");
  EXPECT_EQ(rows().Cell(2, Column::Length), "");
  EXPECT_EQ(host_.Measured().size(), 6u);
}

TEST_F(PlaylistWindowTest, CommandsArrivingDuringALongRunAreRefused) {
  Fill(6, {0, 1, 2, 3, 4, 5});
  bool posted = false;
  host_.onMeasure = [&](const std::string&) {
    if (posted) return;
    posted = true;
    // Handed out while the workers measure the rows.
    HWND window = window_.window();
    PostMessageA(window, WM_COMMAND, IDM_LIST_REMOVE_SELECTED, 0);
    PostMessageA(window, WM_COMMAND, IDM_LENGTH_ALL, 0);
    PostMessageA(window, WM_COMMAND, IDM_LIST_MOVE_DOWN, 0);
    PostMessageA(list(), WM_KEYDOWN, 'U', 0);
  };
  Command(IDM_LENGTH_SELECTED);
  // Everything posted was handed out during the run.
  MSG pending;
  EXPECT_FALSE(PeekMessageA(&pending, window_.window(), WM_COMMAND, WM_COMMAND, PM_NOREMOVE));
  EXPECT_FALSE(PeekMessageA(&pending, list(), WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE));
  EXPECT_FALSE(window_.busy());
  EXPECT_EQ(Sorted(host_.Measured()), (std::vector<std::string>{"r0", "r1", "r2", "r3", "r4", "r5"}));
  EXPECT_EQ(Order(), "r0* r1* r2* r3* r4* r5*");
  // Once the run is over the same command works.
  Command(IDM_LIST_REMOVE_SELECTED);
  EXPECT_EQ(rows().RowCount(), 0);
}

// A small tree: an MP3 with an upper-case extension and an ID3v2 tag, a text
// file, an empty folder, and a folder with a WAV and a Japanese-named WMA file.
struct MediaTree {
  TempFolder root;
  std::string mp3;
  std::string wav;
  std::string wma;
  MediaTree() {
    mp3 = root.File("A.MP3");
    tags::TagFields fields;
    fields.title = "Tagged";
    fields.artist = "Singer";
    tags::WriteId3v2Fields(mp3, fields);
    root.File("notes.txt");
    root.Folder("empty");
    root.Folder("sub");
    wav = root.File("sub\\b.wav");
    wma = root.File("sub\\\x8b\xc8.wma");  // "曲.wma" in code page 932
  }
};

std::vector<std::string> Sorted(std::vector<std::string> paths) {
  std::sort(paths.begin(), paths.end());
  return paths;
}

TEST_F(PlaylistWindowTest, FolderAndFolderTree) {
  MediaTree tree;
  AddFolder(tree.root.path(), false);
  EXPECT_EQ(Paths(), std::vector<std::string>{tree.mp3});
  EXPECT_EQ(rows().Cell(0, Column::Title), "");  // tags are read only when asked

  rows().DeleteAllRows();
  AddFolder(tree.root.path(), true);
  const std::vector<std::string> paths = Paths();
  EXPECT_EQ(Sorted(paths), Sorted({tree.mp3, tree.wav, tree.wma}));
  // Depth first: the sub-folder's two files are next to each other.
  const auto wav = std::find(paths.begin(), paths.end(), tree.wav) - paths.begin();
  const auto wma = std::find(paths.begin(), paths.end(), tree.wma) - paths.begin();
  EXPECT_EQ(std::abs(wav - wma), 1);

  // With tag reading on, the added rows (and only those) get their titles.
  rows().DeleteAllRows();
  appendRow(rows(), "C:\\kept.mp3");
  testing::SetAlwaysTagRead(window_, true);
  AddFolder(tree.root.path(), true);
  ASSERT_EQ(rows().RowCount(), 4);
  EXPECT_EQ(rows().Cell(0, Column::Title), "");
  for (int row = 1; row < 4; ++row) {
    const std::string path = rows().Cell(row, Column::Path);
    const std::string title = rows().Cell(row, Column::Title);
    if (path == tree.mp3) {
      EXPECT_EQ(title + "/" + rows().Cell(row, Column::Artist), "Tagged/Singer");
    } else {
      EXPECT_EQ(title, path.substr(path.rfind('\\') + 1));
    }
  }
}

TEST_F(PlaylistWindowTest, AddingAFolderKeepsAnsweringButRefusesRowCommands) {
  MediaTree tree;
  Fill(2, {0, 1});
  testing::SetAlwaysTagRead(window_, true);
  HWND window = window_.window();
  // Waiting before the folder is added: handed out while it is.
  PostMessageA(window, WM_COMMAND, IDM_LIST_TOPMOST, 0);
  PostMessageA(window, WM_COMMAND, IDM_LIST_REMOVE_SELECTED, 0);
  PostMessageA(window, WM_COMMAND, IDM_LENGTH_ALL, 0);
  AddFolder(tree.root.path(), true);
  MSG pending;
  EXPECT_FALSE(PeekMessageA(&pending, window, WM_COMMAND, WM_COMMAND, PM_NOREMOVE));
  EXPECT_TRUE(window_.topmost());
  EXPECT_EQ(rows().RowCount(), 5);
  EXPECT_TRUE(host_.Measured().empty());
  Command(IDM_LIST_TOPMOST);
}

TEST_F(PlaylistWindowTest, FolderTreeDoesNotFollowALinkBackIntoItself) {
  MediaTree tree;
  const std::string link = tree.root.path() + "\\sub\\back";
  if (!CreateSymbolicLinkA(link.c_str(), tree.root.path().c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY)) {
    GTEST_SKIP() << "no directory links here";
  }
  AddFolder(tree.root.path(), true);
  // Every file once, however the link is listed.
  EXPECT_EQ(Sorted(Paths()), Sorted({tree.mp3, tree.wav, tree.wma}));
}

TEST_F(PlaylistWindowTest, FilesDroppedOnTheList) {
  MediaTree tree;
  TempFolder other;
  const std::string m3u = other.File("List.M3U", "C:\\one.mp3\r\nC:\\one.mp3\r\nC:\\two.wav");
  const std::string text = other.File("readme.txt");
  appendRow(rows(), "C:\\before.mp3");
  testing::SetAlwaysTagRead(window_, true);
  Drop(MakeDrop({tree.root.path(), m3u, text}));
  // The folder adds its own media files only, the playlist its entries (appended),
  // anything else itself.
  EXPECT_EQ(Paths(), (std::vector<std::string>{"C:\\before.mp3", tree.mp3, "C:\\one.mp3", "C:\\two.wav", text}));
  EXPECT_EQ(rows().Cell(0, Column::Title), "");
  EXPECT_EQ(rows().Cell(1, Column::Title), "Tagged");
  EXPECT_EQ(rows().Cell(4, Column::Title), "readme.txt");
}

// Closes every error box the playlist shows meanwhile, keeping what they said.
class ErrorBoxes {
 public:
  ErrorBoxes()
      : thread_([this] {
          while (!done_) {
            if (HWND box = FindWindowA("#32770", "エラー"); box != nullptr && IsWindowVisible(box)) {
              char text[256] = {};
              GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
              texts_.push_back(text);
              SendMessageA(box, WM_COMMAND, IDOK, 0);
            }
            Sleep(10);
          }
        }) {}
  std::vector<std::string> Stop() {
    done_ = true;
    thread_.join();
    return texts_;
  }

 private:
  std::atomic<bool> done_{false};
  std::vector<std::string> texts_;
  std::thread thread_;
};

// Wide drops: a 120-character Japanese path (over 259 bytes in code page 932), a
// Korean name and a folder holding one. Each file comes in whole by its short form or
// is left out with one message for the drop; never a cut path, never a "?".
TEST_F(PlaylistWindowTest, WideDropsAddTheFilesThemselvesOrSayOnceWhyNot) {
  TempFolder folder;
  testing::WideFiles files(testing::WidePath(folder.path()));
  const std::wstring deep = files.File(testing::DeepJapaneseRelative());
  const std::wstring korean = files.File(L"\uD55C\uAD6D\uC5B4.wav");
  const std::wstring inFolder = files.File(L"\u97F3\\\uD55C.mp3");
  ASSERT_FALSE(deep.empty() || korean.empty() || inFolder.empty());
  const std::wstring folderPath = inFolder.substr(0, inFolder.rfind(L'\\'));
  ErrorBoxes boxes;
  Drop(MakeWideDrop({deep, korean, folderPath}));
  const std::vector<std::string> told = boxes.Stop();

  std::vector<std::wstring> added;
  for (const std::string& path : Paths()) {
    EXPECT_EQ(path.find('?'), std::string::npos) << path;
    EXPECT_LE(path.size(), 259u) << path;
    wchar_t full[MAX_PATH] = {};
    ASSERT_GT(GetLongPathNameW(testing::WidePath(path).c_str(), full, MAX_PATH), 0u) << "no such file: " << path;
    added.push_back(full);
  }
  const std::size_t left = 3 - added.size();
  EXPECT_EQ(told.size(), left == 0 ? 0u : 1u) << "one message for the whole drop";
  for (const std::string& text : told) {
    EXPECT_TRUE(text == platform::kPathTooLong || text == platform::kPathUnrepresentable) << text;
  }
  for (const std::wstring& file : {deep, korean, inFolder}) {
    const bool in = std::find(added.begin(), added.end(), file) != added.end();
    if (!in) {
      EXPECT_FALSE(told.empty()) << "a file left out without a message";
    }
  }
}

// Types a wide path into the file dialog the owner shows, as a user does, from another
// thread; cancels the dialog if it is still up afterwards, so the test never hangs.
void ChooseWideInDialog(HWND owner, std::wstring path, std::atomic<bool>* chosen) {
  HWND dialog = nullptr;
  for (int i = 0; i < 400 && dialog == nullptr; ++i) {
    HWND candidate = FindWindowA("#32770", nullptr);
    if (candidate != nullptr && GetWindow(candidate, GW_OWNER) == owner && IsWindowVisible(candidate)) {
      dialog = candidate;
    } else {
      Sleep(50);
    }
  }
  if (dialog == nullptr) return;
  HWND edit = nullptr;
  if (HWND combo = GetDlgItem(dialog, 1148)) edit = FindWindowExA(combo, nullptr, "Edit", nullptr);
  if (edit == nullptr) edit = GetDlgItem(dialog, 1152);
  if (edit == nullptr) edit = GetDlgItem(dialog, 1148);
  if (edit != nullptr) {
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    *chosen = true;
  }
  for (int i = 0; i < 200 && IsWindow(dialog); ++i) Sleep(50);
  if (IsWindow(dialog)) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
}

// A playlist file whose name the code page cannot hold, chosen in the open dialog:
// it loads through its short name, or the user is told why not. Asked through the
// ANSI dialog, the name came back with "?" and named no file.
TEST_F(PlaylistWindowTest, APlaylistWithAWideNameOpensByItsShortNameOrSaysWhyNot) {
  TempFolder folder;
  testing::WideFiles files(testing::WidePath(folder.path()));
  const std::wstring playlistFile =
      files.File(L"\uD55C\uAD6D\uC5B4.m3u", "#EXTM3U\r\n#EXTINF:1,Loaded\r\nC:\\loaded\\one.mp3");
  ASSERT_FALSE(playlistFile.empty());
  ErrorBoxes boxes;
  std::atomic<bool> chosen{false};
  std::thread chooser(ChooseWideInDialog, window_.window(), playlistFile, &chosen);
  SendMessageA(window_.window(), WM_COMMAND, IDM_LIST_OPEN, 0);
  chooser.join();
  const std::vector<std::string> told = boxes.Stop();
  ASSERT_TRUE(chosen);
  if (told.empty()) {
    EXPECT_EQ(Paths(), std::vector<std::string>{"C:\\loaded\\one.mp3"});
  } else {
    EXPECT_EQ(told, std::vector<std::string>{platform::kPathUnrepresentable});
  }
}

class RowDragTest : public PlaylistWindowTest {
 protected:
  void SetUp() override {
    PlaylistWindowTest::SetUp();
    SetWindowPos(window_.window(), nullptr, 0, 0, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    UpdateWindow(window_.window());
  }
  POINT RowCentre(int row) {
    RECT item{};
    item.left = LVIR_BOUNDS;
    SendMessageA(list(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item));
    return {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
  }
  void Mouse(UINT message, POINT at) {
    SendMessageA(list(), message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(at.x, at.y));
  }
  void Drag(int start, POINT to) {
    Notify(LVN_BEGINDRAG, start);
    ASSERT_TRUE(window_.dragging());
    Mouse(WM_MOUSEMOVE, to);
    Mouse(WM_LBUTTONUP, to);
    EXPECT_FALSE(window_.dragging());
  }
};

TEST_F(RowDragTest, DraggedRowsKeepTheirGap) {
  Fill(8, {1, 4});
  Drag(1, RowCentre(6));
  EXPECT_EQ(Order(), "r0 r2 r3 r1* r5 r6 r4* r7");
  // Moving up: the first dragged row lands on the target.
  rows().DeleteAllRows();
  Fill(8, {5, 7});
  Drag(7, RowCentre(2));
  EXPECT_EQ(Order(), "r0 r1 r5* r2 r7* r3 r4 r6");
}

TEST_F(RowDragTest, DropsThatMoveNothing) {
  Fill(8, {1, 4});
  Drag(1, RowCentre(4));  // onto a dragged row
  Drag(1, RowCentre(1));  // onto the start row
  RECT client{};
  GetClientRect(list(), &client);
  Drag(1, {client.right + 40, RowCentre(6).y});  // beside the list
  EXPECT_EQ(Order(), "r0 r1* r2 r3 r4* r5 r6 r7");

  // Losing the mouse capture ends the drag without a move.
  Notify(LVN_BEGINDRAG, 1);
  ASSERT_TRUE(window_.dragging());
  ReleaseCapture();
  EXPECT_FALSE(window_.dragging());
  Mouse(WM_LBUTTONUP, RowCentre(6));
  EXPECT_EQ(Order(), "r0 r1* r2 r3 r4* r5 r6 r7");
}

TEST_F(RowDragTest, HoldingRowsJustBelowTheListScrollsIt) {
  Fill(60, {0});
  ASSERT_EQ(SendMessageA(list(), LVM_GETTOPINDEX, 0, 0), 0);
  RECT client{};
  GetClientRect(list(), &client);
  Notify(LVN_BEGINDRAG, 0);
  for (int i = 0; i < 12; ++i) Mouse(WM_MOUSEMOVE, {client.right / 2, client.bottom + 6});
  EXPECT_GT(SendMessageA(list(), LVM_GETTOPINDEX, 0, 0), 0);
  // Far below: no more scrolling, and the drop there moves nothing.
  const LRESULT top = SendMessageA(list(), LVM_GETTOPINDEX, 0, 0);
  Mouse(WM_MOUSEMOVE, {client.right / 2, client.bottom + 40});
  EXPECT_EQ(SendMessageA(list(), LVM_GETTOPINDEX, 0, 0), top);
  Mouse(WM_LBUTTONUP, {client.right / 2, client.bottom + 40});
  EXPECT_TRUE(rows().IsSelected(0));
  EXPECT_EQ(rows().Cell(0, Column::Path), "r0");
}

}  // namespace
}  // namespace kestrun::playlist
