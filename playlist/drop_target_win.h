// The drag-and-drop target of the main window and the video view: it reports every
// drag event to its window as one message, with a record of what is offered, and the
// window writes the drop effects it accepts into that record.
//
// The message's wParam is the event (DropEvent) and lParam points to the DropInfo,
// which lives in the target and is valid during the message only.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>

namespace kestrun::playlist {

// The message both windows receive for drag events.
inline constexpr UINT kDropMessage = 0x8032;

enum DropEvent : WPARAM { kDragEnter = 0, kDragOver = 1, kDragLeave = 2, kDrop = 3 };

struct DropInfo {
  POINTL* point = nullptr;  // the cursor, in screen coordinates
  DWORD effect = 0;         // written by the window: the effects it accepts
  DWORD keyState = 0;
  UINT format = 0;          // the first offered format of the target's list; 0 if none
  HGLOBAL data = nullptr;   // that format's data
  IDataObject* dataObject = nullptr;
};

// The path a drop carries: its text, or its first file, cut to a path buffer (259
// bytes) without splitting a double-byte character; "" when it carries neither.
std::string DroppedPath(const DropInfo& info);

// A new target for window (one reference, the caller's); null when it cannot be made.
// registerDropTarget hands one to the platform; tests call it directly.
IDropTarget* NewDropTarget(HWND window, UINT message, const UINT* formats, int formatCount);

// Registers a target for window that reports by message and looks for formats, in
// their order. False when the target cannot be made or the platform refuses it.
bool registerDropTarget(HWND window, UINT message, const UINT* formats, int formatCount);
// Takes the window's target away again.
HRESULT revokeDropTarget(HWND window);

}  // namespace kestrun::playlist
