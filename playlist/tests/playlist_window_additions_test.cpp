// How rows come into the playlist window: the automatic playlist at creation, the
// titles a folder tree's rows get before any tag is read, the tag-reading switch for
// files chosen in the add-files dialog, dropped folders scanned in the background,
// and a drop that arrives while a long command runs.
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
#include <string>
#include <thread>
#include <vector>

#include "platform/drop_target_win.h"
#include "platform/testing/real_input_win.h"
#include "platform/win32_handles_win.h"
#include "playlist/folder_scan_win.h"
#include "playlist/memory_row_store.h"
#include "playlist/tests/playlist_window_harness.h"
#include "playlist/tests/change_settings_win.h"
#include "platform/testing/temp_dir.h"
#include "resources/menu_ids.h"
#include "tags/formats/tests/container_builders.h"
#include "tags/id3/id3v2.h"

namespace kestrun::playlist {
namespace {

using testing::MakeDrop;
using testing::PumpMessages;
using testing::Settle;

using Folder = kestrun::testing::TempDir;

// An MP3 file in folder: an ID3v2 tag with this title before four bytes of data.
std::string TaggedMp3(const Folder& folder, const std::string& name, const std::string& title) {
  const std::string file = folder.Write(name, "data");
  tags::TagFields fields;
  fields.title = title;
  tags::WriteId3v2Fields(file, fields);
  return file;
}

class PlaylistAdditions : public ::testing::Test {
 protected:
  void Create(const std::string& appDirectory) { ASSERT_TRUE(ui_.Create(appDirectory)); }
  RowStore& rows() { return ui_.rows(); }
  std::vector<std::string> Cells(playlist::Column column) { return ui_.Cells(column); }

  testing::PlaylistWindowHarness ui_;
  testing::FakePlaylistHost& host_ = ui_.host;
  PlaylistWindow& window_ = ui_.window;
};

// A player that forgot its list between runs: the automatic playlist next to the
// program must be read when the window is made, before anything else is added.
TEST_F(PlaylistAdditions, TheAutomaticPlaylistNextToTheProgramFillsTheNewWindow) {
  Folder program;
  program.Write("default.m3u", "#EXTM3U\r\n#EXTINF:12,First\r\nC:\\music\\one.mp3\r\nC:\\music\\two.wav\r\n");
  Create(program.path());
  EXPECT_EQ(Cells(Column::Path), (std::vector<std::string>{"C:\\music\\one.mp3", "C:\\music\\two.wav"}));
}

// Rows from a folder tree carry no title until their tags are read: a folder other
// than a drive root lists "." first, so none of its files is the very first entry.
TEST_F(PlaylistAdditions, FolderTreeRowsHaveNoSizeTitleWithoutTagReading) {
  Create("C:\\nonexistent-folder");
  Folder tree;
  tree.Write("a.mp3", "12345");
  tree.Write("b.wav", "123");
  tree.Folder("sub");
  tree.Write("sub\\c.mp3", "1234567");
  tree.Write("sub\\d.wma", "12");
  testing::SetAlwaysTagRead(window_, false);
  window_.AddFolder(tree.path(), true);
  Settle(window_);
  ASSERT_EQ(rows().RowCount(), 4);
  EXPECT_EQ(Cells(Column::Title), (std::vector<std::string>(4, ""))) << "a size title such as \"5 byte\"";
}

// While files arrive the list is told the new count only a few times a second;
// when the run ends it must show every row, with the titles read for them.
TEST_F(PlaylistAdditions, EveryAddedRowIsShownWhenTheRunEnds) {
  Create("C:\\nonexistent-folder");
  Folder tree;
  constexpr int kFiles = 400;
  for (int i = 0; i < kFiles; ++i) {
    if (i % 100 == 0) tree.Folder("d" + std::to_string(i / 100));
    tree.Write("d" + std::to_string(i / 100) + "\\t" + std::to_string(i) + ".mp3", "x");
  }
  testing::SetAlwaysTagRead(window_, true);
  ShowWindow(window_.window(), SW_SHOWNA);
  window_.AddFolder(tree.path(), true);
  Settle(window_);
  ASSERT_EQ(rows().RowCount(), kFiles);
  EXPECT_EQ(SendMessageA(window_.list(), LVM_GETITEMCOUNT, 0, 0), kFiles);
  const std::vector<std::string> titles = Cells(Column::Title);
  EXPECT_EQ(std::count(titles.begin(), titles.end(), std::string()), 0);
}

// A share "\\host\music" made for the test. Wine serves UNC paths from folders
// under its prefix's dosdevices\unc; where that is not so (no prefix known, or the
// share does not answer) there is none and the test is skipped.
class TestShare {
 public:
  TestShare() {
    char prefix[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof(prefix));
    if (length == 0 || length >= sizeof(prefix) || prefix[0] != '/') return;
    std::string host(prefix, length);
    std::replace(host.begin(), host.end(), '/', '\\');
    const std::string name = "kestrun-share-" + std::to_string(GetCurrentProcessId());
    hostFolder_ = "Z:" + host + "\\dosdevices\\unc\\" + name;
    const std::string folder = hostFolder_ + "\\music";
    if (SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr) != ERROR_SUCCESS) return;
    for (const char* file : {"a.mp3", "b.wav", "notes.txt"}) {
      HANDLE handle = CreateFileA((folder + "\\" + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      CloseHandle(handle);
    }
    const std::string share = "\\\\" + name + "\\music";
    const DWORD attributes = GetFileAttributesA(share.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) path_ = share;
  }
  ~TestShare() {
    if (hostFolder_.empty()) return;
    std::string list = hostFolder_;
    list.append(2, '\0');
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = list.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&op);
  }
  // "\\host\music", or empty when no share could be made.
  const std::string& path() const { return path_; }

 private:
  std::string hostFolder_;
  std::string path_;
};

// A share's top folder ends in no backslash, unlike a drive root: adding it, with or
// without subfolders, or dropping it looks inside it and names its files
// "\\host\music\a.mp3" (taken for a root it would look for "\\host\music*").
TEST_F(PlaylistAdditions, AShareTopFolderIsScannedAndItsFilesJoined) {
  const TestShare share;
  if (share.path().empty()) GTEST_SKIP() << "no UNC share can be made here";
  Create("C:\\nonexistent-folder");
  const std::vector<std::string> expected{share.path() + "\\a.mp3", share.path() + "\\b.wav"};
  const auto sortedPaths = [this] {
    std::vector<std::string> paths = Cells(Column::Path);
    std::sort(paths.begin(), paths.end());
    return paths;
  };
  window_.AddFolder(share.path(), false);
  Settle(window_);
  EXPECT_EQ(sortedPaths(), expected);
  rows().DeleteAllRows();
  window_.AddFolder(share.path(), true);
  Settle(window_);
  EXPECT_EQ(sortedPaths(), expected);
  rows().DeleteAllRows();
  window_.AddDroppedPaths({share.path()});
  Settle(window_);
  EXPECT_EQ(sortedPaths(), expected);
}

// "AlwaysTagRead" decides for files from the add-files dialog as for every other
// way in: on, the new row has its tag title at once; off, it has none.
TEST_F(PlaylistAdditions, AddFilesDialogReadsTagsExactlyWhenTagReadingIsOn) {
  Create("C:\\nonexistent-folder");
  Folder media;
  const std::string song = TaggedMp3(media, "song.mp3", "Tagged Title");
  for (const bool tagRead : {true, false}) {
    SCOPED_TRACE(tagRead ? "tag reading on" : "tag reading off");
    rows().DeleteAllRows();
    testing::SetAlwaysTagRead(window_, tagRead);
    std::atomic<bool> chosen{false};
    std::thread chooser([&] { chosen = kestrun::testing::ChooseInFileDialog(window_.window(), song); });
    SendMessageA(window_.window(), WM_COMMAND, IDM_LIST_ADD_FILES, 0);
    chooser.join();
    Settle(window_);
    ASSERT_TRUE(chosen);
    ASSERT_EQ(Cells(Column::Path), std::vector<std::string>{song});
    EXPECT_EQ(rows().Cell(0, Column::Title), tagRead ? "Tagged Title" : "");
  }
}

// Files dropped while lengths are measured would change the rows under the run:
// the drop waits and is added, once, when the run has ended; it is never lost.
TEST_F(PlaylistAdditions, ADropDuringALongRunWaitsForItsEnd) {
  Create("C:\\nonexistent-folder");
  for (const char* path : {"C:\\r0.mp3", "C:\\r1.mp3", "C:\\r2.mp3"}) {
    rows().SetSelected(appendRow(rows(), path), true);
  }
  // The run is held in its first measurement until the drop has been handled.
  std::atomic<bool> release{false};
  std::atomic<bool> first{true};
  host_.onMeasure = [&](const std::string&) {
    if (!first.exchange(false)) return;
    PostMessageA(window_.list(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({"C:\\dropped.mp3"})), 0);
    while (!release) Sleep(1);
  };
  SendMessageA(window_.window(), WM_COMMAND, IDM_LENGTH_SELECTED, 0);
  ASSERT_TRUE(window_.busy());
  for (int i = 0; i < 5000; ++i) {
    MSG pending;
    if (!first && !PeekMessageA(&pending, window_.list(), WM_DROPFILES, WM_DROPFILES, PM_NOREMOVE)) break;
    PumpMessages();
    Sleep(1);
  }
  // Taken during the run, but not yet added.
  EXPECT_TRUE(window_.busy());
  EXPECT_EQ(Cells(Column::Path), (std::vector<std::string>{"C:\\r0.mp3", "C:\\r1.mp3", "C:\\r2.mp3"}));
  release = true;
  Settle(window_);
  EXPECT_EQ(Cells(Column::Path),
            (std::vector<std::string>{"C:\\r0.mp3", "C:\\r1.mp3", "C:\\r2.mp3", "C:\\dropped.mp3"}));
  EXPECT_EQ(host_.Measured().size(), 3u);
}

// A folder of FLAC, MP4 and Ogg files: the scan takes them, their rows get the
// titles of their own tags and the lengths of their stream headers; a file whose
// bytes are not what its name says keeps its name as title and goes to the graph.
TEST_F(PlaylistAdditions, FlacMp4AndOggRowsAreTitledAndTimedFromTheirOwnHeaders) {
  using namespace tags::testing;
  Create("C:\\nonexistent-folder");
  Folder folder;
  folder.Write("a.flac", FlacFile(VorbisComment({"TITLE=Flac song", "ARTIST=Flac band"}), 9096));
  folder.Write("b.m4a", Mp4File(Mvhd(1000, 125000) + Ilst(Item("\xA9nam", 1, "Mp4 song"))));
  folder.Write("c.opus", OggPage(7, 0, 2, OpusHead(312)) +
                             OggPage(7, 0, 0, "OpusTags" + VorbisComment({"TITLE=Opus song"})) +
                             OggPage(7, 48000 * 61 + 312, 4, "x"));
  const std::string mislabelled = folder.Write("d.ogg", "not an Ogg file");
  folder.Write("e.txt", "text");
  testing::SetAlwaysTagRead(window_, true);
  window_.AddFolder(folder.path(), false);
  Settle(window_);
  ASSERT_EQ(rows().RowCount(), 4) << "the text file is not a media file";
  std::map<std::string, std::pair<std::string, std::string>> titled;
  for (int row = 0; row < rows().RowCount(); ++row) {
    const std::string path = rows().Cell(row, Column::Path);
    titled[path.substr(path.rfind('\\') + 1)] = {rows().Cell(row, Column::Title), rows().Cell(row, Column::Artist)};
  }
  EXPECT_EQ(titled["a.flac"], std::make_pair(std::string("Flac song"), std::string("Flac band")));
  EXPECT_EQ(titled["b.m4a"].first, "Mp4 song");
  EXPECT_EQ(titled["c.opus"].first, "Opus song");
  EXPECT_EQ(titled["d.ogg"].first, "d.ogg");

  SendMessageA(window_.window(), WM_COMMAND, IDM_LENGTH_ALL, 0);
  Settle(window_);
  std::map<std::string, std::string> lengths;
  for (int row = 0; row < rows().RowCount(); ++row) {
    const std::string path = rows().Cell(row, Column::Path);
    lengths[path.substr(path.rfind('\\') + 1)] = rows().Cell(row, Column::Length);
  }
  EXPECT_EQ(lengths["a.flac"], "00:00");
  EXPECT_EQ(lengths["b.m4a"], "02:05");
  EXPECT_EQ(lengths["c.opus"], "01:01");
  EXPECT_EQ(lengths["d.ogg"], "") << "the graph (here: none) has the last word";
  EXPECT_EQ(host_.Measured(), std::vector<std::string>{mislabelled});
}

// A folder of count empty MP3 files, and the paths a scan of it adds, in the order
// the system lists them.
std::vector<std::string> MediaFolder(const Folder& root, const std::string& name, int count) {
  const std::string folder = root.Folder(name);
  for (int i = 0; i < count; ++i) root.Write(name + "\\f" + std::to_string(i) + ".mp3", "");
  MemoryRowStore scanned;
  addFolderFiles(folder, scanned);
  std::vector<std::string> paths;
  for (int row = 0; row < scanned.RowCount(); ++row) paths.push_back(scanned.Cell(row, Column::Path));
  return paths;
}

// Everything a drop holds is added in the drop's order: a folder's files where the
// folder stands (in scan order, though a worker scans it), a playlist's entries where
// the playlist stands; a second drop that arrives during the first one's scan comes
// after all of it.
TEST_F(PlaylistAdditions, ADropKeepsItsOrderWhileItsFoldersAreScanned) {
  Create(testing::kNoAppDirectory);
  Folder root;
  const std::vector<std::string> first = MediaFolder(root, "first", 3);
  const std::vector<std::string> second = MediaFolder(root, "second", 2);
  root.Write("second\\notes.txt", "");
  const std::string m3u = root.Write("list.m3u", "#EXTM3U\r\nC:\\listed1.mp3\r\nC:\\listed2.wav\r\n");
  ASSERT_EQ(first.size(), 3u);
  ASSERT_EQ(second.size(), 2u);
  HWND list = window_.list();
  PostMessageA(list, WM_DROPFILES,
               reinterpret_cast<WPARAM>(
                   MakeDrop({"C:\\a.mp3", root.path() + "\\first", m3u, root.path() + "\\second", "C:\\b.mp3"})),
               0);
  PostMessageA(list, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({"C:\\later.mp3"})), 0);
  PumpMessages();
  ASSERT_TRUE(Settle(window_));
  std::vector<std::string> expected{"C:\\a.mp3"};
  expected.insert(expected.end(), first.begin(), first.end());
  expected.insert(expected.end(), {"C:\\listed1.mp3", "C:\\listed2.wav"});
  expected.insert(expected.end(), second.begin(), second.end());
  expected.insert(expected.end(), {"C:\\b.mp3", "C:\\later.mp3"});
  EXPECT_EQ(Cells(Column::Path), expected);
}

// Esc typed right after a folder was dropped: the scan stops before any of its rows
// are added, the rest of that drop is left out, and the window takes the next drop
// whole. A scan on the window's own thread saw the Esc only when it had added all.
TEST_F(PlaylistAdditions, EscStopsADroppedFolderScan) {
  Create(testing::kNoAppDirectory);
  Folder root;
  const std::vector<std::string> files = MediaFolder(root, "many", 200);
  const std::string folder = root.path() + "\\many";
  HWND list = window_.list();
  ShowWindow(window_.window(), SW_SHOW);
  kestrun::testing::BringToFront(window_.window());
  SetFocus(list);
  PumpMessages();
  // The drop is handed out before the key: posted messages come before input.
  PostMessageA(list, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({"C:\\before.mp3", folder, "C:\\after.mp3"})), 0);
  ASSERT_TRUE(kestrun::testing::PressKey(VK_ESCAPE));
  PumpMessages();
  ASSERT_TRUE(Settle(window_));
  EXPECT_EQ(Cells(Column::Path), std::vector<std::string>{"C:\\before.mp3"});
  // The stopped scan's workers are gone and left no mark: the same drop again adds all.
  rows().DeleteAllRows();
  ui_.Drop(MakeDrop({folder}));
  EXPECT_EQ(Cells(Column::Path), files);
}

// While a big dropped folder is scanned the window answers other threads at once
// and the drop hands control back before its rows are in.
TEST_F(PlaylistAdditions, TheWindowAnswersDuringABigDroppedFolderScan) {
  Create(testing::kNoAppDirectory);
  Folder root;
  const std::vector<std::string> files = MediaFolder(root, "big", 1500);
  SendMessageA(window_.list(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({root.path() + "\\big"})), 0);
  EXPECT_TRUE(window_.busy()) << "the drop was added before the window could answer anything";
  EXPECT_LT(rows().RowCount(), 1500);
  std::atomic<bool> done{false};
  std::atomic<int> answered{0};
  std::atomic<int> unanswered{0};
  HWND window = window_.window();
  std::thread asker([&] {
    while (!done) {
      DWORD_PTR result = 0;
      if (SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result) != 0) {
        ++answered;
      } else {
        ++unanswered;
      }
      Sleep(5);
    }
  });
  // Questions asked from the start of the scan; each is answered while rows arrive.
  while (answered == 0 && unanswered == 0) {
    PumpMessages();
    Sleep(1);
  }
  const bool settled = Settle(window_);
  done = true;
  PumpMessages();
  asker.join();
  ASSERT_TRUE(settled);
  EXPECT_EQ(unanswered, 0);
  EXPECT_GT(answered, 0);
  EXPECT_EQ(Cells(Column::Path), files);
}

// Files dragged onto the list with the system's drag and drop. The list takes them
// through a drop target of its own, which gets the file list carried into this process
// (a drag from another process does not reach a window that only accepts WM_DROPFILES
// under Wine), and adds them once the drag has ended, in their order.
// OLE on the test's thread from before the window is made until after it is gone.
struct OleFirst {
  platform::OleSession ole_;
};

class PlaylistListDropTarget : protected OleFirst, public PlaylistAdditions {
 protected:
  // Reports event to the list as the drop target does; returns the effect written.
  DWORD Report(platform::DropEvent event, UINT format, HGLOBAL data) {
    POINTL point{};
    platform::DropInfo info;
    info.point = &point;
    info.format = format;
    info.data = data;
    SendMessageA(window_.list(), platform::kDropMessage, event, reinterpret_cast<LPARAM>(&info));
    return info.effect;
  }
};

TEST_F(PlaylistListDropTarget, DraggedFilesArriveThroughTheTargetAfterTheDrag) {
  ASSERT_TRUE(ole_.ok());
  Create(testing::kNoAppDirectory);
  HWND list = window_.list();
  // The list is a drop target: a second registration is refused.
  const UINT formats[] = {CF_HDROP};
  IDropTarget* probe = platform::NewDropTarget(list, WM_NULL, formats, 1);
  ASSERT_NE(probe, nullptr);
  const HRESULT second = RegisterDragDrop(list, probe);
  if (second == S_OK) RevokeDragDrop(list);
  probe->Release();
  EXPECT_EQ(second, DRAGDROP_E_ALREADYREGISTERED) << "only WM_DROPFILES would reach the list";

  HGLOBAL files = MakeDrop({"C:\\one.mp3", "C:\\two.wav", "C:\\three.mp3"});
  EXPECT_EQ(Report(platform::kDragEnter, CF_HDROP, files), static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(Report(platform::kDragOver, 0, nullptr), static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(Report(platform::kDrop, CF_HDROP, files), static_cast<DWORD>(DROPEFFECT_COPY));
  GlobalFree(files);  // the target's block: the list copied what it needs
  EXPECT_EQ(rows().RowCount(), 0) << "added inside the drop call, which holds the dragging program";
  PumpMessages();
  ASSERT_TRUE(Settle(window_));
  EXPECT_EQ(Cells(Column::Path), (std::vector<std::string>{"C:\\one.mp3", "C:\\two.wav", "C:\\three.mp3"}));

  // A drag without files is refused over the list, and its drop adds nothing.
  EXPECT_EQ(Report(platform::kDragEnter, 0, nullptr), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(Report(platform::kDragOver, 0, nullptr), static_cast<DWORD>(DROPEFFECT_NONE));
  EXPECT_EQ(Report(platform::kDrop, 0, nullptr), static_cast<DWORD>(DROPEFFECT_NONE));
  PumpMessages();
  EXPECT_EQ(rows().RowCount(), 3);
}

}  // namespace
}  // namespace kestrun::playlist
