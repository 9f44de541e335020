// A real DirectShow session for the tests of the playback windows, without a player:
// the engine drives the session and reports to a recording view, the graph's events
// reach a window of the fixture that stands where the main window would (face-sized,
// shown without activation), and Equalizer.ax next to the test program is registered
// and used as the player does. Made once per test process.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/limits.h"
#include "platform/modeless_dialog_win.h"
#include "playback/media_session_win.h"
#include "playback/playback_controller.h"
#include "playback/tests/fake_playback.h"

namespace kestrun::testing {

// The folder of the running test program.
inline std::string TestProgramDirectory() {
  char module[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, module, sizeof(module));
  const std::string path = module;
  return path.substr(0, path.find_last_of("\\/"));
}

// A file of the media the build makes for the tests.
inline std::string TestMediaPath(const std::string& name) { return TestProgramDirectory() + "\\testmedia\\" + name; }

class SessionTest : public ::testing::Test {
 public:
  // The recording view hides the video window when told, as the main window does.
  struct SessionView final : playback::testing::RecordingView {
    explicit SessionView(const HWND& video) : video_(video) {}
    void HideVideo() override {
      if (video_ != nullptr) ShowWindow(video_, SW_HIDE);
    }

   private:
    const HWND& video_;
  };

  // The parts a player would own, in the order they depend on each other.
  struct Parts final : playback::SessionWindows {
    Parts() : view(video), session(*this), engine(session, view, timer) {}
    HWND EventWindow() const override { return events; }
    HWND VideoWindow() const override { return video; }

    HWND events = nullptr;
    HWND video = nullptr;  // the window a test gives the video renderer
    platform::DialogRouter router;
    SessionView view;
    playback::testing::CountingTimer timer;
    playback::DirectShowSession session;
    playback::PlaybackController engine;
  };

  static void SetUpTestSuite() {
    if (parts_ != nullptr) return;
    OleInitialize(nullptr);
    // Lives as long as the test process, as the player's parts live as long as it runs.
    parts_ = new Parts();
    WNDCLASSA type{};
    type.lpfnWndProc = &EventProcedure;
    type.hInstance = GetModuleHandleA(nullptr);
    type.lpszClassName = "KestrunSessionTestEvents";
    RegisterClassA(&type);
    parts_->events = CreateWindowExA(WS_EX_TOOLWINDOW, type.lpszClassName, "", WS_POPUP, 0, 0, platform::kFaceWidth,
                                     platform::kFaceHeight, nullptr, nullptr, type.hInstance, nullptr);
    ShowWindow(parts_->events, SW_SHOWNA);
    parts_->session.CreateOrRegisterEqualizer(TestProgramDirectory().c_str());
  }

  void SetUp() override {
    ASSERT_NE(parts_->events, nullptr);
    Engine().StopAndClose();
    Engine().SetPlayMode(playback::kPlayModeNormal);
  }
  void TearDown() override { Engine().StopAndClose(); }

  static Parts& Player() { return *parts_; }
  static playback::PlaybackController& Engine() { return parts_->engine; }
  static playback::DirectShowSession& Session() { return parts_->session; }
  static const playback::EngineState& State() { return parts_->engine.state(); }
  static SessionView& View() { return parts_->view; }
  static HWND EventWindow() { return parts_->events; }
  static void OpenAndPlay(const std::string& path) { Engine().OpenAndPlay(path); }
  // Hands every waiting message of this thread's windows to them, as the loop would.
  static void DispatchWaitingMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (parts_->router.Route(message)) continue;
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }

 private:
  static LRESULT CALLBACK EventProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == playback::kGraphEventMessage && parts_ != nullptr) {
      parts_->engine.HandleGraphEvents();
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }

  static inline Parts* parts_ = nullptr;
};

}  // namespace kestrun::testing
