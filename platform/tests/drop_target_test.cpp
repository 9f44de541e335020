#include "platform/drop_target_win.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/limits.h"
#include "platform/testing/temp_dir.h"
#include "platform/testing/wide_files_win.h"

namespace kestrun::platform {
namespace {

// A CF_TEXT block as a data object would hand it out.
HGLOBAL TextBlock(const std::string& text) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (void* data = GlobalLock(block)) {
    std::memcpy(data, text.c_str(), text.size() + 1);
    GlobalUnlock(block);
  }
  return block;
}

// A CF_UNICODETEXT block, likewise.
HGLOBAL WideTextBlock(const std::wstring& text) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, (text.size() + 1) * sizeof(wchar_t));
  if (void* data = GlobalLock(block)) {
    std::memcpy(data, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(block);
  }
  return block;
}

struct Calls {
  int entered = 0;
  int ended = 0;
  int dropped = 0;
  std::string path;
};

DropHandlers Recording(Calls& calls) {
  DropHandlers handlers;
  handlers.entered = [&] { ++calls.entered; };
  handlers.ended = [&] { ++calls.ended; };
  handlers.dropped = [&](const std::string& path) {
    ++calls.dropped;
    calls.path = path;
  };
  return handlers;
}

TEST(AnswerDrop, OverTheWindowAcceptsCopyOrLinkAndLeavingAcceptsNothing) {
  Calls calls;
  DropInfo info;
  EXPECT_EQ(AnswerDrop(kDragEnter, &info, Recording(calls)), kDropAccepted);
  EXPECT_EQ(info.effect, static_cast<DWORD>(DROPEFFECT_COPY | DROPEFFECT_LINK));
  info.effect = 0;
  EXPECT_EQ(AnswerDrop(kDragOver, &info, Recording(calls)), kDropAccepted);
  EXPECT_EQ(info.effect, kDropAccepted);
  EXPECT_EQ(AnswerDrop(kDragLeave, &info, Recording(calls)), 0u);
  EXPECT_EQ(info.effect, 0u);
  EXPECT_EQ(calls.entered, 1);
  EXPECT_EQ(calls.ended, 1);
  EXPECT_EQ(calls.dropped, 0);
  // An event the target never sends changes nothing.
  info.effect = 7;
  EXPECT_EQ(AnswerDrop(9, &info, Recording(calls)), 0u);
  EXPECT_EQ(info.effect, 7u);
  EXPECT_EQ(calls.entered + calls.ended, 2);
}

TEST(AnswerDrop, DroppedTextReachesTheWindowAfterTheDragEnded) {
  Calls calls;
  DropHandlers handlers = Recording(calls);
  handlers.dropped = [&](const std::string& path) {
    // The window re-enables what it disabled before it plays.
    EXPECT_EQ(calls.ended, 1);
    ++calls.dropped;
    calls.path = path;
  };
  HGLOBAL block = TextBlock("C:\\music\\a.mp3");
  DropInfo info;
  info.format = CF_TEXT;
  info.data = block;
  info.effect = kDropAccepted;
  // The source is told its file was taken as a copy (not "none", which reads as a failed drop).
  EXPECT_EQ(AnswerDrop(kDrop, &info, handlers), static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(info.effect, static_cast<DWORD>(DROPEFFECT_COPY));
  EXPECT_EQ(calls.dropped, 1);
  EXPECT_EQ(calls.path, "C:\\music\\a.mp3");
  GlobalFree(block);
}

TEST(AnswerDrop, DropWithoutTextOrFilesHandsOnAnEmptyPath) {
  Calls calls;
  DropInfo info;  // format 0: the data offered none of the formats
  EXPECT_EQ(AnswerDrop(kDrop, &info, Recording(calls)), 0u) << "nothing was taken";
  EXPECT_EQ(calls.dropped, 1);
  EXPECT_EQ(calls.path, "");
  EXPECT_EQ(calls.ended, 1);
}

TEST(DroppedPath, LongTextIsRefusedNotCut) {
  // 258 single bytes, then "表" (0x95 0x5C): 260 bytes, one more than a path holds.
  const std::string text = std::string(258, 'a') + "\x95\x5C" + "tail";
  HGLOBAL block = TextBlock(text);
  DropInfo info;
  info.format = CF_TEXT;
  info.data = block;
  const ShellPath path = DroppedPath(info);
  EXPECT_EQ(path.refusal, PathRefusal::TooLong);
  EXPECT_TRUE(path.path.empty());
  GlobalFree(block);

  // A text that fits whole keeps its last double-byte character.
  const std::string fits = std::string(257, 'b') + "\x95\x5C";
  block = TextBlock(fits);
  info.data = block;
  EXPECT_EQ(DroppedPath(info).path, fits);
  GlobalFree(block);
}

// A CF_HDROP block as the shell makes it: wide names, double-zero ended.
HGLOBAL WideDrop(const std::vector<std::wstring>& paths) {
  std::wstring list;
  for (const std::wstring& path : paths) list += path + L'\0';
  list += L'\0';
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
  auto* header = static_cast<DROPFILES*>(GlobalLock(block));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(header) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
  GlobalUnlock(block);
  return block;
}

// The drop's path is the file itself (by its short form) or refused; a cut path or
// one with "?" would open another file or none.
void ExpectWholeFileOrRefusal(const std::wstring& file, PathRefusal refusal, const std::string& wholeAnsi = "") {
  HGLOBAL block = WideDrop({file});
  DropInfo info;
  info.format = CF_HDROP;
  info.data = block;
  Calls calls;
  std::string refusedWith;
  DropHandlers handlers = Recording(calls);
  handlers.refused = [&](const char* message) { refusedWith = message; };
  const DWORD effect = AnswerDrop(kDrop, &info, handlers);
  GlobalFree(block);
  EXPECT_EQ(calls.ended, 1);
  EXPECT_EQ(effect, refusedWith.empty() ? static_cast<DWORD>(DROPEFFECT_COPY) : 0u) << "a refused drop took nothing";
  if (!wholeAnsi.empty()) {
    EXPECT_EQ(calls.path, wholeAnsi);
    return;
  }
  if (calls.dropped == 0) {
    EXPECT_EQ(refusedWith, RefusalMessage(refusal));
    return;
  }
  EXPECT_TRUE(refusedWith.empty());
  EXPECT_EQ(calls.path.find('?'), std::string::npos) << calls.path;
  wchar_t full[MAX_PATH] = {};
  ASSERT_GT(GetLongPathNameW(testing::WidePath(calls.path).c_str(), full, MAX_PATH), 0u) << calls.path;
  EXPECT_EQ(std::wstring(full), file);
}

TEST(DroppedPath, WideFileDropsArePlayedWholeOrRefusedWithTheirMessage) {
  testing::TempDir dir;
  testing::WideFiles files(testing::WidePath(dir.path()));
  const std::wstring deep = files.File(testing::DeepJapaneseRelative());
  ASSERT_FALSE(deep.empty());
  ExpectWholeFileOrRefusal(deep, PathRefusal::TooLong);
  const std::wstring korean = files.File(L"\uD55C\uAD6D\uC5B4.wav");
  ASSERT_FALSE(korean.empty());
  ExpectWholeFileOrRefusal(korean, PathRefusal::Unrepresentable);
  // A Japanese name that fits arrives in the code page.
  const std::wstring fits = files.File(L"\u8868.wav");
  ExpectWholeFileOrRefusal(fits, PathRefusal::None, dir.File("\x95\x5C.wav"));
}

// The path a drop of one text block gives; the block is freed.
ShellPath DroppedText(UINT format, HGLOBAL block) {
  DropInfo info;
  info.format = format;
  info.data = block;
  ShellPath path = DroppedPath(info);
  GlobalFree(block);
  return path;
}

TEST(DroppedPath, WideTextIsReadBeforeAnsiAndConvertedWhole) {
  EXPECT_EQ(DroppedText(CF_UNICODETEXT, WideTextBlock(L"C:\\\u8868.wav")).path, "C:\\\x95\x5C.wav");
}

// Explorer's "Copy as path" text: quoted, one path per line, ending in CR/LF.
TEST(DroppedPath, CopiedAsPathTextGivesItsFirstPathUnquoted) {
  EXPECT_EQ(DroppedText(CF_UNICODETEXT, WideTextBlock(L"\"C:\\\u8868 1.wav\"\r\n\"C:\\b.wav\"\r\n")).path,
            "C:\\\x95\x5C 1.wav");
  // A path of the full length fits once its quotes are gone.
  const std::string longest = "C:\\" + std::string(kPathMaxLength - 3, 'a');
  const ShellPath path = DroppedText(CF_TEXT, TextBlock("\"" + longest + "\"\r\n"));
  EXPECT_FALSE(path.refused());
  EXPECT_EQ(path.path, longest);
}

// A window that answers the target's message with copy | move.
LRESULT CALLBACK CopyOrMoveProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kDropMessage) {
    reinterpret_cast<DropInfo*>(lParam)->effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

TEST(DropTarget, MoveWinsOverCopyAndOnlyOfferedEffectsAreReturned) {
  WNDCLASSA type{};
  type.lpfnWndProc = &CopyOrMoveProc;
  type.hInstance = GetModuleHandleA(nullptr);
  type.lpszClassName = "KestrunDropTargetTest";
  RegisterClassA(&type);
  HWND window = CreateWindowExA(0, type.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                type.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  const UINT formats[] = {CF_TEXT};
  IDropTarget* target = NewDropTarget(window, kDropMessage, formats, 1);
  ASSERT_NE(target, nullptr);

  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
  EXPECT_EQ(target->DragOver(0, POINTL{}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_MOVE));
  effect = DROPEFFECT_COPY;  // the source offers copy only
  EXPECT_EQ(target->DragOver(0, POINTL{}, &effect), S_OK);
  EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));

  // The platform's drop-target interface and IUnknown only.
  void* out = nullptr;
  EXPECT_EQ(target->QueryInterface(IID_IDataObject, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  ASSERT_EQ(target->QueryInterface(IID_IUnknown, &out), S_OK);
  EXPECT_EQ(static_cast<IUnknown*>(out)->Release(), 1u);
  EXPECT_EQ(target->Release(), 0u);
  DestroyWindow(window);
}

}  // namespace
}  // namespace kestrun::platform
