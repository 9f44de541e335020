// A real player inside the test process: one Application with its main window,
// created once, so tests can drive the engine and the media session against real
// graphs and read what the windows show.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/tests/application_test_access.h"
#include "app/application_win.h"
#include "app/program_entry_win.h"
#include "app/shell_texts.h"
#include "platform/testing/message_pump_win.h"

namespace kestrun::testing {

class PlayerWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (app_ != nullptr) return;
    // As the program does: OLE for drag and drop, and the title display's library,
    // both for the whole test process.
    OleInitialize(nullptr);
    LoadLibraryA("RICHED32.DLL");
    char module[MAX_PATH] = {};
    const DWORD written = GetModuleFileNameA(nullptr, module, sizeof(module));
    const auto directory =
        app::ApplicationDirectoryFromModulePath(std::string_view(module, sizeof(module)), written, sizeof(module));
    // Lives as long as the test process.
    app_ = new app::Application(GetModuleHandleA(nullptr), directory.value_or("."));
    main_ = app_->CreateMainWindow();
    if (main_ != nullptr) app::ShowMainWindow(main_);
  }
  void SetUp() override {
    ASSERT_NE(main_, nullptr);
    Engine().StopAndClose();
    Engine().SetPlayMode(playback::kPlayModeNormal);
    Engine().ResumeRow(-1);
    if (Rows() != nullptr) Rows()->DeleteAllRows();
  }
  void TearDown() override { Engine().StopAndClose(); }

 public:
  static app::ApplicationTestAccess App() { return {*app_}; }
  static app::MainWindow& Main() { return App().main(); }
  static playback::PlaybackController& Engine() { return App().engine(); }
  static const playback::EngineState& Player() { return App().engine().state(); }
  static playback::DirectShowSession& Session() { return App().session(); }
  static playlist::RowStore* Rows() { return App().playlist().rows(); }
  static void OpenAndPlay(const char* path) { Engine().OpenAndPlay(path); }
  // The default skin's face, painted through, at (20, 20) on the screen, where the
  // pixel tests read it.
  static void ShowDefaultFace() {
    SetWindowPos(main_, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
    App().LoadSkin("default");
    RedrawWindow(main_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpFor(5 * kPumpPollMs);
  }
  static inline app::Application* app_ = nullptr;
  static inline HWND main_ = nullptr;
};

}  // namespace kestrun::testing
