#include "skin/skinned_controls_win.h"

#include <vector>

#include "resources/resource_ids.h"
#include "skin/seek_geometry.h"
#include "skin/skin_layout.h"

namespace kestrun::skin {
namespace {

// The time display's font; where the system lacks it, a Japanese fixed-pitch one.
constexpr char kTimeFontName[] = "ＭＳ Ｐゴシック";
constexpr char kTimeFallbackFontName[] = "Noto Sans Mono CJK JP";
constexpr int kTimeFontHeight = 13;
constexpr int kTimeTextHeight = 12;

HFONT CreateTimeFont(const char* face) {
  return CreateFontA(kTimeFontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, PROOF_QUALITY, FIXED_PITCH | FF_MODERN, face);
}

// Whether dc, with font selected, really uses the face asked for.
bool UsesFace(HDC dc, const char* face) {
  char used[LF_FACESIZE] = {};
  GetTextFaceA(dc, sizeof(used), used);
  return lstrcmpiA(used, face) == 0;
}

void MoveToElement(HWND main, const SkinElement& element) {
  if (HWND control = GetDlgItem(main, element.id)) {
    MoveWindow(control, element.x, element.y, element.width, element.height, TRUE);
  }
}

}  // namespace

void SkinnedControls::LayOut(HWND main) {
  main_ = main;
  // Once the program has taken the caption and frame away, the window is the face.
  SetWindowPos(main, nullptr, 0, 0, kFaceWidth, kFaceHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOOWNERZORDER);
  for (const auto& element : SkinElements()) MoveToElement(main, element);
  if (HWND title = GetDlgItem(main, IDC_TITLE_DISPLAY)) {
    MoveWindow(title, kTitleX, kTitleY, kTitleWidth, kTitleHeight, TRUE);
  }
  time_ = GetDlgItem(main, IDC_TIME_DISPLAY);
  if (time_ != nullptr) {
    MoveWindow(time_, kTimeX, kTimeY, kTimeWidth, kTimeHeight, TRUE);
    timeSubclass_.Install(time_, TimeProc, IDC_TIME_DISPLAY, reinterpret_cast<DWORD_PTR>(this));
  }
  seek_.window = GetDlgItem(main, IDC_SEEK_KNOB);
  volume_.window = GetDlgItem(main, IDC_VOLUME_KNOB);
  for (auto* knob : {&seek_, &volume_}) {
    if (knob->window == nullptr) continue;
    knob->subclass.Install(knob->window, KnobProc, GetDlgCtrlID(knob->window), reinterpret_cast<DWORD_PTR>(this));
  }
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
  skin_.Copy(item.hDC, area.left, area.top, area.right - area.left, area.bottom - area.top,
             pressed ? element->pressedX : element->normalX, pressed ? element->pressedY : element->normalY);
  return true;
}

void SkinnedControls::PaintKnob(HWND window, int id) const {
  const SkinElement* element = FindElement(id);
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  if (element != nullptr) {
    const RECT& area = paint.rcPaint;
    skin_.Copy(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, element->normalX + area.left,
               element->normalY + area.top);
  }
  EndPaint(window, &paint);
}

void SkinnedControls::PaintTime(HWND window) const {
  PAINTSTRUCT paint{};
  HDC dc = BeginPaint(window, &paint);
  skin_.Copy(dc, 0, 0, kTimeWidth, kTimeHeight, kTimeX, kTimeY);
  const int length = GetWindowTextLengthA(window);
  std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
  GetWindowTextA(window, text.data(), length + 1);
  SetTextColor(dc, skin_.timeColour());
  SetBkMode(dc, TRANSPARENT);
  platform::GdiObject font(CreateTimeFont(kTimeFontName));
  HGDIOBJ previous = SelectObject(dc, font.get());
  if (!UsesFace(dc, kTimeFontName)) {
    SelectObject(dc, previous);
    font.reset(CreateTimeFont(kTimeFallbackFontName));
    previous = SelectObject(dc, font.get());
  }
  RECT line{0, 0, kTimeWidth, kTimeTextHeight};
  DrawTextA(dc, text.data(), -1, &line, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, previous);
  EndPaint(window, &paint);
}

POINT SkinnedControls::PointerInFace(HWND knob, LPARAM lParam) const {
  POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  MapWindowPoints(knob, main_, &point, 1);
  return point;
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
  RECT knob{};
  GetWindowRect(seek_.window, &knob);
  MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&knob), 2);
  MoveWindow(zone, left, knob.top, width, kKnobSize, TRUE);
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
        RECT rect{};
        GetWindowRect(knob.window, &rect);
        MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&rect), 2);
        MoveWindow(knob.window, x - grabOffset_, rect.top, kKnobSize, kKnobSize, TRUE);
        seekTrack_.DragTo(x);
        InvalidateRect(main_, nullptr, FALSE);
      } else if (!isSeek && volumeDrag_) {
        const VolumeDrag drag = VolumeFromPointer(point.y);
        const SkinElement* element = FindElement(IDC_VOLUME_KNOB);
        RECT rect{};
        GetWindowRect(knob.window, &rect);
        MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&rect), 2);
        MoveWindow(knob.window, rect.left, drag.knobTop, element->width, element->height, TRUE);
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
