// The main window as the engine's view, and the application as the one owner of the
// windows: long titles scroll whole, every window goes with its owner, and the
// message loop offers keys to the dialogs in their order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "platform/ansi_path.h"
#include "resources/menu_ids.h"

namespace kestrun::testing {
namespace {

class MainWindowTest : public PlayerWindowTest {};

// Characters of an ANSI text, a double-byte character counting once.
int CharacterCount(const std::string& text) {
  int count = 0;
  for (std::size_t i = 0; i < text.size(); ++i, ++count) {
    if (platform::IsLeadByte(static_cast<unsigned char>(text[i]))) ++i;
  }
  return count;
}

TEST_F(MainWindowTest, LongTitleScrollsWholeWithoutSplittingACharacter) {
  // 259 bytes of title: double-byte characters with one single-byte character in
  // front, so a split character would show at once.
  std::string title = "A";
  while (title.size() + 2 <= 259) title += "曲";
  Main().ShowPlayingTitle(title);
  ASSERT_TRUE(Main().marqueeActive());
  const std::string shown = WindowText(Main().titleDisplay());
  ASSERT_EQ(shown, title + app::kMarqueeGap) << "the whole title and its gap are shown";

  std::string expected = shown;
  const int steps = CharacterCount(shown);
  for (int step = 0; step < steps; ++step) {
    SendMessageA(main_, WM_TIMER, app::kMarqueeTimer, 0);
    expected = app::RotateMarqueeText(expected);
    ASSERT_EQ(WindowText(Main().titleDisplay()), expected) << "step " << step;
  }
  EXPECT_EQ(WindowText(Main().titleDisplay()), shown) << "a full turn gives the title back";
  Main().SetMarqueeRunning(false);
}

TEST_F(MainWindowTest, DialogsAreOfferedKeysInTheirOrder) {
  auto& router = App().router();
  EXPECT_EQ(router.At(platform::DialogSlot::TagEditor), App().tagEditor().window());
  EXPECT_EQ(router.At(platform::DialogSlot::Main), main_);
  EXPECT_EQ(router.At(platform::DialogSlot::FilterList), App().filterList().window());
  EXPECT_EQ(router.At(platform::DialogSlot::Equalizer), App().equalizerDialog().window());
  for (HWND window : {App().tagEditor().window(), App().filterList().window(), App().equalizerDialog().window(),
                      App().playlist().window(), App().videoView().window()}) {
    EXPECT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window)) << "companion windows start hidden";
  }
}

TEST_F(MainWindowTest, EqualizerSwitchesReachTheNextGraphsOptions) {
  HWND equalizer = App().equalizerDialog().window();
  ASSERT_NE(equalizer, nullptr);
  // The flag follows a click only when the filter can be told of it.
  if (!Session().Equalizer()) GTEST_SKIP() << "Equalizer.ax is not registered in this prefix";
  Engine().options().equalizerOn = false;
  App().equalizerDialog().Synchronize();
  SendMessageA(GetDlgItem(equalizer, IDC_EQUALIZER_ENABLE), BM_CLICK, 0, 0);
  EXPECT_TRUE(Engine().options().equalizerOn);
  SendMessageA(GetDlgItem(equalizer, IDC_EQUALIZER_ENABLE), BM_CLICK, 0, 0);
  EXPECT_FALSE(Engine().options().equalizerOn);
}

TEST_F(MainWindowTest, EveryCommandOfTheMainMenuHasAHandler) {
  HMENU popup = Main().mainPopup();
  ASSERT_NE(popup, nullptr);
  // The playback and window commands that exist today; dialogs come with their windows.
  for (int id :
       {IDM_EXIT,       IDM_PLAY,       IDM_PAUSE,     IDM_STOP,          IDM_NEXT,      IDM_PREVIOUS, IDM_SHUFFLE,
        IDM_REPEAT_ALL, IDM_REPEAT_ONE, IDM_FAST_SEEK, IDM_RATE_2_0,      IDM_RATE_1_25, IDM_RATE_1_0, IDM_RATE_0_5,
        IDM_TOPMOST,    IDM_USE_TRAY,   IDM_PLAYLIST,  IDM_DOCK_PLAYLIST, IDM_USE_WMP71, IDM_MINIMIZE}) {
    EXPECT_TRUE(Main().commands().Has(id)) << id;
  }
}

TEST_F(MainWindowTest, DialogCommandsReachTheirEntryPoints) {
  auto& entries = Main().entryPoints();
  const app::DialogEntryPoints saved = entries;
  std::vector<int> reached;
  entries.associations = [&] { reached.push_back(IDM_ASSOCIATIONS); };
  entries.volume = [&] { reached.push_back(IDM_VOLUME); };
  entries.about = [&] { reached.push_back(IDM_ABOUT); };
  entries.sleepTimer = [&] { reached.push_back(IDM_SLEEP); };
  entries.effects = [&] { reached.push_back(IDM_EFFECTS); };
  entries.filterList = [&] { reached.push_back(IDM_FILTERS); };
  entries.skin = [&](int index) { reached.push_back(IDM_SKIN_FIRST + index); };
  const std::vector<int> sent = {IDM_ASSOCIATIONS, IDM_VOLUME,  IDM_ABOUT, IDM_SLEEP,
                                 IDM_EFFECTS,      IDM_FILTERS, 25000,     25999};
  for (int id : sent) SendMessageA(main_, WM_COMMAND, id, 0);
  SendMessageA(main_, WM_COMMAND, 26000, 0);  // past the skin menu's range
  entries = saved;
  EXPECT_EQ(reached, sent);
}

// A second player in the same process: everything it made goes with it.
TEST(ApplicationLifetime, EveryWindowGoesWithItsOwner) {
  LoadLibraryA("RICHED32.DLL");
  HWND windows[6] = {};
  HWND title = nullptr;
  {
    app::Application second(GetModuleHandleA(nullptr), BinaryDirectory());
    ASSERT_NE(second.CreateMainWindow(), nullptr);
    const app::ApplicationTestAccess parts{second};
    HWND all[6] = {parts.main().window(),      parts.playlist().window(),   parts.tagEditor().window(),
                   parts.videoView().window(), parts.filterList().window(), parts.equalizerDialog().window()};
    std::copy(all, all + 6, windows);
    title = parts.main().titleDisplay();
    for (HWND window : windows) ASSERT_TRUE(IsWindow(window));
  }
  for (HWND window : windows) EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(IsWindow(title)) << "the title display goes before its library may";
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    // The shutdown posted its quit; nothing else of the second player is left.
    if (message.message != WM_QUIT) DispatchMessageA(&message);
  }
}

}  // namespace
}  // namespace kestrun::testing
