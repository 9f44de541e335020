#include "platform/drop_target_win.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/limits.h"

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
  AnswerDrop(kDrop, &info, handlers);
  EXPECT_EQ(calls.dropped, 1);
  EXPECT_EQ(calls.path, "C:\\music\\a.mp3");
  GlobalFree(block);
}

TEST(AnswerDrop, DropWithoutTextOrFilesHandsOnAnEmptyPath) {
  Calls calls;
  DropInfo info;  // format 0: the data offered none of the formats
  AnswerDrop(kDrop, &info, Recording(calls));
  EXPECT_EQ(calls.dropped, 1);
  EXPECT_EQ(calls.path, "");
  EXPECT_EQ(calls.ended, 1);
}

TEST(DroppedPath, LongTextIsCutBeforeACharacterThatWouldBeSplit) {
  // 258 single bytes, then "表" (0x95 0x5C): its trail byte would be byte 260.
  const std::string text = std::string(258, 'a') + "\x95\x5C" + "tail";
  HGLOBAL block = TextBlock(text);
  DropInfo info;
  info.format = CF_TEXT;
  info.data = block;
  const std::string path = DroppedPath(info);
  EXPECT_EQ(path, std::string(258, 'a'));
  EXPECT_LE(path.size(), kPathMaxLength);
  GlobalFree(block);

  // A text that fits whole keeps its last double-byte character.
  const std::string fits = std::string(257, 'b') + "\x95\x5C";
  block = TextBlock(fits);
  info.data = block;
  EXPECT_EQ(DroppedPath(info), fits);
  GlobalFree(block);
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
