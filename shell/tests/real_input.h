// Acting on a modal dialog as a user does, from a second thread while the dialog's own
// thread runs its modal loop: the real pointer (SendInput) moved to a control and
// clicked, and the screen's pixels read back.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace kestrun::shell::testing {

inline bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(20);
  }
  return true;
}

// The visible top-level window of thread that holds control, other than exclude; or
// nullptr.
inline HWND FindThreadDialog(DWORD thread, int control, HWND exclude = nullptr) {
  struct Search {
    int control;
    HWND exclude;
    HWND found;
  } search{control, exclude, nullptr};
  EnumThreadWindows(
      thread,
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        if (window != s->exclude && IsWindowVisible(window) && GetDlgItem(window, s->control) != nullptr) {
          s->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

inline HWND WaitForThreadDialog(DWORD thread, int control, DWORD timeoutMs = 10000) {
  HWND dialog = nullptr;
  WaitUntil([&] { return (dialog = FindThreadDialog(thread, control)) != nullptr; }, timeoutMs);
  return dialog;
}

// The normalised coordinate of SendInput that lands on pixel (rounded up, so the
// system's truncation maps it back onto the same pixel).
inline LONG Normalised(int pixel, int extent) {
  return static_cast<LONG>((static_cast<long long>(pixel) * 65536 + extent - 1) / extent);
}

// Moves the real pointer to a screen point and clicks the left button there.
inline bool ClickAt(POINT point) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT inputs[3] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_MOUSE;
    input.mi.dx = Normalised(point.x, width);
    input.mi.dy = Normalised(point.y, height);
  }
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_ABSOLUTE;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP | MOUSEEVENTF_ABSOLUTE;
  return SendInput(3, inputs, sizeof(INPUT)) == 3;
}

// Moves the real pointer without clicking.
inline bool MoveTo(POINT point) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = Normalised(point.x, GetSystemMetrics(SM_CXSCREEN));
  input.mi.dy = Normalised(point.y, GetSystemMetrics(SM_CYSCREEN));
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  return SendInput(1, &input, sizeof(INPUT)) == 1;
}

inline POINT CentreOf(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

inline bool ClickCentreOf(HWND window) { return ClickAt(CentreOf(window)); }

// The screen's pixels (0x00RRGGBB) of a rectangle in screen coordinates, row by row.
inline std::vector<DWORD> ScreenPixels(const RECT& rect) {
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  std::vector<DWORD> pixels(static_cast<std::size_t>(width) * height);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    const auto* source = static_cast<const DWORD*>(bits);
    for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = source[i] & 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// Pixels whose brightest channel is below a third: the check mark, the frame, the text.
inline int DarkPixels(const std::vector<DWORD>& pixels) {
  int dark = 0;
  for (DWORD pixel : pixels) {
    const DWORD r = (pixel >> 16) & 0xFF;
    const DWORD g = (pixel >> 8) & 0xFF;
    const DWORD b = pixel & 0xFF;
    if (std::max({r, g, b}) < 0x55) ++dark;
  }
  return dark;
}

}  // namespace kestrun::shell::testing
