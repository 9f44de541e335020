// A real main window of the player inside the test process, created once, so tests
// can drive the media session and playback control against real graphs.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include "app/app_state.h"
#include "app/main_window.h"
#include "playback/media_session.h"
#include "playback/playback_control.h"
#include "playback/player_state.h"

namespace kestrun::testing {

class PlayerWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (main_ != nullptr) return;
    app::App().instance = GetModuleHandleA(nullptr);
    app::App().richEdit = LoadLibraryA("RICHED32.DLL");
    main_ = CreateDialogParamA(GetModuleHandleA(nullptr), "IDD_LISTDIALOG", nullptr, app::MainWindowProc, 0);
  }
  void SetUp() override {
    ASSERT_NE(main_, nullptr);
    playback::StopAndClose();
    auto& player = playback::Player();
    player.playMode = playback::kPlayModeNormal;
    player.currentTrackIndex = -1;
    if (player.windows.playlistRows != nullptr) player.windows.playlistRows->DeleteAllRows();
  }
  void TearDown() override { playback::StopAndClose(); }

  static HWND main_;
};

}  // namespace kestrun::testing
