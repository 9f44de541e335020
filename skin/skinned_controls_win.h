// The skinned controls of the main window: the seek and volume knobs (dragged with
// the mouse), the time display and the button pictures, all painted from the skin.
#pragma once

#include <windows.h>

#include "platform/win32_handles.h"
#include "playback/playback_controller.h"
#include "playback/playback_view.h"
#include "skin/seek_track.h"
#include "skin/skin_win.h"

namespace kestrun::skin {

class SkinnedControls {
 public:
  SkinnedControls(Skin& skin, playback::PlaybackController& engine)
      : skin_(skin), engine_(engine), seekTrack_(engine, [this](int left, int width) { ShowZone(left, width); }) {}
  SkinnedControls(const SkinnedControls&) = delete;
  SkinnedControls& operator=(const SkinnedControls&) = delete;

  // Sizes the main window to the face, places every skinned control and takes over
  // the painting and mouse handling of the knobs and the time display.
  void LayOut(HWND main);
  // Gives the controls their own procedures back.
  void Release();

  // The main window's paint: the face for the area to repaint.
  void PaintFace(HWND main) const;
  // WM_DRAWITEM of the main window; false for items that are not skinned buttons.
  bool DrawButton(const DRAWITEMSTRUCT& item) const;

  bool seekDragging() const { return seekTrack_.dragging(); }
  bool volumeDragging() const { return volumeDrag_; }

  // Ctrl went down or up over the title display, the cursor at x (main-window
  // client): marks the zone that repeats.
  void OnZoneKey(bool ctrlDown, int cursorX) { seekTrack_.OnZoneKey(ctrlDown, cursorX); }
  // The zone marker under the seek track, from left over width client pixels.
  void ShowZone(int left, int width);

 private:
  struct Knob {
    HWND window = nullptr;
    platform::WindowSubclass subclass;
    bool hovered = false;
  };
  static LRESULT CALLBACK KnobProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                   DWORD_PTR data);
  static LRESULT CALLBACK TimeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                   DWORD_PTR data);
  LRESULT OnKnobMessage(Knob& knob, int id, UINT message, WPARAM wParam, LPARAM lParam);
  void PaintKnob(HWND window, int id) const;
  void PaintTime(HWND window) const;
  // The pointer of a knob's mouse message, in face coordinates.
  POINT PointerInFace(HWND knob, LPARAM lParam) const;
  void TrackHover(Knob& knob, LPARAM lParam);

  Skin& skin_;
  playback::PlaybackController& engine_;
  SeekTrack seekTrack_;
  HWND main_ = nullptr;
  Knob seek_;
  Knob volume_;
  HWND time_ = nullptr;
  platform::WindowSubclass timeSubclass_;
  bool volumeDrag_ = false;
  int grabOffset_ = 0;
};

}  // namespace kestrun::skin
