// The order of the main window's close: what the session produced is saved before
// the graph is stopped, since a graph whose Stop hangs (a stalled stream, a hung
// decoder) would otherwise keep the save from ever happening.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_window_win.h"
#include "platform/modeless_dialog_win.h"
#include "playback/playback_controller.h"
#include "playback/tests/fake_playback.h"
#include "skin/skin_win.h"
#include "skin/skinned_controls_win.h"

namespace kestrun::app {
namespace {

using playback::testing::CountingTimer;
using playback::testing::FakeBackend;
using playback::testing::RecordingView;

// A backend that writes each stop and teardown of its graph into a shared log.
class LoggingBackend : public FakeBackend {
 public:
  explicit LoggingBackend(std::vector<std::string>& log) : log_(log) {}
  bool Stop() override {
    log_.push_back("stop");
    return FakeBackend::Stop();
  }
  void TearDown() override {
    if (HasGraph()) log_.push_back("teardown");
    FakeBackend::TearDown();
  }

 private:
  std::vector<std::string>& log_;
};

class CloseOrderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The title display is a rich edit control of the window's template.
    richEdit_ = LoadLibraryA("RICHED32.DLL");
    ASSERT_NE(richEdit_, nullptr);
    main_.hooks().saveForExit = [this] { log_.push_back("save"); };
    ASSERT_NE(main_.Create(GetModuleHandleA(nullptr), router_), nullptr);
    engine_.OpenAndPlay("C:\\music\\stream.mp3");
    ASSERT_TRUE(backend_.HasGraph());
    log_.clear();
  }
  void TearDown() override {
    main_.Destroy();
    if (richEdit_ != nullptr) FreeLibrary(richEdit_);
  }

  std::vector<std::string> log_;
  LoggingBackend backend_{log_};
  RecordingView view_;
  CountingTimer timer_;
  playback::PlaybackController engine_{backend_, view_, timer_};
  skin::Skin skin_{"."};
  skin::SkinnedControls controls_{skin_, engine_};
  platform::DialogRouter router_;
  MainWindow main_{engine_, skin_, controls_};
  HMODULE richEdit_ = nullptr;
};

TEST_F(CloseOrderTest, TheCloseSavesBeforeItStopsTheGraph) {
  SendMessageA(main_.window(), WM_CLOSE, 0, 0);
  EXPECT_EQ(log_, (std::vector<std::string>{"save", "stop", "teardown"}));
}

TEST_F(CloseOrderTest, TheEndOfTheSessionSavesBeforeItStopsTheGraphAndSavesOnce) {
  SendMessageA(main_.window(), WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP);
  SendMessageA(main_.window(), WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
  EXPECT_EQ(log_, (std::vector<std::string>{"save", "stop", "teardown"}));
  EXPECT_FALSE(IsWindow(main_.window())) << "the session's end closes the player";
}

}  // namespace
}  // namespace kestrun::app
