// The skinned controls of the main window: the seek and volume knobs (dragged with
// the mouse), the time display and the button pictures, all painted from the skin.
// On a screen of high DPI everything is placed and painted at the skin's integer
// zoom; pointer positions are taken back to face pixels before any arithmetic, so a
// drag means the same at every zoom.
#pragma once

#include <windows.h>

#include "platform/win32_handles_win.h"
#include "playback/playback_controller.h"
#include "playback/playback_view.h"
#include "skin/seek_track.h"
#include "skin/skin_win.h"
#include "skin/zoom.h"

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
  // Draws the face at another zoom (the window moved to a monitor of another DPI):
  // the window, every control and the knobs where they stood, in the new size.
  void SetZoom(int zoom);
  int zoom() const { return skin_.zoom(); }

  // The main window's paint: the face for the area to repaint.
  void PaintFace(HWND main) const;
  // WM_DRAWITEM of the main window; false for items that are not skinned buttons.
  bool DrawButton(const DRAWITEMSTRUCT& item) const;

  bool seekDragging() const { return seekTrack_.dragging(); }
  bool volumeDragging() const { return volumeDrag_; }

  // Ctrl went down or up over the title display, the cursor at x (main-window
  // client): marks the zone that repeats.
  void OnZoneKey(bool ctrlDown, int cursorX) { seekTrack_.OnZoneKey(ctrlDown, ZoomDown(cursorX, skin_.zoom())); }
  // The zone marker under the seek track, from left over width face pixels.
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
  // Sizes the window and places the controls at the skin's zoom; the knobs only when
  // placeKnobs (their tracks move them afterwards).
  void Place(bool placeKnobs);
  // The title display's font at the zoom: the dialog's own where its size fits.
  void SetTitleFont();
  LRESULT OnKnobMessage(Knob& knob, int id, UINT message, WPARAM wParam, LPARAM lParam);
  void PaintKnob(HWND window, int id) const;
  void PaintTime(HWND window) const;
  // The pointer of a knob's mouse message, in face pixels.
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
  int grabOffset_ = 0;  // window pixels, inside the seek knob
  // The dialog's font of the title display, what it is, and the DPI it was made for.
  HFONT dialogFont_ = nullptr;
  LOGFONTA dialogLogFont_{};
  int dialogFontDpi_ = 0;
  platform::GdiObject zoomedTitleFont_;  // the title's font when the dialog's does not fit the zoom
};

}  // namespace kestrun::skin
