#include "skin/skinned_controls_win.h"

#include <utility>
#include <vector>

#include "platform/dpi_win.h"
#include "resources/resource_ids.h"
#include "skin/seek_geometry.h"
#include "skin/skin_layout.h"
#include "skin/zoom.h"

namespace kestrun::skin {
namespace {

// The time display's font; where the system lacks it, a Japanese fixed-pitch one.
constexpr char kTimeFontName[] = "ＭＳ Ｐゴシック";
constexpr char kTimeFallbackFontName[] = "Noto Sans Mono CJK JP";
constexpr int kTimeFontHeight = 13;
constexpr int kTimeTextHeight = 12;

HFONT CreateTimeFont(const char* face, int zoom) {
  return CreateFontA(ZoomUp(kTimeFontHeight, zoom), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY, FIXED_PITCH | FF_MODERN, face);
}

// Whether dc, with font selected, really uses the face asked for.
bool UsesFace(HDC dc, const char* face) {
  char used[LF_FACESIZE] = {};
  GetTextFaceA(dc, sizeof(used), used);
  return lstrcmpiA(used, face) == 0;
}

void MoveToElement(HWND main, const SkinElement& element, int zoom) {
  if (HWND control = GetDlgItem(main, element.id)) {
    MoveWindow(control, ZoomUp(element.x, zoom), ZoomUp(element.y, zoom), ZoomUp(element.width, zoom),
               ZoomUp(element.height, zoom), TRUE);
  }
}

// A control's rectangle in its parent's client pixels.
RECT PlacedRect(HWND control, HWND parent) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace

void SkinnedControls::LayOut(HWND main) {
  main_ = main;
  // The window lays itself out on a DPI change; the dialog manager must not too.
  platform::KeepDialogLayoutOnDpiChange(main);
  // The dialog's font, which the title display was given (the rich-edit control
  // does not answer WM_GETFONT itself).
  dialogFont_ = reinterpret_cast<HFONT>(SendMessageA(main, WM_GETFONT, 0, 0));
  if (dialogFont_ != nullptr && GetObjectA(dialogFont_, sizeof(dialogLogFont_), &dialogLogFont_) != 0) {
    dialogFontDpi_ = platform::WindowDpi(main);
  }
  skin_.SetZoom(ZoomForDpi(platform::WindowDpi(main)));
  time_ = GetDlgItem(main, IDC_TIME_DISPLAY);
  seek_.window = GetDlgItem(main, IDC_SEEK_KNOB);
  volume_.window = GetDlgItem(main, IDC_VOLUME_KNOB);
  Place(true);
  if (time_ != nullptr) timeSubclass_.Install(time_, TimeProc, IDC_TIME_DISPLAY, reinterpret_cast<DWORD_PTR>(this));
  for (auto* knob : {&seek_, &volume_}) {
    if (knob->window == nullptr) continue;
    knob->subclass.Install(knob->window, KnobProc, GetDlgCtrlID(knob->window), reinterpret_cast<DWORD_PTR>(this));
  }
}

void SkinnedControls::Place(bool placeKnobs) {
  const int zoom = skin_.zoom();
  // Once the program has taken the caption and frame away, the window is the face.
  SetWindowPos(main_, nullptr, 0, 0, ZoomUp(kFaceWidth, zoom), ZoomUp(kFaceHeight, zoom),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER);
  for (const auto& element : SkinElements()) {
    if (!placeKnobs && (element.id == IDC_SEEK_KNOB || element.id == IDC_VOLUME_KNOB)) continue;
    MoveToElement(main_, element, zoom);
  }
  if (HWND title = GetDlgItem(main_, IDC_TITLE_DISPLAY)) {
    MoveWindow(title, ZoomUp(kTitleX, zoom), ZoomUp(kTitleY, zoom), ZoomUp(kTitleWidth, zoom),
               ZoomUp(kTitleHeight, zoom), TRUE);
    SetTitleFont();
  }
  if (time_ != nullptr) {
    MoveWindow(time_, ZoomUp(kTimeX, zoom), ZoomUp(kTimeY, zoom), ZoomUp(kTimeWidth, zoom), ZoomUp(kTimeHeight, zoom),
               TRUE);
  }
}

void SkinnedControls::SetTitleFont() {
  HWND title = GetDlgItem(main_, IDC_TITLE_DISPLAY);
  if (title == nullptr || dialogFont_ == nullptr || dialogFontDpi_ <= 0) return;
  // The face's text grows with the face: the dialog font's size at 96 DPI times the
  // zoom. Where the dialog's own font has that size already (96 DPI at 1x, 192 at 2x)
  // it stays, so nothing changes there.
  LOGFONTA wanted = dialogLogFont_;
  wanted.lfHeight = ZoomUp(platform::ScaleToDefaultDpi(dialogLogFont_.lfHeight, dialogFontDpi_), skin_.zoom());
  HFONT font = dialogFont_;
  if (wanted.lfHeight != dialogLogFont_.lfHeight) {
    platform::GdiObject made(CreateFontIndirectA(&wanted));
    if (made) font = static_cast<HFONT>(made.get());
    SendMessageA(title, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    zoomedTitleFont_ = std::move(made);  // the old one is out of use now
    return;
  }
  if (zoomedTitleFont_) {
    SendMessageA(title, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    zoomedTitleFont_.reset();
  }
}

void SkinnedControls::SetZoom(int zoom) {
  const int previous = skin_.zoom();
  skin_.SetZoom(zoom);
  if (main_ == nullptr || skin_.zoom() == previous) return;
  // The knobs keep their places on the face.
  const int now = skin_.zoom();
  auto rescale = [previous, now](int pixels) { return ZoomUp(ZoomDown(pixels, previous), now); };
  const RECT seek = seek_.window != nullptr ? PlacedRect(seek_.window, main_) : RECT{};
  const RECT volume = volume_.window != nullptr ? PlacedRect(volume_.window, main_) : RECT{};
  const RECT zone = PlacedRect(GetDlgItem(main_, IDC_ZONE_MARKER), main_);
  Place(false);
  if (seek_.window != nullptr) {
    MoveWindow(seek_.window, rescale(seek.left), rescale(seek.top), ZoomUp(kKnobSize, now), ZoomUp(kKnobSize, now),
               TRUE);
  }
  if (const SkinElement* element = FindElement(IDC_VOLUME_KNOB); element != nullptr && volume_.window != nullptr) {
    MoveWindow(volume_.window, rescale(volume.left), rescale(volume.top), ZoomUp(element->width, now),
               ZoomUp(element->height, now), TRUE);
  }
  if (HWND marker = GetDlgItem(main_, IDC_ZONE_MARKER)) {
    MoveWindow(marker, rescale(zone.left), rescale(zone.top), rescale(zone.right) - rescale(zone.left),
               rescale(zone.bottom) - rescale(zone.top), FALSE);
  }
  RedrawWindow(main_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void SkinnedControls::Release() {
  seek_.subclass.Remove();
  volume_.subclass.Remove();
  timeSubclass_.Remove();
}

void SkinnedControls::PaintFace(HWND main) const {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(main, &paint);
  const RECT& area = paint.rcPaint;
  skin_.Copy(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, area.left, area.top);
  EndPaint(main, &paint);
}

bool SkinnedControls::DrawButton(const DRAWITEMSTRUCT& item) const {
  if (item.CtlType != ODT_BUTTON) return false;
  const SkinElement* element = FindElement(static_cast<int>(item.CtlID));
  if (element == nullptr) return false;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const RECT& area = item.rcItem;
  const int zoom = skin_.zoom();
  skin_.Copy(item.hDC, area.left, area.top, area.right - area.left, area.bottom - area.top,
             ZoomUp(pressed ? element->pressedX : element->normalX, zoom),
             ZoomUp(pressed ? element->pressedY : element->normalY, zoom));
  return true;
}

void SkinnedControls::PaintKnob(HWND window, int id) const {
  const SkinElement* element = FindElement(id);
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  if (element != nullptr) {
    const RECT& area = paint.rcPaint;
    const int zoom = skin_.zoom();
    skin_.Copy(dc, area.left, area.top, area.right - area.left, area.bottom - area.top,
               ZoomUp(element->normalX, zoom) + area.left, ZoomUp(element->normalY, zoom) + area.top);
  }
  EndPaint(window, &paint);
}

void SkinnedControls::PaintTime(HWND window) const {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  const int zoom = skin_.zoom();
  skin_.Copy(dc, 0, 0, ZoomUp(kTimeWidth, zoom), ZoomUp(kTimeHeight, zoom), ZoomUp(kTimeX, zoom), ZoomUp(kTimeY, zoom));
  const int length = GetWindowTextLengthA(window);
  std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
  GetWindowTextA(window, text.data(), length + 1);
  SetTextColor(dc, skin_.timeColour());
  SetBkMode(dc, TRANSPARENT);
  platform::GdiObject font(CreateTimeFont(kTimeFontName, zoom));
  HGDIOBJ previous = SelectObject(dc, font.get());
  if (!UsesFace(dc, kTimeFontName)) {
    SelectObject(dc, previous);
    font.reset(CreateTimeFont(kTimeFallbackFontName, zoom));
    previous = SelectObject(dc, font.get());
  }
  RECT line{0, 0, ZoomUp(kTimeWidth, zoom), ZoomUp(kTimeTextHeight, zoom)};
  DrawTextA(dc, text.data(), -1, &line, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, previous);
  EndPaint(window, &paint);
}

POINT SkinnedControls::PointerInFace(HWND knob, LPARAM lParam) const {
  POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  MapWindowPoints(knob, main_, &point, 1);
  const int zoom = skin_.zoom();
  return {ZoomDown(point.x, zoom), ZoomDown(point.y, zoom)};
}

void SkinnedControls::TrackHover(Knob& knob, LPARAM lParam) {
  POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  RECT client{};
  GetClientRect(knob.window, &client);
  const bool inside = PtInRect(&client, point) != FALSE;
  if (!knob.hovered && inside) {
    knob.hovered = true;
    SetCapture(knob.window);
    InvalidateRect(knob.window, nullptr, FALSE);
  } else if (knob.hovered && !inside) {
    knob.hovered = false;
    InvalidateRect(knob.window, nullptr, FALSE);
    ReleaseCapture();
  }
}

void SkinnedControls::ShowZone(int left, int width) {
  HWND zone = main_ != nullptr ? GetDlgItem(main_, IDC_ZONE_MARKER) : nullptr;
  if (zone == nullptr || seek_.window == nullptr) return;
  // The marker sits in the seek knob's row.
  const RECT knob = PlacedRect(seek_.window, main_);
  const int zoom = skin_.zoom();
  MoveWindow(zone, ZoomUp(left, zoom), knob.top, ZoomUp(width, zoom), ZoomUp(kKnobSize, zoom), TRUE);
  ShowWindow(zone, SW_SHOW);
}

LRESULT SkinnedControls::OnKnobMessage(Knob& knob, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  const bool isSeek = id == IDC_SEEK_KNOB;
  switch (message) {
    case WM_PAINT:
      PaintKnob(knob.window, id);
      return 0;
    case WM_ERASEBKGND:
      UpdateWindow(knob.window);
      return 1;
    case WM_LBUTTONDOWN: {
      SetCapture(knob.window);
      if (isSeek) {
        grabOffset_ = static_cast<short>(LOWORD(lParam));
        seekTrack_.Press(PointerInFace(knob.window, lParam).x);
      } else {
        volumeDrag_ = true;
      }
      return 0;
    }
    case WM_MOUSEMOVE: {
      const POINT point = PointerInFace(knob.window, lParam);
      if (isSeek && seekTrack_.dragging()) {
        const int x = ClampToTrack(point.x);
        const RECT rect = PlacedRect(knob.window, main_);
        const int zoom = skin_.zoom();
        MoveWindow(knob.window, ZoomUp(x, zoom) - grabOffset_, rect.top, ZoomUp(kKnobSize, zoom),
                   ZoomUp(kKnobSize, zoom), TRUE);
        seekTrack_.DragTo(x);
        InvalidateRect(main_, nullptr, FALSE);
      } else if (!isSeek && volumeDrag_) {
        const VolumeDrag drag = VolumeFromPointer(point.y);
        const SkinElement* element = FindElement(IDC_VOLUME_KNOB);
        const RECT rect = PlacedRect(knob.window, main_);
        const int zoom = skin_.zoom();
        MoveWindow(knob.window, rect.left, ZoomUp(drag.knobTop, zoom), ZoomUp(element->width, zoom),
                   ZoomUp(element->height, zoom), TRUE);
        InvalidateRect(main_, nullptr, FALSE);
        engine_.SetVolume(drag.volume);
      } else {
        TrackHover(knob, lParam);
      }
      return 0;
    }
    case WM_LBUTTONUP:
      if (isSeek && seekTrack_.dragging()) {
        seekTrack_.Release();
      } else if (!isSeek && volumeDrag_) {
        volumeDrag_ = false;
        InvalidateRect(knob.window, nullptr, FALSE);
        SetFocus(main_);
      }
      knob.hovered = false;
      ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
      if (isSeek) seekTrack_.Cancel();
      if (!isSeek) volumeDrag_ = false;
      knob.hovered = false;
      return 0;
    default:
      return DefSubclassProc(knob.window, message, wParam, lParam);
  }
}

LRESULT CALLBACK SkinnedControls::KnobProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                           DWORD_PTR data) {
  auto* self = reinterpret_cast<SkinnedControls*>(data);
  Knob& knob = static_cast<int>(id) == IDC_SEEK_KNOB ? self->seek_ : self->volume_;
  return self->OnKnobMessage(knob, static_cast<int>(id), message, wParam, lParam);
}

LRESULT CALLBACK SkinnedControls::TimeProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                           DWORD_PTR data) {
  auto* self = reinterpret_cast<SkinnedControls*>(data);
  switch (message) {
    case WM_ERASEBKGND:
      InvalidateRect(window, nullptr, FALSE);
      UpdateWindow(window);
      return 1;
    case WM_PAINT:
      self->PaintTime(window);
      return 0;
    case WM_SETTEXT: {
      // The static control would paint the new text at once on its dialog brush,
      // and the skin only afterwards: store the text alone and let WM_PAINT draw it.
      const LRESULT stored = IsWindowUnicode(window) ? DefWindowProcW(window, message, wParam, lParam)
                                                     : DefWindowProcA(window, message, wParam, lParam);
      InvalidateRect(window, nullptr, FALSE);
      return stored;
    }
    default:
      return DefSubclassProc(window, message, wParam, lParam);
  }
}

}  // namespace kestrun::skin
