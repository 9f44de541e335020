// What both shipped binaries carry for Windows: one version from the build, and their
// manifests (the player's with common controls 6 and its DPI choice).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kestrun_version.h"

namespace {

std::string BinaryFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\'));
}

// The fixed file version of a binary as "a.b.c.d"; empty when it has none.
std::string FileVersion(const std::string& path) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<char> info(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data())) return {};
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr) return {};
  return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." + std::to_string(LOWORD(fixed->dwFileVersionLS));
}

// The text of a binary's manifest resource; empty when there is none.
std::string Manifest(const std::string& path, int id) {
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (module == nullptr) return {};
  std::string text;
  if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(24))) {
    if (HGLOBAL data = LoadResource(module, found)) {
      text.assign(static_cast<const char*>(LockResource(data)), SizeofResource(module, found));
    }
  }
  FreeLibrary(module);
  return text;
}

// The colour bits of an icon drawn at 32 x 32, to tell two icons apart.
std::vector<BYTE> IconPixels(HICON icon) {
  std::vector<BYTE> pixels(32 * 32 * 4);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, 32, 32);
  HGDIOBJ old = SelectObject(dc, bitmap);
  RECT all = {0, 0, 32, 32};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL);
  SelectObject(dc, old);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = 32;
  info.bmiHeader.biHeight = 32;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  GetDIBits(dc, bitmap, 0, 32, pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return pixels;
}

TEST(ReleaseResources, BothBinariesCarryTheBuildsOneVersion) {
  const std::string expected = KESTRUN_VERSION_TEXT;
  EXPECT_EQ(FileVersion(BinaryFolder() + "\\Kestrun.exe"), expected);
  EXPECT_EQ(FileVersion(BinaryFolder() + "\\Equalizer.ax"), expected);
}

TEST(ReleaseResources, ManifestsCarryTheSameVersionAsTheVersionResources) {
  const std::string identity = std::string("version=\"") + KESTRUN_VERSION_TEXT + "\"";
  EXPECT_NE(Manifest(BinaryFolder() + "\\Kestrun.exe", 1).find(identity), std::string::npos) << identity;
  EXPECT_NE(Manifest(BinaryFolder() + "\\Equalizer.ax", 2).find(identity), std::string::npos) << identity;
}

// Associated files show the program's icon 1 (",1" in each class's DefaultIcon): it
// must exist, and be another picture than the program's own.
TEST(ReleaseResources, ProgramCarriesTheDocumentIconAsItsSecondIcon) {
  const std::string exe = BinaryFolder() + "\\Kestrun.exe";
  EXPECT_EQ(ExtractIconExA(exe.c_str(), -1, nullptr, nullptr, 0), 2u);
  HICON program = nullptr;
  HICON document = nullptr;
  ASSERT_EQ(ExtractIconExA(exe.c_str(), 0, &program, nullptr, 1), 1u);
  ASSERT_EQ(ExtractIconExA(exe.c_str(), 1, &document, nullptr, 1), 1u);
  ASSERT_NE(program, nullptr);
  ASSERT_NE(document, nullptr);
  EXPECT_NE(IconPixels(program), IconPixels(document)) << "index 1 is not the program icon again";
  // Index 0 stays the program's own icon, which the window and the tray show.
  HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  HICON named = static_cast<HICON>(LoadImageA(module, "MY_ICON", IMAGE_ICON, 32, 32, 0));
  EXPECT_EQ(IconPixels(named), IconPixels(program));
  DestroyIcon(named);
  FreeLibrary(module);
  DestroyIcon(program);
  DestroyIcon(document);
}

TEST(ReleaseResources, ManifestsDeclareWhatEachBinaryNeeds) {
  const std::string player = Manifest(BinaryFolder() + "\\Kestrun.exe", 1);
  ASSERT_FALSE(player.empty()) << "Kestrun.exe has no application manifest";
  EXPECT_NE(player.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(player.find("<dpiAware"), std::string::npos) << "the DPI choice must be explicit";
  // Per monitor (v2), with per-monitor and system-wide awareness for older systems;
  // an unaware program is stretched as a blurred bitmap on a scaled screen.
  EXPECT_NE(player.find(">true/pm</dpiAware>"), std::string::npos);
  EXPECT_NE(player.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
  EXPECT_NE(player.find("asInvoker"), std::string::npos);
  EXPECT_NE(player.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);
  const std::string filter = Manifest(BinaryFolder() + "\\Equalizer.ax", 2);
  ASSERT_FALSE(filter.empty()) << "Equalizer.ax has no manifest";
  EXPECT_NE(filter.find("QuenfoldSoft.Equalizer"), std::string::npos);
}

}  // namespace
