// The menu resources as the code uses them: loaded by name from the module,
// sub-menus taken by position, items found and checked by command id, texts
// read back as ANSI (code page 932) strings.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "menu_ids.h"

namespace {

struct MenuDestroyer {
  void operator()(HMENU menu) const { DestroyMenu(menu); }
};
using MenuHandle = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;

MenuHandle LoadNamedMenu(const char* name) { return MenuHandle(LoadMenuA(GetModuleHandleA(nullptr), name)); }

struct Item {
  UINT id = 0;
  bool separator = false;
  HMENU popup = nullptr;
  UINT state = 0;
  std::string text;
  std::string where;  // the texts of the enclosing pop-ups, for messages
};

Item ReadItem(HMENU menu, int position, const std::string& where) {
  char text[256] = {};
  MENUITEMINFOA info = {};
  info.cbSize = sizeof info;
  info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
  info.dwTypeData = text;
  info.cch = sizeof text - 1;
  Item item;
  item.where = where;
  if (!GetMenuItemInfoA(menu, position, TRUE, &info)) return item;
  item.id = info.wID;
  item.separator = (info.fType & MFT_SEPARATOR) != 0;
  item.popup = info.hSubMenu;
  item.state = info.fState;
  item.text = text;
  return item;
}

// Every item of the menu and its sub-menus, depth first.
void Collect(HMENU menu, const std::string& where, std::vector<Item>& out) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    Item item = ReadItem(menu, i, where);
    out.push_back(item);
    if (item.popup) Collect(item.popup, where + "/" + item.text, out);
  }
}

std::vector<Item> AllItems(HMENU menu) {
  std::vector<Item> items;
  Collect(menu, "", items);
  return items;
}

// The command items, by id; a repeated id is reported by the caller.
std::map<UINT, Item> Commands(HMENU menu) {
  std::map<UINT, Item> commands;
  for (const Item& item : AllItems(menu)) {
    if (!item.separator && !item.popup) commands.emplace(item.id, item);
  }
  return commands;
}

class MenusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The expected texts below are compiled as code page 932 bytes.
    ASSERT_EQ(GetACP(), 932u) << "the tests expect a Japanese ANSI code page";
    mainMenu_ = LoadNamedMenu("IDR_MENU");
    trayMenu_ = LoadNamedMenu("IDR_ICON");
    listBar_ = LoadNamedMenu("IDR_LIST");
    listPopup_ = LoadNamedMenu("POPUP");
    viewBar_ = LoadNamedMenu("IDR_VIEW");
    ASSERT_TRUE(mainMenu_ && trayMenu_ && listBar_ && listPopup_ && viewBar_)
        << "a menu resource failed to load: " << GetLastError();
    mainPopup_ = GetSubMenu(mainMenu_.get(), 0);
    trayPopup_ = GetSubMenu(trayMenu_.get(), 0);
    listContext_ = GetSubMenu(listPopup_.get(), 0);
    ASSERT_TRUE(mainPopup_ && trayPopup_ && listContext_);
  }

  MenuHandle mainMenu_, trayMenu_, listBar_, listPopup_, viewBar_;
  HMENU mainPopup_ = nullptr;
  HMENU trayPopup_ = nullptr;
  HMENU listContext_ = nullptr;
};

// Play-mode and rate check marks are kept in both pop-ups by command id: a
// command missing from either would leave that menu's marks stale.
TEST_F(MenusTest, MainAndTrayPopupsBothCarryTheSharedToggles) {
  const UINT shared[] = {IDM_SHUFFLE,   IDM_REPEAT_ALL, IDM_REPEAT_ONE, IDM_RATE_2_0,
                         IDM_RATE_1_25, IDM_RATE_1_0,   IDM_RATE_0_5,   IDM_USE_WMP71};
  const auto mainCommands = Commands(mainPopup_);
  const auto trayCommands = Commands(trayPopup_);
  for (UINT id : shared) {
    SCOPED_TRACE(id);
    ASSERT_TRUE(mainCommands.count(id));
    ASSERT_TRUE(trayCommands.count(id));
    EXPECT_EQ(mainCommands.at(id).text, trayCommands.at(id).text);
    EXPECT_NE(CheckMenuItem(mainPopup_, id, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(-1));
    EXPECT_NE(CheckMenuItem(trayPopup_, id, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(-1));
  }
}

// Every command of the main window's table can be chosen from its pop-up,
// the tray menu offers the way back, and nothing starts checked.
TEST_F(MenusTest, MainPopupOffersEveryMainWindowCommand) {
  const auto commands = Commands(mainPopup_);
  const UINT expected[] = {
      IDM_EXIT,      IDM_PLAY,     IDM_PAUSE,     IDM_STOP,      IDM_SHUFFLE,  IDM_REPEAT_ALL,   IDM_REPEAT_ONE,
      IDM_FAST_SEEK, IDM_RATE_2_0, IDM_RATE_1_25, IDM_RATE_1_0,  IDM_RATE_0_5, IDM_TOPMOST,      IDM_USE_TRAY,
      IDM_NEXT,      IDM_PREVIOUS, IDM_PLAYLIST,  IDM_OPEN,      IDM_MINIMIZE, IDM_ASSOCIATIONS, IDM_VOLUME,
      IDM_ABOUT,     IDM_SLEEP,    IDM_EFFECTS,   IDM_USE_WMP71, IDM_FILTERS,  IDM_DOCK_PLAYLIST};
  for (UINT id : expected) EXPECT_TRUE(commands.count(id)) << id;
  for (const auto& [id, item] : commands) EXPECT_FALSE(item.state & MFS_CHECKED) << id;

  const auto tray = Commands(trayPopup_);
  ASSERT_TRUE(tray.count(IDM_RESTORE));
  EXPECT_TRUE(tray.at(IDM_RESTORE).state & MFS_GRAYED) << "the window starts shown";
  EXPECT_TRUE(tray.count(IDM_EXIT));
  EXPECT_FALSE(commands.count(IDM_RESTORE));
}

// The skin menu is appended to the pop-up found at position 21.
TEST_F(MenusTest, SettingsSubmenuIsItemTwentyOne) {
  const Item settings = ReadItem(mainPopup_, 21, "");
  ASSERT_NE(settings.popup, nullptr);
  EXPECT_EQ(settings.text, "設定(&T)");
  const auto inside = Commands(settings.popup);
  for (UINT id : {IDM_TOPMOST, IDM_USE_TRAY, IDM_DOCK_PLAYLIST, IDM_USE_WMP71, IDM_MEDIA_KEYS, IDM_ASSOCIATIONS}) {
    EXPECT_TRUE(inside.count(id)) << id;
  }
}

TEST_F(MenusTest, PlaylistMenusOfferEveryPlaylistCommand) {
  const auto context = Commands(listContext_);
  const auto bar = Commands(listBar_.get());
  for (UINT id : {IDM_TAG_AUTO, IDM_TAG_ALWAYS_ID3V1, IDM_ALWAYS_TAG_READ, IDM_PLAY, IDM_TAG_EDITOR,
                  IDM_TAGS_READ_SELECTED, IDM_TAGS_READ_ALL, IDM_LENGTH_SELECTED, IDM_LENGTH_ALL, IDM_LIST_MOVE_UP,
                  IDM_LIST_MOVE_DOWN, IDM_LIST_REMOVE_SELECTED, IDM_LIST_REMOVE_ALL, IDM_RENAME_PAREN_ARTIST_TITLE,
                  IDM_RENAME_TITLE, IDM_RENAME_PAREN_ARTIST_ALBUM_TITLE, IDM_RENAME_ARTIST_DASH_TITLE,
                  IDM_RENAME_USER_PATTERN, IDM_RENAME_USER_PATTERN_SETUP}) {
    EXPECT_TRUE(context.count(id)) << id;
  }
  for (UINT id : {IDM_LIST_OPEN, IDM_LIST_SAVE_EXTENDED_M3U, IDM_LIST_SAVE_PLAIN_M3U, IDM_LIST_CLOSE,
                  IDM_LIST_ADD_FILES, IDM_LIST_ADD_FOLDER, IDM_LIST_ADD_FOLDER_TREE, IDM_LIST_TOPMOST,
                  IDM_LIST_MOVE_UP_BAR, IDM_LIST_MOVE_DOWN_BAR}) {
    EXPECT_TRUE(bar.count(id)) << id;
  }
  // Automatic tag choice is the default, and the settings leave the resource
  // state alone when they hold no choice.
  ASSERT_TRUE(context.count(IDM_TAG_AUTO) && context.count(IDM_TAG_ALWAYS_ID3V1));
  EXPECT_TRUE(context.at(IDM_TAG_AUTO).state & MFS_CHECKED);
  EXPECT_FALSE(context.at(IDM_TAG_ALWAYS_ID3V1).state & MFS_CHECKED);
  EXPECT_FALSE(context.at(IDM_ALWAYS_TAG_READ).state & MFS_CHECKED);
}

TEST_F(MenusTest, ViewMenuStartsWithCaptureOn) {
  const auto commands = Commands(viewBar_.get());
  for (UINT id : {IDM_VIEW_ZOOM_50, IDM_VIEW_ZOOM_100, IDM_VIEW_ZOOM_200, IDM_VIEW_ASPECT_4_3, IDM_VIEW_ASPECT_16_9,
                  IDM_VIEW_FULL_SCREEN, IDM_VIEW_CAPTURE, IDM_USE_CAPTURE, IDM_STOP}) {
    EXPECT_TRUE(commands.count(id)) << id;
  }
  ASSERT_TRUE(commands.count(IDM_USE_CAPTURE));
  EXPECT_TRUE(commands.at(IDM_USE_CAPTURE).state & MFS_CHECKED);
}

// Texts the user and the handlers rely on, read back through the ANSI calls.
// A wrong code page in the resource script, or two ids swapped between items,
// shows up here.
TEST_F(MenusTest, ItemsCarryTheirTexts) {
  struct Case {
    HMENU menu;
    UINT id;
    const char* text;
  };
  const Case cases[] = {
      {mainPopup_, IDM_EXIT, "終了(&X)"},
      {mainPopup_, IDM_PLAY, "再生(&P)"},
      {mainPopup_, IDM_PAUSE, "一時停止/再開(&H)"},
      {mainPopup_, IDM_STOP, "停止(&E)"},
      {mainPopup_, IDM_NEXT, "次の曲(&N)"},
      {mainPopup_, IDM_PREVIOUS, "前の曲(&V)"},
      {mainPopup_, IDM_OPEN, "開く(&O)..."},
      {mainPopup_, IDM_PLAYLIST, "プレイリスト(&C)"},
      {mainPopup_, IDM_SHUFFLE, "シャッフル再生(&S)"},
      {mainPopup_, IDM_REPEAT_ALL, "全曲リピート(&A)"},
      {mainPopup_, IDM_REPEAT_ONE, "単曲リピート(&R)"},
      {mainPopup_, IDM_FAST_SEEK, "高速シーク(&K)"},
      {mainPopup_, IDM_RATE_2_0, "x2.0"},
      {mainPopup_, IDM_RATE_1_25, "x1.25"},
      {mainPopup_, IDM_RATE_1_0, "x1.0"},
      {mainPopup_, IDM_RATE_0_5, "x0.5"},
      {mainPopup_, IDM_TOPMOST, "常に手前に表示(&T)"},
      {mainPopup_, IDM_USE_TRAY, "タスクトレイを使用する(&U)"},
      {mainPopup_, IDM_DOCK_PLAYLIST, "プレイリストと一体化する(&P)"},
      {mainPopup_, IDM_USE_WMP71, "WMP７.１コアで再生する（wma, wmv, asf）(&W)"},
      {mainPopup_, IDM_MEDIA_KEYS, "メディアキーを使う(&K)"},
      {mainPopup_, IDM_ASSOCIATIONS, "関連づけ(&E)..."},
      {mainPopup_, IDM_VOLUME, "ボリューム(&B)..."},
      {mainPopup_, IDM_ABOUT, "バージョン情報(&I)..."},
      {mainPopup_, IDM_SLEEP, "スリープ設定(&L)..."},
      {mainPopup_, IDM_EFFECTS, "エフェクト(&M)..."},
      {mainPopup_, IDM_FILTERS, "フィルタ(&F)..."},
      {mainPopup_, IDM_MINIMIZE, "最小化(&U)"},
      {trayPopup_, IDM_RESTORE, "元に戻す(&U)"},
      {listContext_, IDM_PLAY, "再生(&P)"},
      {listContext_, IDM_LIST_MOVE_DOWN, "▼(&D)"},
      {listContext_, IDM_LIST_MOVE_UP, "▲(&U)"},
      {listContext_, IDM_LIST_REMOVE_SELECTED, "リストから削除(&R)"},
      {listContext_, IDM_LIST_REMOVE_ALL, "全てリストから削除(&A)"},
      {listContext_, IDM_TAGS_READ_SELECTED, "選択されたアイテム(&S)"},
      {listContext_, IDM_TAGS_READ_ALL, "全てのアイテム(&E)"},
      {listContext_, IDM_TAG_AUTO, "自動(&A)"},
      {listContext_, IDM_TAG_ALWAYS_ID3V1, "常にID3v1から読み込む(&I)"},
      {listContext_, IDM_TAG_UNICODE, "Unicode・ID3v2.4タグも読む(&U)"},
      {listContext_, IDM_LENGTH_SELECTED, "選択されたアイテム(&Q)"},
      {listContext_, IDM_LENGTH_ALL, "全てのアイテム(&W)"},
      {listContext_, IDM_ALWAYS_TAG_READ, "常にタグを追加(&W)"},
      {listContext_, IDM_TAG_EDITOR, "ID3タグ編集(&I)"},
      {listContext_, IDM_RENAME_PAREN_ARTIST_TITLE, "(アーティスト) タイトル (&1)"},
      {listContext_, IDM_RENAME_PAREN_ARTIST_ALBUM_TITLE, "(アーティスト - アルバム) タイトル (&2)"},
      {listContext_, IDM_RENAME_TITLE, "タイトル (&4)"},
      {listContext_, IDM_RENAME_ARTIST_DASH_TITLE, "アーティスト - タイトル (&3)"},
      {listContext_, IDM_RENAME_USER_PATTERN, "ユーザー定義(&5)"},
      {listContext_, IDM_RENAME_USER_PATTERN_SETUP, "ユーザー定義の設定(&U)..."},
      {listBar_.get(), IDM_LIST_MOVE_DOWN_BAR, "▼(&D)"},
      {listBar_.get(), IDM_LIST_MOVE_UP_BAR, "▲(&U)"},
      {listBar_.get(), IDM_LIST_CLOSE, "&Close"},
      {listBar_.get(), IDM_LIST_ADD_FILES, "&Add Files..."},
      {listBar_.get(), IDM_LIST_ADD_FOLDER, "Add &Folder..."},
      {listBar_.get(), IDM_LIST_ADD_FOLDER_TREE, "Add &SubFolder..."},
      {listBar_.get(), IDM_LIST_OPEN, "&Open..."},
      {listBar_.get(), IDM_LIST_SAVE_EXTENDED_M3U, "&Save EXM3U..."},
      {listBar_.get(), IDM_LIST_SAVE_PLAIN_M3U, "Save &NormalM3U..."},
      {listBar_.get(), IDM_LIST_TOPMOST, "常に手前に表示(&T)"},
      {viewBar_.get(), IDM_VIEW_ZOOM_50, "50%\t(&1)"},
      {viewBar_.get(), IDM_VIEW_ZOOM_100, "100%\t(&2)"},
      {viewBar_.get(), IDM_VIEW_ZOOM_200, "200%\t(&3)"},
      {viewBar_.get(), IDM_VIEW_ASPECT_4_3, "4 : 3\t(&1)"},
      {viewBar_.get(), IDM_VIEW_ASPECT_16_9, "16 : 9\t(&2)"},
      {viewBar_.get(), IDM_VIEW_FULL_SCREEN, "&Full Screen"},
      {viewBar_.get(), IDM_VIEW_CAPTURE, "&Capture"},
      {viewBar_.get(), IDM_USE_CAPTURE, "&Use Capture"},
      {viewBar_.get(), IDM_STOP, "Close(&E)"},
  };
  for (const Case& c : cases) {
    char text[256] = {};
    ASSERT_GT(GetMenuStringA(c.menu, c.id, text, sizeof text, MF_BYCOMMAND), 0) << c.id;
    EXPECT_EQ(std::string(text), c.text) << c.id;
  }
}

const char* const kMenuNames[] = {"IDR_MENU", "IDR_ICON", "IDR_LIST", "POPUP", "IDR_VIEW"};

// A command id used twice in one menu would make the by-command lookups of
// the handlers (check marks, graying) reach only the first of them.
TEST_F(MenusTest, CommandIdsAreUniqueWithinEachMenu) {
  for (const char* name : kMenuNames) {
    MenuHandle menu = LoadNamedMenu(name);
    ASSERT_TRUE(menu) << name;
    std::set<UINT> seen;
    for (const Item& item : AllItems(menu.get())) {
      if (item.separator || item.popup) continue;
      EXPECT_NE(item.id, 0u) << name << item.where << "/" << item.text;
      EXPECT_TRUE(seen.insert(item.id).second)
          << name << ": id " << item.id << " repeated at " << item.where << "/" << item.text;
    }
  }
}

// Two items with the same access key in one pop-up cannot both be chosen by
// keyboard. '&' is never a trail byte in code page 932, so a byte scan works.
TEST_F(MenusTest, AccessKeysAreUniqueWithinEachPopup) {
  for (const char* name : kMenuNames) {
    MenuHandle menu = LoadNamedMenu(name);
    ASSERT_TRUE(menu) << name;
    std::map<std::string, std::map<char, std::string>> keysByPopup;
    for (const Item& item : AllItems(menu.get())) {
      const std::string& t = item.text;
      for (size_t i = 0; i + 1 < t.size(); ++i) {
        if (t[i] != '&') continue;
        if (t[i + 1] == '&') {
          ++i;
          continue;
        }
        const char key = static_cast<char>(std::toupper(static_cast<unsigned char>(t[i + 1])));
        auto [it, added] = keysByPopup[item.where].emplace(key, t);
        EXPECT_TRUE(added) << name << item.where << ": '" << key << "' used by " << it->second << " and " << t;
        break;
      }
    }
  }
}

}  // namespace
