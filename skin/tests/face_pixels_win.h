// The pixels of the face on the screen against the skin bitmap the build draws, for
// the tests of the skinned face with or without a whole player.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kestrun::testing {

// The pixels of a bitmap file or of a window on the screen, as 0x00RRGGBB.
class Pixels {
 public:
  static Pixels OfFile(const std::string& path) {
    Pixels pixels;
    HBITMAP bitmap =
        static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (bitmap == nullptr) return pixels;
    BITMAP info{};
    GetObjectA(bitmap, sizeof(info), &info);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    pixels.Read(dc, info.bmWidth, info.bmHeight);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return pixels;
  }
  static Pixels OfWindow(HWND window, int width, int height) {
    Pixels pixels;
    HDC screen = GetDC(window);
    pixels.Read(screen, width, height);
    ReleaseDC(window, screen);
    return pixels;
  }
  COLORREF At(int x, int y) const { return values_[static_cast<std::size_t>(y) * width_ + x]; }
  bool empty() const { return values_.empty(); }

 private:
  void Read(HDC source, int width, int height) {
    width_ = width;
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = -height;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC copy = CreateCompatibleDC(source);
    HBITMAP target = CreateDIBSection(copy, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(copy, target);
    BitBlt(copy, 0, 0, width, height, source, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* data = static_cast<const DWORD*>(bits);
    values_.assign(data, data + static_cast<std::size_t>(width) * height);
    for (auto& value : values_) value &= 0xFFFFFF;
    SelectObject(copy, old);
    DeleteObject(target);
    DeleteDC(copy);
  }
  int width_ = 0;
  std::vector<COLORREF> values_;
};

// Counts pixels of an area that differ between the screen and the skin.
inline int Differences(const Pixels& screen, int x, int y, const Pixels& skin, int sourceX, int sourceY, int width,
                int height) {
  int different = 0;
  for (int dy = 0; dy < height; ++dy) {
    for (int dx = 0; dx < width; ++dx) {
      if (screen.At(x + dx, y + dy) != skin.At(sourceX + dx, sourceY + dy)) ++different;
    }
  }
  return different;
}

inline void Pump() {
  MSG message;
  for (int round = 0; round < 5; ++round) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(20);
  }
}

}  // namespace kestrun::testing
