#include "skin/skin_win.h"

#include <cstdio>
#include <cstring>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/debug_line.h"
#include "platform/limits.h"
#include "platform/win32_handles_win.h"
#include "resources/menu_ids.h"
#include "settings/player_settings.h"
#include "skin/skin_layout.h"
#include "skin/zoom.h"

namespace kestrun::skin {
namespace {

constexpr char kSkinFolderFormat[] = "%s\\Skin\\";
constexpr char kBitmapName[] = "skin.bmp";
constexpr char kColourName[] = "color.txt";
constexpr char kMissingPath[] = "path doesn't exist";
constexpr char kSkinMenuText[] = "Skin(&S)";

// A copy of bitmap enlarged nearest-neighbour by zoom, as a 32-bit top-down DIB
// section; none when the pixels cannot be read.
platform::GdiObject ZoomedBitmap(HBITMAP bitmap, int zoom) {
  BITMAP info{};
  if (GetObjectA(bitmap, sizeof(info), &info) == 0 || info.bmWidth <= 0 || info.bmHeight <= 0) return {};
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof(format.bmiHeader);
  format.bmiHeader.biWidth = info.bmWidth;
  format.bmiHeader.biHeight = -info.bmHeight;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(info.bmWidth) * static_cast<std::size_t>(info.bmHeight));
  {
    platform::WindowDc screen(nullptr);
    if (!screen) return {};
    // The bitmap may not be selected into a surface while its bits are read.
    if (GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(info.bmHeight), pixels.data(), &format, DIB_RGB_COLORS) !=
        info.bmHeight) {
      return {};
    }
  }
  const std::vector<std::uint32_t> zoomed = ZoomPixels(pixels, info.bmWidth, info.bmHeight, zoom);
  if (zoomed.empty()) return {};
  format.bmiHeader.biWidth = info.bmWidth * zoom;
  format.bmiHeader.biHeight = -info.bmHeight * zoom;
  void* bits = nullptr;
  platform::GdiObject section(CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!section || bits == nullptr) return {};
  std::memcpy(bits, zoomed.data(), zoomed.size() * sizeof(std::uint32_t));
  GdiFlush();
  return section;
}

}  // namespace

Skin::Skin(std::string appDirectory) {
  char folder[platform::kPathCapacity + 16];
  std::snprintf(folder, sizeof(folder), kSkinFolderFormat, appDirectory.c_str());
  skinFolder_ = folder;
}

Skin::~Skin() { Free(); }

platform::GdiObject Skin::ReadBitmap(const std::string& path) const {
  platform::GdiObject bitmap(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  if (!bitmap) return {};
  BITMAP info{};
  // A picture smaller than the face and its control pictures would paint garbage.
  if (GetObjectA(bitmap.get(), sizeof(info), &info) == 0 || info.bmWidth < kSkinMinWidth ||
      info.bmHeight < kSkinMinHeight) {
    return {};
  }
  return bitmap;
}

void Skin::Select(HWND main, platform::GdiObject bitmap) {
  platform::MemoryDc surface;
  if (platform::WindowDc windowDc(main); windowDc) surface.reset(CreateCompatibleDC(windowDc.get()));
  if (!surface) return;
  Free();
  surface_ = std::move(surface);
  bitmap_ = std::move(bitmap);
  SelectZoomed();
}

void Skin::SelectZoomed() {
  if (!surface_) return;
  // The surface's own bitmap goes back in first: a bitmap's bits are read only while
  // it sits in no surface.
  if (originalBitmap_ != nullptr) SelectObject(surface_.get(), originalBitmap_);
  originalBitmap_ = nullptr;
  zoomed_.reset();
  if (!bitmap_) return;
  HGDIOBJ picture = bitmap_.get();
  if (zoom_ > 1) {
    zoomed_ = ZoomedBitmap(static_cast<HBITMAP>(bitmap_.get()), zoom_);
    // Without its enlarged copy the face paints from an empty surface rather than
    // from the wrong places of the small one.
    if (!zoomed_) {
      platform::DebugLine("Kestrun: the skin could not be enlarged\n");
      return;
    }
    picture = zoomed_.get();
  }
  originalBitmap_ = SelectObject(surface_.get(), picture);
}

void Skin::SetZoom(int zoom) {
  if (zoom < 1) zoom = 1;
  if (zoom > kMaxZoom) zoom = kMaxZoom;
  if (zoom == zoom_) return;
  zoom_ = zoom;
  SelectZoomed();
}

void Skin::LoadDefault(HWND main) {
  const std::string path = skinFolder_ + settings::kDefaultSkinName + "\\" + kBitmapName;
  Select(main, ReadBitmap(path));
  platform::DebugLine(path);
}

bool Skin::Load(HWND main, const std::string& name) {
  const std::string folder = skinFolder_ + name + "\\";
  const std::string path = folder + kBitmapName;
  platform::DebugLine(path);
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    platform::DebugLine(kMissingPath);
    return false;
  }
  // A file that is no usable bitmap keeps the skin that works.
  platform::GdiObject bitmap = ReadBitmap(path);
  if (!bitmap) return false;
  Select(main, std::move(bitmap));
  platform::DebugLine(path);
  ReadColours(folder);
  return true;
}

void Skin::ReadColours(const std::string& folder) {
  const std::string file = folder + kColourName;
  auto component = [&file](const char* section, const char* key) {
    return ColourComponent(static_cast<int>(GetPrivateProfileIntA(section, key, 0, file.c_str())));
  };
  titleColour_ = RGB(component("TEXT", "RED"), component("TEXT", "GREEN"), component("TEXT", "BLUE"));
  timeColour_ = RGB(component("TIME", "RED"), component("TIME", "GREEN"), component("TIME", "BLUE"));
}

int Skin::BuildMenu(HMENU menu) {
  HMENU popup = CreatePopupMenu();
  menuCount_ = 0;
  WIN32_FIND_DATAA entry{};
  platform::FindHandle search(FindFirstFileA((skinFolder_ + "*").c_str(), &entry));
  if (search) {
    do {
      if (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0) continue;
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
      // The main window takes 1000 skins; more would run into other commands.
      if (IDM_SKIN_FIRST + menuCount_ >= IDM_SKIN_LIMIT) break;
      AppendMenuA(popup, MF_STRING, IDM_SKIN_FIRST + menuCount_, entry.cFileName);
      ++menuCount_;
    } while (FindNextFileA(search.get(), &entry));
  }
  if (menu != nullptr) {
    AppendMenuA(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup), kSkinMenuText);
  } else {
    DestroyMenu(popup);
  }
  return menuCount_;
}

void Skin::Free() {
  if (surface_ && originalBitmap_ != nullptr) SelectObject(surface_.get(), originalBitmap_);
  originalBitmap_ = nullptr;
  zoomed_.reset();
  bitmap_.reset();
  surface_.reset();
}

void Skin::Copy(HDC target, int x, int y, int width, int height, int sourceX, int sourceY) const {
  if (!surface_) return;
  BitBlt(target, x, y, width, height, surface_.get(), sourceX, sourceY, SRCCOPY);
}

COLORREF Skin::ColourAt(int x, int y) const {
  if (!surface_ || !bitmap_) return RGB(0, 0, 0);
  return GetPixel(surface_.get(), ZoomUp(x, zoom_), ZoomUp(y, zoom_));
}

}  // namespace kestrun::skin
