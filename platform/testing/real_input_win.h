// Input as a user gives it: keys and mouse clicks through the system's input queue
// (SendInput), so they reach whichever window has the focus or lies under the
// pointer, exactly as a person's would; and the screen's pixels, as the user sees them.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/testing/message_pump_win.h"
#include "platform/testing/modal_dialog_driver_win.h"

namespace kestrun::testing {

// Presses and releases key with modifier (VK_CONTROL, VK_SHIFT) held around it, or
// alone when modifier is 0.
inline bool PressKeyWith(WORD modifier, WORD key) {
  std::vector<INPUT> inputs;
  auto add = [&inputs](WORD vk, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    // Insert, Delete, Home and End are keys of the extended block.
    if (vk == VK_INSERT || vk == VK_DELETE || vk == VK_END || vk == VK_HOME) flags |= KEYEVENTF_EXTENDEDKEY;
    input.ki.dwFlags = flags;
    inputs.push_back(input);
  };
  if (modifier != 0) add(modifier, 0);
  add(key, 0);
  add(key, KEYEVENTF_KEYUP);
  if (modifier != 0) add(modifier, KEYEVENTF_KEYUP);
  const UINT count = static_cast<UINT>(inputs.size());
  return SendInput(count, inputs.data(), sizeof(INPUT)) == count;
}

// Presses and releases key; with ctrl, Ctrl is held around it.
inline bool PressKey(WORD key, bool ctrl = false) { return PressKeyWith(ctrl ? VK_CONTROL : 0, key); }

// Makes window the foreground window (its thread then gets the keys).
inline void BringToFront(HWND window) {
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(window);
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

// Clicks the left button at a screen point with a key (VK_SHIFT, VK_CONTROL) held down.
inline bool ClickWithKeyHeld(POINT point, WORD key) {
  INPUT down{};
  down.type = INPUT_KEYBOARD;
  down.ki.wVk = key;
  down.ki.wScan = static_cast<WORD>(MapVirtualKeyA(key, MAPVK_VK_TO_VSC));
  INPUT up = down;
  up.ki.dwFlags = KEYEVENTF_KEYUP;
  if (SendInput(1, &down, sizeof(INPUT)) != 1) return false;
  const bool clicked = ClickAt(point);
  return SendInput(1, &up, sizeof(INPUT)) == 1 && clicked;
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

// Right-clicks at a screen point (the pointer is put there first).
inline void RightClickAt(POINT screen) {
  SetCursorPos(screen.x, screen.y);
  Sleep(100);
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
  inputs[1].type = INPUT_MOUSE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
  SendInput(2, inputs, sizeof(INPUT));
  Sleep(300);
}

// Presses the left button at from, moves the pointer by (dx, dy) in six steps and lets go.
inline void DragWithMouse(POINT from, int dx, int dy) {
  SetCursorPos(from.x, from.y);
  Sleep(100);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  SendInput(1, &input, sizeof(INPUT));
  Sleep(100);
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  for (int step = 1; step <= 6; ++step) {
    input.mi.dx = MulDiv(from.x + dx * step / 6, 65535, screenWidth - 1);
    input.mi.dy = MulDiv(from.y + dy * step / 6, 65535, screenHeight - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(INPUT));
    Sleep(60);
  }
  input.mi.dx = 0;
  input.mi.dy = 0;
  input.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(1, &input, sizeof(INPUT));
  Sleep(300);
}

// The centre of a window on the screen.
inline POINT CentreOf(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

inline bool ClickCentreOf(HWND window) { return ClickAt(CentreOf(window)); }

// The pixels (0x00RRGGBB) of a width x height area at x, y of a device context, row by
// row from the top; empty when they cannot be read.
inline std::vector<DWORD> PixelsOf(HDC source, int x, int y, int width, int height) {
  std::vector<DWORD> pixels;
  if (width <= 0 || height <= 0) return pixels;
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY);
    GdiFlush();
    const auto* read = static_cast<const DWORD*>(bits);
    pixels.assign(read, read + static_cast<std::size_t>(width) * height);
    for (DWORD& pixel : pixels) pixel &= 0xFFFFFF;
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  return pixels;
}

// The screen's pixels (0x00RRGGBB) of a rectangle in screen coordinates, row by row.
inline std::vector<DWORD> ScreenPixels(const RECT& rect) {
  HDC screen = GetDC(nullptr);
  std::vector<DWORD> pixels = PixelsOf(screen, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// An image's pixels (0x00RRGGBB), rows top-down; empty when it could not be read.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<DWORD> pixels;
  DWORD At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
  bool empty() const { return pixels.empty(); }
};

// The pixels of a bitmap file, as the system loads it.
inline Picture BitmapFilePicture(const std::string& path) {
  Picture picture;
  HBITMAP bitmap = static_cast<HBITMAP>(
      LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (bitmap == nullptr) return picture;
  BITMAP info{};
  GetObjectA(bitmap, sizeof(info), &info);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  picture.pixels = PixelsOf(dc, 0, 0, info.bmWidth, info.bmHeight);
  if (!picture.pixels.empty()) {
    picture.width = info.bmWidth;
    picture.height = info.bmHeight;
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return picture;
}

// What a window shows of its top-left width x height, read through its own device
// context.
inline Picture WindowPicture(HWND window, int width, int height) {
  Picture picture;
  HDC dc = GetDC(window);
  picture.pixels = PixelsOf(dc, 0, 0, width, height);
  ReleaseDC(window, dc);
  if (!picture.pixels.empty()) {
    picture.width = width;
    picture.height = height;
  }
  return picture;
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

}  // namespace kestrun::testing
