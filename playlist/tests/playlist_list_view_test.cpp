// The playlist's list control shows the rows kept in memory (owner-data mode):
// what it shows must be the rows, and the selection a user makes with real clicks
// and keys must reach the rows and stay with them through header sorts, drags and
// removals. Driven with real input (SendInput) on a shown window.
#include "playlist/playlist_window_win.h"

#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/testing/real_input_win.h"
#include "platform/testing/temp_dir.h"
#include "playlist/playlist_entry.h"
#include "playlist/tests/playlist_window_harness.h"
#include "resources/menu_ids.h"

namespace kestrun::playlist {
namespace {

using kestrun::testing::WaitUntil;

class ListViewTest : public ::testing::Test {
 protected:
  // Makes the window with the automatic playlist of appDirectory and shows it at
  // the top left of the screen, in front, with the list focused.
  void Open(const std::string& appDirectory = testing::kNoAppDirectory) {
    ASSERT_TRUE(ui_.Create(appDirectory));
    SetWindowPos(window_.window(), HWND_TOP, 10, 10, 420, 320, SWP_SHOWWINDOW);
    kestrun::testing::BringToFront(window_.window());
    SetFocus(list());
    UpdateWindow(window_.window());
    testing::PumpMessages();
  }
  RowStore& rows() { return *window_.rows(); }
  HWND list() { return window_.list(); }

  // Rows with paths from names and titles "t" + name.
  void Fill(std::initializer_list<const char*> names) {
    for (const char* name : names) {
      const int row = appendRow(rows(), name);
      rows().SetCell(row, Column::Title, std::string("t").append(name));
    }
    UpdateWindow(list());
  }
  // A cell as the control hands it out (through its LVN_GETDISPINFO request).
  std::string Shown(int row, Column column) {
    char buffer[300] = {};
    LVITEMA item{};
    item.iSubItem = static_cast<int>(column);
    item.pszText = buffer;
    item.cchTextMax = sizeof(buffer);
    SendMessageA(list(), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return buffer;
  }
  // The selected rows' paths by the rows, and by the control.
  std::string SelectedPaths() {
    std::string paths;
    for (int row : SelectedRows(rows())) paths += rows().Cell(row, Column::Path) + " ";
    return paths;
  }
  std::string ShownSelection() {
    std::string paths;
    for (int item = ListView_GetNextItem(list(), -1, LVNI_SELECTED); item >= 0;
         item = ListView_GetNextItem(list(), item, LVNI_SELECTED)) {
      paths += Shown(item, Column::Path) + " ";
    }
    return paths;
  }
  // A point on the screen inside a row, in its path column.
  POINT RowPoint(int row) {
    RECT item{};
    item.left = LVIR_BOUNDS;
    SendMessageA(list(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item));
    POINT point{item.left + 30, (item.top + item.bottom) / 2};
    ClientToScreen(list(), &point);
    return point;
  }
  POINT HeaderPoint(int column) {
    HWND header = ListView_GetHeader(list());
    RECT item{};
    Header_GetItemRect(header, column, &item);
    POINT point{(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    ClientToScreen(header, &point);
    return point;
  }
  // Clicks with the real pointer and lets the window handle it until done holds.
  template <typename Done>
  bool ClickAndWait(POINT point, Done done, WORD heldKey = 0) {
    const bool sent = heldKey ? kestrun::testing::ClickWithKeyHeld(point, heldKey) : kestrun::testing::ClickAt(point);
    return sent && WaitUntil(done, 3000);
  }

  testing::PlaylistWindowHarness ui_;
  PlaylistWindow& window_ = ui_.window;
};

TEST_F(ListViewTest, TheControlShowsExactlyTheRows) {
  Open();
  EXPECT_TRUE(GetWindowLongA(list(), GWL_STYLE) & LVS_OWNERDATA) << "the control would keep a second copy";
  Fill({"C:\\a.mp3", "C:\\b.mp3", "C:\\c.mp3"});
  rows().SetCell(1, Column::Artist, "\x89\xcc\x8e\xe8");  // "歌手" in code page 932
  rows().SetCell(1, Column::Length, "125:07");
  rows().InsertRow(1, "C:\\inserted.mp3");
  rows().DeleteRow(3);
  const auto expectShown = [&](const char* when) {
    SCOPED_TRACE(when);
    ASSERT_EQ(ListView_GetItemCount(list()), rows().RowCount());
    for (int row = 0; row < rows().RowCount(); ++row) {
      for (int column = 0; column < kColumnCount; ++column) {
        EXPECT_EQ(Shown(row, static_cast<Column>(column)), rows().Cell(row, static_cast<Column>(column)))
            << "row " << row << " column " << column;
      }
    }
  };
  expectShown("after inserts and a removal");
  ASSERT_TRUE(ClickAndWait(HeaderPoint(0), [&] { return window_.sortDirections().value[0] != 0; }));
  EXPECT_EQ(rows().Cell(0, Column::Path), "C:\\inserted.mp3");
  expectShown("after a header click");
  rows().DeleteAllRows();
  expectShown("emptied");
}

TEST_F(ListViewTest, ClicksAndShiftClicksSelectTheRows) {
  Open();
  Fill({"r0", "r1", "r2", "r3", "r4", "r5"});
  ASSERT_TRUE(ClickAndWait(RowPoint(1), [&] { return SelectedPaths() == "r1 "; })) << SelectedPaths();
  ASSERT_TRUE(ClickAndWait(
      RowPoint(4), [&] { return SelectedPaths() == "r1 r2 r3 r4 "; }, VK_SHIFT))
      << SelectedPaths();
  ASSERT_TRUE(ClickAndWait(
      RowPoint(2), [&] { return SelectedPaths() == "r1 r3 r4 "; }, VK_CONTROL))
      << SelectedPaths();
  EXPECT_EQ(ShownSelection(), SelectedPaths());
  // A plain click starts again.
  ASSERT_TRUE(ClickAndWait(RowPoint(5), [&] { return SelectedPaths() == "r5 "; })) << SelectedPaths();
  EXPECT_EQ(ShownSelection(), "r5 ");
}

TEST_F(ListViewTest, SelectionStaysWithItsRowsThroughSortDragAndRemoval) {
  Open();
  Fill({"m0", "m1", "m2", "m3", "m4", "m5", "m6", "m7"});
  ASSERT_TRUE(ClickAndWait(RowPoint(1), [&] { return SelectedPaths() == "m1 "; }));
  ASSERT_TRUE(ClickAndWait(
      RowPoint(3), [&] { return SelectedPaths() == "m1 m3 "; }, VK_CONTROL));

  // First click on the title column sorts descending: the selected rows move to
  // other places and their selection goes with them, in the rows and on screen.
  ASSERT_TRUE(ClickAndWait(HeaderPoint(1), [&] { return rows().Cell(0, Column::Path) == "m7"; }));
  EXPECT_EQ(SelectedRows(rows()), (std::vector<int>{4, 6}));
  EXPECT_EQ(SelectedPaths(), "m3 m1 ");
  EXPECT_EQ(ShownSelection(), "m3 m1 ");
  // The focus (the last clicked row) went with its row too.
  EXPECT_EQ(ListView_GetNextItem(list(), -1, LVNI_FOCUSED), 4);

  // Rows 4 and 6 dragged up from row 4 onto row 1: they land on rows 1 and 3.
  std::atomic<bool> dragged{false};
  const POINT from = RowPoint(4);
  const POINT to = RowPoint(1);
  std::thread pointer([&] {
    kestrun::testing::DragWithMouse(from, to.x - from.x, to.y - from.y);
    dragged = true;
  });
  WaitUntil([&] { return dragged.load(); }, 10000);
  pointer.join();
  WaitUntil([&] { return !window_.dragging(); }, 3000);
  testing::PumpMessages();
  EXPECT_EQ(rows().Cell(1, Column::Path) + rows().Cell(3, Column::Path), "m3m1");
  EXPECT_EQ(SelectedRows(rows()), (std::vector<int>{1, 3}));
  EXPECT_EQ(ShownSelection(), SelectedPaths());
  // The focus went with the dragged row, and goes on with it when the selection is
  // moved down a place.
  EXPECT_EQ(ListView_GetNextItem(list(), -1, LVNI_FOCUSED), 1);
  SendMessageA(window_.window(), WM_COMMAND, IDM_LIST_MOVE_DOWN, 0);
  EXPECT_EQ(SelectedPaths(), "m3 m1 ");
  EXPECT_EQ(SelectedRows(rows()), (std::vector<int>{2, 4}));
  EXPECT_EQ(ListView_GetNextItem(list(), -1, LVNI_FOCUSED), 2);

  // The R key removes the selected rows; nothing stays selected on screen.
  ASSERT_TRUE(kestrun::testing::PressKey('R'));
  ASSERT_TRUE(WaitUntil([&] { return rows().RowCount() == 6; }, 3000));
  EXPECT_EQ(SelectedPaths(), "");
  EXPECT_EQ(ShownSelection(), "");
  EXPECT_EQ(ListView_GetItemCount(list()), 6);
  for (int row = 0; row < 6; ++row) EXPECT_NE(rows().Cell(row, Column::Path), "m1");
}

// The list's focus index is the control's own and may name a row that is gone
// (here the last of three, after the list was emptied and refilled with one row):
// moving or dragging the selection must not take it for a row.
TEST_F(ListViewTest, MovesAfterTheFocusedRowWasRemovedKeepWorking) {
  Open();
  Fill({"f0", "f1", "f2"});
  ASSERT_TRUE(ClickAndWait(RowPoint(2), [&] { return SelectedPaths() == "f2 "; }));
  rows().DeleteAllRows();
  Fill({"g0"});
  rows().SetSelected(0, true);
  testing::PumpMessages();
  for (const int command : {IDM_LIST_MOVE_UP_BAR, IDM_LIST_MOVE_DOWN_BAR, IDM_LIST_MOVE_UP, IDM_LIST_MOVE_DOWN}) {
    SendMessageA(window_.window(), WM_COMMAND, command, 0);
  }
  EXPECT_EQ(rows().RowCount(), 1);
  EXPECT_EQ(SelectedPaths(), "g0 ");
  Fill({"g1", "g2"});
  rows().SetSelected(0, true);
  SendMessageA(window_.window(), WM_COMMAND, IDM_LIST_MOVE_DOWN, 0);
  EXPECT_EQ(rows().Cell(1, Column::Path), "g0");
  const int focus = ListView_GetNextItem(list(), -1, LVNI_FOCUSED);
  EXPECT_LT(focus, rows().RowCount());
}

// A track change clears the selection, "remove selected" removes it: with many
// selected rows the list drops its selection in one go, and must still show none
// selected, keep its scroll position and focus, and take the next clicks normally.
TEST_F(ListViewTest, ALargeSelectionClearedOrRemovedLeavesNoneShown) {
  Open();
  // Redrawing held while the rows come, as the window's own bulk commands do: a
  // shown list updates its scroll bar after every added row otherwise.
  SendMessageA(list(), WM_SETREDRAW, FALSE, 0);
  for (int i = 0; i < 300; ++i) appendRow(rows(), std::string("n").append(std::to_string(i)));
  SendMessageA(list(), WM_SETREDRAW, TRUE, 0);
  for (int row = 0; row < 300; row += 2) rows().SetSelected(row, true);
  ASSERT_EQ(ListView_GetSelectedCount(list()), 150u);
  ListView_EnsureVisible(list(), 200, FALSE);
  LVITEMA focus{};
  focus.stateMask = focus.state = LVIS_FOCUSED;
  SendMessageA(list(), LVM_SETITEMSTATE, 201, reinterpret_cast<LPARAM>(&focus));
  const int top = ListView_GetTopIndex(list());
  ASSERT_GT(top, 0);

  rows().ClearSelection();
  EXPECT_EQ(ListView_GetSelectedCount(list()), 0u);
  EXPECT_EQ(ListView_GetTopIndex(list()), top);
  EXPECT_EQ(ListView_GetNextItem(list(), -1, LVNI_FOCUSED), 201);
  UpdateWindow(list());
  ASSERT_TRUE(ClickAndWait(RowPoint(top + 1), [&] { return SelectedRows(rows()) == std::vector<int>{top + 1}; }));
  ASSERT_TRUE(ClickAndWait(
      RowPoint(top + 3), [&] { return SelectedRows(rows()).size() == 3; }, VK_SHIFT));
  EXPECT_EQ(SelectedRows(rows()), (std::vector<int>{top + 1, top + 2, top + 3}));
  EXPECT_EQ(ShownSelection(), SelectedPaths());

  for (int row = 0; row < 300; row += 2) rows().SetSelected(row, true);
  for (int row = 1; row < 300; row += 2) rows().SetSelected(row, false);
  ASSERT_TRUE(kestrun::testing::PressKey('R'));
  ASSERT_TRUE(WaitUntil([&] { return rows().RowCount() == 150; }, 3000));
  EXPECT_EQ(ListView_GetItemCount(list()), 150);
  EXPECT_EQ(ListView_GetSelectedCount(list()), 0u);
  EXPECT_EQ(Shown(0, Column::Path), "n1");
}

// Typed letters find a row by the start of its path, as in any list; the letters
// chosen here have no command of their own.
TEST_F(ListViewTest, TypingFindsTheRowWhosePathStartsWithTheLetters) {
  Open();
  Fill({"alpha.mp3", "beta.mp3", "gamma.mp3", "golf.mp3", "hotel.mp3", "kilo.mp3"});
  ASSERT_TRUE(ClickAndWait(RowPoint(0), [&] { return SelectedPaths() == "alpha.mp3 "; }));
  ASSERT_TRUE(kestrun::testing::PressKey('G'));
  EXPECT_TRUE(WaitUntil([&] { return SelectedPaths() == "gamma.mp3 "; }, 3000)) << SelectedPaths();
  Sleep(1500);  // a pause starts a new search
  ASSERT_TRUE(kestrun::testing::PressKey('K'));
  EXPECT_TRUE(WaitUntil([&] { return SelectedPaths() == "kilo.mp3 "; }, 3000)) << SelectedPaths();
  Sleep(1500);
  ASSERT_TRUE(kestrun::testing::PressKey('B'));  // from the last row round to the top
  EXPECT_TRUE(WaitUntil([&] { return SelectedPaths() == "beta.mp3 "; }, 3000)) << SelectedPaths();
  EXPECT_EQ(ShownSelection(), "beta.mp3 ");
}

// A library-sized automatic playlist: every row is loaded, counted and shown, the
// last one can be scrolled to and clicked, and a header click sorts them all.
TEST_F(ListViewTest, HundredThousandRowsLoadAndShow) {
  constexpr int kRows = 100000;
  kestrun::testing::TempDir program;
  std::string text = "#EXTM3U\r\n";
  for (int i = 0; i < kRows; ++i) {
    const std::string number = std::to_string(i);
    text += "#EXTINF:" + std::to_string(i % 600) + ",\x89\xcc\x8e\xe8 - \x8b\xc8 " + number + "\r\nD:\\music\\" +
            number + ".mp3";
    if (i + 1 < kRows) text += "\r\n";
  }
  program.Write("default.m3u", text);
  Open(program.path());
  ASSERT_EQ(rows().RowCount(), kRows);
  ASSERT_EQ(ListView_GetItemCount(list()), kRows);
  EXPECT_EQ(Shown(kRows - 1, Column::Path), "D:\\music\\99999.mp3");
  EXPECT_EQ(Shown(kRows - 1, Column::Title), "\x8b\xc8 99999");
  EXPECT_EQ(Shown(kRows - 1, Column::Length), "06:39");

  ListView_EnsureVisible(list(), kRows - 1, FALSE);
  UpdateWindow(list());
  ASSERT_TRUE(ClickAndWait(RowPoint(kRows - 1), [&] { return SelectedRows(rows()) == std::vector<int>{kRows - 1}; }));

  // Descending by path: "D:\music\99999.mp3" comes first, and the clicked row's
  // selection has gone with it.
  ASSERT_TRUE(ClickAndWait(HeaderPoint(0), [&] { return window_.sortDirections().value[0] != 0; }));
  EXPECT_EQ(rows().Cell(0, Column::Path), "D:\\music\\99999.mp3");
  EXPECT_EQ(Shown(0, Column::Path), "D:\\music\\99999.mp3");
  EXPECT_EQ(SelectedRows(rows()), std::vector<int>{0});
  EXPECT_EQ(ShownSelection(), "D:\\music\\99999.mp3 ");
}

}  // namespace
}  // namespace kestrun::playlist
