// The rename pattern dialog, driven from a timer while its modal loop runs.
#include "tags/editor/rename_pattern_dialog_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/testing/modal_dialog_driver_win.h"
#include "resources/resource_ids.h"

namespace kestrun::tags {
namespace {

const char kCaption[] = "ユーザー定義の設定";

struct Script {
  std::vector<std::string> samples;  // the sample after each typed key
  std::string initialSample;
  bool finishWithOk = true;
  bool done = false;
};
Script* script = nullptr;

std::string Text(HWND dialog, int id) {
  char text[300] = {};
  GetDlgItemTextA(dialog, id, text, sizeof text);
  return text;
}

// Types into the focused pattern edit as a keyboard would: key down, character,
// key up, each a real message to the edit.
void TypeKey(HWND edit, char character) {
  const SHORT key = VkKeyScanA(character);
  SendMessageA(edit, WM_KEYDOWN, LOBYTE(key), 1);
  SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(character), 1);
  SendMessageA(edit, WM_KEYUP, LOBYTE(key), 0xC0000001);
}

HWND FindPatternDialog() { return FindWindowA("#32770", kCaption); }

void Finish(HWND dialog) { SendMessageA(GetDlgItem(dialog, script->finishWithOk ? IDOK : IDCANCEL), BM_CLICK, 0, 0); }

void CALLBACK FinishLater(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  if (HWND dialog = FindPatternDialog(); dialog != nullptr && script != nullptr) Finish(dialog);
}

// Types the pattern into the shown dialog, records the samples and ends it.
void Drive(HWND dialog) {
  script->done = true;
  script->initialSample = Text(dialog, IDC_RENAME_SAMPLE);
  HWND edit = GetDlgItem(dialog, IDC_RENAME_PATTERN);
  SendMessageA(edit, EM_SETSEL, 0, -1);
  SendMessageA(edit, WM_CLEAR, 0, 0);
  for (char c : std::string("(%6 %2) %1")) {
    TypeKey(edit, c);
    script->samples.push_back(Text(dialog, IDC_RENAME_SAMPLE));
  }
  // When KESTRUN_SCREENSHOT_HOLD_MS is set, the dialog stays up that long (its
  // loop still running and painting) for a screenshot taken from outside.
  if (const char* hold = std::getenv("KESTRUN_SCREENSHOT_HOLD_MS")) {
    RECT rect{};
    GetWindowRect(dialog, &rect);
    std::printf("SCREENSHOT rename-pattern-dialog %ldx%ld+%ld+%ld\n", rect.right - rect.left, rect.bottom - rect.top,
                rect.left, rect.top);
    std::fflush(stdout);
    SetTimer(nullptr, 0, static_cast<UINT>(std::atoi(hold)), FinishLater);
    return;
  }
  Finish(dialog);
}

// Runs show() while Drive works the dialog it opens.
template <typename Show>
auto WithDriver(Script& run, Show show) {
  script = &run;
  decltype(show()) chosen{};
  kestrun::testing::ModalDialogDriver::Run(FindPatternDialog, Drive, [&] {
    chosen = show();
    return INT_PTR{0};
  });
  script = nullptr;
  return chosen;
}

std::optional<std::string> RunDialog(Script& run, const std::string& pattern) {
  return WithDriver(run, [&] { return ShowRenamePatternDialog(GetModuleHandleA(nullptr), nullptr, pattern); });
}

TEST(RenamePatternDialog, SampleFollowsTypedKeysAndSetStoresThePattern) {
  Script run;
  std::string stored = "%2 - %1";
  EXPECT_TRUE(WithDriver(run, [&] { return EditRenamePattern(GetModuleHandleA(nullptr), nullptr, stored); }));
  ASSERT_TRUE(run.done);
  EXPECT_EQ(run.initialSample, "Artist - Title");
  ASSERT_EQ(run.samples.size(), 10u);
  EXPECT_EQ(run.samples[0], "(");
  EXPECT_EQ(run.samples[2], "(01") << "the sample changes as soon as the key is released";
  EXPECT_EQ(run.samples.back(), "(01 Artist) Title");
  EXPECT_EQ(stored, "(%6 %2) %1");
}

TEST(RenamePatternDialog, CancelKeepsThePattern) {
  Script run;
  run.finishWithOk = false;
  EXPECT_FALSE(RunDialog(run, "%1").has_value());
  EXPECT_TRUE(run.done);
  EXPECT_EQ(run.initialSample, "Title");
}

}  // namespace
}  // namespace kestrun::tags
