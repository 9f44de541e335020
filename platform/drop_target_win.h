// The drag-and-drop target of the main window and the video view: it reports every
// drag event to its window as one message, with a record of what is offered, and the
// window writes the drop effects it accepts into that record.
//
// The message's wParam is the event (DropEvent) and lParam points to the DropInfo,
// which lives in the target and is valid during the message only.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/shell_path_win.h"

namespace kestrun::platform {

// The message both windows receive for drag events.
inline constexpr UINT kDropMessage = 0x8032;

// What the player's windows accept: copy or link (5).
inline constexpr DWORD kDropAccepted = DROPEFFECT_COPY | DROPEFFECT_LINK;

// Written to the debugger when a window cannot be registered as a drop target.
inline constexpr char kDropTargetFailed[] = "FAILEEEEEEEEEEEEEEEEEEEEED";

enum DropEvent : WPARAM { kDragEnter = 0, kDragOver = 1, kDragLeave = 2, kDrop = 3 };

struct DropInfo {
  POINTL* point = nullptr;  // the cursor, in screen coordinates
  DWORD effect = 0;         // written by the window: the effects it accepts
  DWORD keyState = 0;
  UINT format = 0;         // the first offered format of the target's list; 0 if none
  HGLOBAL data = nullptr;  // that format's data
  IDataObject* dataObject = nullptr;
};

// The path a drop carries: its text (wide or ANSI; the first path of it, as
// PathInText finds it) or its first file, as an ANSI path
// of at most 259 bytes; refused (never cut) when it does not fit or has characters
// the code page lacks and no short form helps. Empty when it carries neither.
ShellPath DroppedPath(const DropInfo& info);
// File index of a CF_HDROP list, read wide and made an ANSI path the same way.
ShellPath DroppedFile(HDROP drop, UINT index);

// Every file of a CF_HDROP list, read as DroppedFile does; a refused one is left out
// and the first refusal kept.
struct DroppedFileList {
  std::vector<std::string> paths;
  PathRefusal refused = PathRefusal::None;
};
DroppedFileList DroppedFiles(HDROP drop);

// A new target for window (one reference, the caller's); null when it cannot be made.
// registerDropTarget hands one to the platform; tests call it directly.
IDropTarget* NewDropTarget(HWND window, UINT message, const UINT* formats, int formatCount);

// Registers a target for window that reports by message and looks for formats, in
// their order. False when the target cannot be made or the platform refuses it.
bool registerDropTarget(HWND window, UINT message, const UINT* formats, int formatCount);
// Takes the window's target away again.
HRESULT revokeDropTarget(HWND window);

// A window of the player that plays what is dropped on it: registers it for
// kDropMessage with dropped text first, then dropped files. On failure the debug
// text kDropTargetFailed is written and false returned.
bool RegisterPathDropTarget(HWND window);

// What a window does around a drop; every member may be empty.
struct DropHandlers {
  std::function<void()> entered;                    // a drag came over the window
  std::function<void()> ended;                      // it left, or was dropped
  std::function<void(const std::string&)> dropped;  // after ended: the drop's path, "" when none
  std::function<void(const char*)> refused;         // after ended, instead: why the path was refused
};

// The one answer of the player's windows to kDropMessage: enter and over accept
// kDropAccepted, leave accepts nothing, and a drop reads its path (DroppedPath) and
// hands it on, or hands on the refusal's message. Returns the effect, also written into info: nothing for leave,
// a copy for a drop whose path was handed on, nothing for one refused or empty; an unknown event changes nothing
// and answers 0.
DWORD AnswerDrop(WPARAM event, DropInfo* info, const DropHandlers& handlers);

}  // namespace kestrun::platform
