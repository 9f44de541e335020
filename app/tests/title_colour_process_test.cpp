// The title display of a real Kestrun.exe as the screen shows it: with a skin whose
// colours cannot be mistaken (pure red or pure green text on a pure blue well), the
// title's pixels carry the skin's text colour at start-up (the skin chosen last time)
// and after a skin is chosen from the menu with the real mouse and keyboard, and no
// pixel ever shows the text as selected (the well's colour inverted).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/tests/kestrun_process.h"
#include "platform/testing/real_input_win.h"
#include "platform/testing/registry_value_win.h"
#include "resources/resource_ids.h"
#include "skin/skin_layout.h"

namespace kestrun::testing {
namespace {

constexpr char kPlayerKey[] = "Software\\QuenfoldSoft\\Tovrin\\Player";
constexpr char kSkinNameValue[] = "SkinName";
constexpr COLORREF kWell = RGB(0, 0, 255);
constexpr COLORREF kWellInverted = RGB(255, 255, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr char kRedSkin[] = "title-colour-red";
constexpr char kGreenSkin[] = "title-colour-green";

std::string SkinFolder(const std::string& name) { return BinaryDirectory() + "\\Skin\\" + name; }

// A copy of the default skin with its title well painted kWell and the title text
// colour given in color.txt.
bool MakeSkin(const std::string& name, COLORREF text) {
  std::ifstream in(SkinFolder("default") + "\\skin.bmp", std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)) return false;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER info{};
  std::memcpy(&file, bytes.data(), sizeof file);
  std::memcpy(&info, bytes.data() + sizeof file, sizeof info);
  if (info.biBitCount != 24 || info.biHeight <= 0) return false;  // as the skin script draws them
  const size_t stride = (static_cast<size_t>(info.biWidth) * 3 + 3) & ~size_t{3};
  if (file.bfOffBits + stride * info.biHeight > bytes.size()) return false;
  for (int y = skin::kTitleY - 2; y < skin::kTitleY + skin::kTitleHeight + 2; ++y) {
    for (int x = skin::kTitleX - 2; x < skin::kTitleX + skin::kTitleWidth + 2; ++x) {
      char* pixel = bytes.data() + file.bfOffBits + stride * (info.biHeight - 1 - y) + x * 3;
      pixel[0] = static_cast<char>(GetBValue(kWell));
      pixel[1] = static_cast<char>(GetGValue(kWell));
      pixel[2] = static_cast<char>(GetRValue(kWell));
    }
  }
  const std::string folder = SkinFolder(name);
  CreateDirectoryA(folder.c_str(), nullptr);
  std::ofstream(folder + "\\skin.bmp", std::ios::binary)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  std::ofstream(folder + "\\color.txt") << "[TEXT]\r\nRED=" << int{GetRValue(text)}
                                        << "\r\nGREEN=" << int{GetGValue(text)} << "\r\nBLUE=" << int{GetBValue(text)}
                                        << "\r\n";
  return true;
}

void RemoveSkin(const std::string& name) {
  const std::string folder = SkinFolder(name);
  DeleteFileA((folder + "\\skin.bmp").c_str());
  DeleteFileA((folder + "\\color.txt").c_str());
  RemoveDirectoryA(folder.c_str());
}

std::optional<std::string> StoredSkinName() { return ReadRegistryText(HKEY_CURRENT_USER, kPlayerKey, kSkinNameValue); }

void StoreSkinName(const std::string& name) {
  ASSERT_TRUE(WriteRegistryText(HKEY_CURRENT_USER, kPlayerKey, kSkinNameValue, name));
}

// What the screen shows of a window, as 0x00BBGGRR values.
std::vector<COLORREF> ScreenPixels(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  std::vector<COLORREF> pixels;
  for (DWORD rgb : kestrun::testing::ScreenPixels(rect)) {
    pixels.push_back(RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
  }
  return pixels;
}

struct TitlePixels {
  int text = 0;  // the skin's text colour, or mostly it where smoothed over the well
  int well = 0;  // exactly the well's colour
  // Columns holding the well's colour inverted: the caret makes one or two, text
  // shown as selected makes as many as the text is wide.
  int selected = 0;
  int total = 0;
};

// Text drawn smoothed over the well: nearer to the text's colour than to the well,
// to black (the control's own text colour), to white and to the well inverted.
int Distance(COLORREF a, COLORREF b) {
  const int r = GetRValue(a) - GetRValue(b);
  const int g = GetGValue(a) - GetGValue(b);
  const int bl = GetBValue(a) - GetBValue(b);
  return r * r + g * g + bl * bl;
}

bool IsTextPixel(COLORREF pixel, COLORREF text) {
  const int toText = Distance(pixel, text);
  for (COLORREF other : {kWell, RGB(0, 0, 0), RGB(255, 255, 255), kWellInverted}) {
    if (Distance(pixel, other) <= toText) return false;
  }
  return true;
}

TitlePixels CountTitlePixels(HWND title, COLORREF text) {
  TitlePixels counts;
  RECT rect{};
  GetWindowRect(title, &rect);
  const int width = rect.right - rect.left;
  const std::vector<COLORREF> pixels = ScreenPixels(title);
  std::vector<bool> invertedColumn(static_cast<size_t>(width > 0 ? width : 0), false);
  for (size_t i = 0; i < pixels.size(); ++i) {
    ++counts.total;
    if (IsTextPixel(pixels[i], text)) ++counts.text;
    if (pixels[i] == kWell) ++counts.well;
    if (pixels[i] == kWellInverted) invertedColumn[i % width] = true;
  }
  for (bool inverted : invertedColumn) counts.selected += inverted ? 1 : 0;
  return counts;
}

// At most the caret: one or two columns.
constexpr int kCaretColumns = 2;

void SendKey(WORD key) {
  PressKey(key);
  Sleep(150);
}

// Where the player lists a skin in its menu: the folders of "Skin" in the order
// the file system gives them, as the player reads them.
int SkinMenuIndex(const std::string& name) {
  WIN32_FIND_DATAA entry{};
  HANDLE search = FindFirstFileA((BinaryDirectory() + "\\Skin\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return -1;
  int index = 0;
  int found = -1;
  do {
    if (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0) continue;
    if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (name == entry.cFileName) found = index;
    ++index;
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return found;
}

class TitleColour : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(MakeSkin(kRedSkin, kRed));
    ASSERT_TRUE(MakeSkin(kGreenSkin, kGreen));
  }
  void TearDown() override {
    player_.reset();
    RemoveSkin(kRedSkin);
    RemoveSkin(kGreenSkin);
  }

  // The player's stored settings, put back after the test: its close saves them all,
  // and the test moves the volume knob and chooses a skin.
  ScopedRegistryKey saved_{HKEY_CURRENT_USER, kPlayerKey};
  std::unique_ptr<KestrunProcess> player_ = std::make_unique<KestrunProcess>();
};

TEST_F(TitleColour, TheSkinsTitleColourShowsAtStartUpAndAfterAMenuSwitchAndIsNeverSelected) {
  StoreSkinName(kRedSkin);
  // Started with a file: its title replaces the text after the skin is loaded.
  // Built piece by piece: GCC 12 warns falsely about "literal" + std::string here.
  ASSERT_TRUE(player_->Start(std::string("\"").append(MediaPath("tone.wav")).append("\"")));
  ASSERT_TRUE(player_->WaitForMainWindow());
  HWND main = player_->mainWindow();
  HWND title = GetDlgItem(main, IDC_TITLE_DISPLAY);
  ASSERT_NE(title, nullptr);
  SetWindowPos(main, HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  SetForegroundWindow(main);

  // Chosen last time: the title is red on the blue well from the first screen on.
  ASSERT_TRUE(WaitUntil([&] { return player_->TitleText() == "tone.wav"; }, 20000)) << player_->TitleText();
  TitlePixels counts{};
  WaitUntil([&] { return (counts = CountTitlePixels(title, kRed)).text > 0; }, 5000);
  EXPECT_GT(counts.text, 10) << "no red title text on the screen";
  EXPECT_GT(counts.well * 2, counts.total) << "the well is not the skin's";
  EXPECT_LE(counts.selected, kCaretColumns) << "the title shows as selected";

  // The green skin from "設定(&T)" > "Skin(&S)", with the real mouse and keyboard.
  const int index = SkinMenuIndex(kGreenSkin);
  ASSERT_GE(index, 0);
  RECT face{};
  GetWindowRect(main, &face);
  RightClickAt({face.left + 150, face.bottom - 4});
  ASSERT_TRUE(WaitUntil(
      [] {
        HWND menu = FindWindowA("#32768", nullptr);
        return menu != nullptr && IsWindowVisible(menu);
      },
      5000))
      << "no pop-up menu after the right click";
  SendKey('T');
  SendKey('S');
  for (int i = 0; i < index; ++i) SendKey(VK_DOWN);
  SendKey(VK_RETURN);

  WaitUntil([&] { return (counts = CountTitlePixels(title, kGreen)).text > 10; }, 10000);
  EXPECT_GT(counts.text, 10) << "no green title text after the switch";
  EXPECT_LT(CountTitlePixels(title, kRed).text * 10, counts.text) << "the old colour stayed";
  EXPECT_GT(counts.well * 2, counts.total);
  EXPECT_LE(counts.selected, kCaretColumns) << "the title shows as selected after the menu";

  // A volume drag with the real mouse gives the focus back to the main window,
  // whose dialog manager hands it on to the title: that selects nothing either.
  HWND volume = GetDlgItem(main, IDC_VOLUME_KNOB);
  ASSERT_NE(volume, nullptr);
  RECT knob{};
  GetWindowRect(volume, &knob);
  DragWithMouse({(knob.left + knob.right) / 2, (knob.top + knob.bottom) / 2}, 0, 6);
  WaitUntil([&] { return (counts = CountTitlePixels(title, kGreen)).selected > kCaretColumns; }, 1500);
  EXPECT_GT(counts.text, 10);
  EXPECT_LE(counts.selected, kCaretColumns) << "the title shows as selected after a volume drag";

  // The main window activated again selects nothing.
  SetForegroundWindow(GetDesktopWindow());
  SetForegroundWindow(main);
  Sleep(300);
  counts = CountTitlePixels(title, kGreen);
  EXPECT_GT(counts.text, 10);
  EXPECT_LE(counts.selected, kCaretColumns) << "the title shows as selected after activation";

  // Dragging the real mouse across the text selects nothing that shows.
  RECT text{};
  GetWindowRect(title, &text);
  DragWithMouse({text.left + 3, (text.top + text.bottom) / 2}, 150, 0);
  counts = CountTitlePixels(title, kGreen);
  EXPECT_GT(counts.text, 10);
  EXPECT_LE(counts.selected, kCaretColumns) << "the title shows as selected after a mouse drag over it";

  EXPECT_EQ(player_->Close(), 0);
  EXPECT_EQ(StoredSkinName().value_or(""), kGreenSkin) << "the chosen skin is the one saved";
}

}  // namespace
}  // namespace kestrun::testing
