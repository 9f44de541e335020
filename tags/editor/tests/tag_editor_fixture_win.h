// The tag editor window made for one test and destroyed after it, with readers of
// its controls as the user sees them. Shared by the tag editor's window tests.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/modeless_dialog_win.h"
#include "tags/editor/tag_editor_dialog_win.h"

namespace kestrun::tags::testing {

class TagEditorFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(editor.Create(GetModuleHandleA(nullptr), router), nullptr);
    dialog = editor.window();
  }
  void TearDown() override { editor.Destroy(); }

  std::string Text(int id) const {
    char text[300] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
  }
  bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

  platform::DialogRouter router;
  TagEditorDialog editor;
  HWND dialog = nullptr;
};

}  // namespace kestrun::tags::testing
