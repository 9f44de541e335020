// The current skin: its bitmap selected into a memory surface that every skinned
// paint copies from one to one, its two text colours, and the "Skin(&S)" menu of the
// skin folders next to the program. On a screen of high DPI the surface holds the
// bitmap enlarged by the face's integer zoom (nearest-neighbour, made once per skin
// and zoom), so the copies stay one to one in window pixels.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32_handles_win.h"

namespace kestrun::skin {

inline constexpr COLORREF kDefaultTitleColour = RGB(0, 128, 0);
inline constexpr COLORREF kDefaultTimeColour = RGB(168, 129, 84);

class Skin {
 public:
  // appDirectory: the program's folder, which holds "Skin".
  explicit Skin(std::string appDirectory);
  ~Skin();
  Skin(const Skin&) = delete;
  Skin& operator=(const Skin&) = delete;

  // Start-up: the "default" skin's bitmap, colours left as they are. Without a
  // readable bitmap the surface stays empty (black).
  void LoadDefault(HWND main);
  // Switches to the named skin and reads its colours. False, with nothing changed,
  // when its bitmap is missing, unreadable or smaller than the face and pictures.
  bool Load(HWND main, const std::string& name);
  // Reads color.txt of a skin folder (ending in a backslash): title and time colours.
  void ReadColours(const std::string& folder);
  // Appends the "Skin(&S)" popup to menu, one item per skin folder, IDM_SKIN_FIRST + k;
  // returns the number of items.
  int BuildMenu(HMENU menu);
  // Releases the bitmap and the surface.
  void Free();

  // The zoom the face is drawn at (1 to 3); the surface is remade for a new one.
  void SetZoom(int zoom);
  int zoom() const { return zoom_; }

  // Copies width x height window pixels from (sourceX, sourceY) of the zoomed skin to
  // (x, y) of target: all six in window pixels (face pixels times the zoom).
  void Copy(HDC target, int x, int y, int width, int height, int sourceX, int sourceY) const;
  // The skin's colour at a face point (for backgrounds that cannot be painted from it).
  COLORREF ColourAt(int x, int y) const;

  COLORREF titleColour() const { return titleColour_; }
  COLORREF timeColour() const { return timeColour_; }
  int menuCount() const { return menuCount_; }
  const std::string& folder() const { return skinFolder_; }

 private:
  // A loaded bitmap of at least the skin's size, or none.
  platform::GdiObject ReadBitmap(const std::string& path) const;
  void Select(HWND main, platform::GdiObject bitmap);
  // Selects the bitmap, or at a zoom above 1 its enlarged copy, into the surface.
  void SelectZoomed();

  std::string skinFolder_;  // the program folder + "\Skin\"
  platform::MemoryDc surface_;
  platform::GdiObject bitmap_;
  platform::GdiObject zoomed_;  // bitmap_ enlarged by zoom_; none at zoom 1
  int zoom_ = 1;
  HGDIOBJ originalBitmap_ = nullptr;
  COLORREF titleColour_ = kDefaultTitleColour;
  COLORREF timeColour_ = kDefaultTimeColour;
  int menuCount_ = 0;
};

}  // namespace kestrun::skin
