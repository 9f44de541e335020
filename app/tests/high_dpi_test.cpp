// The skinned face at the zoom of the screen's DPI, as the user sees and works it:
// the program declares itself DPI aware per monitor, the face is the skin enlarged
// nearest-neighbour pixel for pixel, a drag of the seek knob with the real pointer
// seeks to the same fraction at every zoom, and a move to a monitor of another DPI
// (WM_DPICHANGED, sent as the system sends it) draws the face at that DPI's zoom.
// CTest runs this program in the shared prefix (96 DPI) and in one of 192 DPI;
// KESTRUN_EXPECT_DPI names the DPI the prefix was made with.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "platform/dpi_win.h"
#include "platform/testing/real_input_win.h"
#include "resources/menu_ids.h"
#include "resources/resource_ids.h"
#include "settings/settings_conversions.h"
#include "skin/seek_geometry.h"
#include "skin/skin_layout.h"

namespace kestrun::testing {
namespace {

// Per-monitor awareness as GetAwarenessFromDpiAwarenessContext answers it.
constexpr int kPerMonitorAware = 2;

int ExpectedDpi() {
  const char* text = std::getenv("KESTRUN_EXPECT_DPI");
  return text != nullptr ? std::atoi(text) : platform::kDefaultDpi;
}

// The pixels of skin.bmp (0x00RRGGBB), rows top-down.
Picture ReadSkin(const std::string& name) {
  return BitmapFilePicture(BinaryDirectory() + "\\Skin\\" + name + "\\skin.bmp");
}

// Five rounds of the pump by default, as the window settles after a change.
void Pump(int rounds = 5) { PumpFor(static_cast<DWORD>(rounds) * kPumpPollMs); }

RECT ClientSize(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return client;
}

RECT PlacedRect(HWND control, HWND parent) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Sends what the system sends when the window reaches a monitor of dpi: the new DPI
// and a suggested rectangle at the window's place.
void MoveToMonitorOfDpi(HWND window, int dpi) {
  RECT suggested{};
  GetWindowRect(window, &suggested);
  suggested.right = suggested.left + skin::kFaceWidth * dpi / platform::kDefaultDpi;
  suggested.bottom = suggested.top + skin::kFaceHeight * dpi / platform::kDefaultDpi;
  SendMessageA(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump();
}

// How wide the title display shows a fixed text: from its first to its last column
// with a pixel of another colour than the display's background.
int TitleTextWidth() {
  HWND title = GetDlgItem(PlayerWindowTest::main_, IDC_TITLE_DISPLAY);
  SetWindowTextA(title, "Quenfold' Ambrel");
  RedrawWindow(title, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  Pump();
  RECT rect{};
  GetWindowRect(title, &rect);
  const std::vector<DWORD> pixels = ScreenPixels(rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const DWORD background = pixels[static_cast<std::size_t>(height - 1) * width + width - 1];
  int first = width;
  int last = -1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (pixels[static_cast<std::size_t>(y) * width + x] == background) continue;
      first = std::min(first, x);
      last = std::max(last, x);
    }
  }
  return last >= first ? last - first + 1 : 0;
}

class HighDpiTest : public PlayerWindowTest {
 protected:
  void SetUp() override {
    PlayerWindowTest::SetUp();
    ShowDefaultFace();
  }
  void TearDown() override {
    // Every test leaves the face at the zoom of the screen's own DPI.
    MoveToMonitorOfDpi(main_, platform::WindowDpi(main_));
    PlayerWindowTest::TearDown();
  }
  static int Zoom() { return App().skin().zoom(); }

  // Face pixels of the screen that differ from the skin enlarged by zoom: every pixel of
  // the client area outside the controls, and every skinned control against its picture
  // where it stands. Each difference is reported once per area.
  static int FaceDifferences(const Picture& skin, int zoom) {
    RECT client = ClientSize(main_);
    POINT origin{0, 0};
    ClientToScreen(main_, &origin);
    const RECT onScreen{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    const std::vector<DWORD> screen = ScreenPixels(onScreen);
    auto shown = [&](int x, int y) { return screen[static_cast<std::size_t>(y) * client.right + x]; };
    std::vector<RECT> covered;
    for (HWND child = GetWindow(main_, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      if (IsWindowVisible(child)) covered.push_back(PlacedRect(child, main_));
    }
    // The time display paints its 70 x 14 face area beyond its own bounds, with text.
    covered.push_back({skin::kTimeX * zoom, skin::kTimeY * zoom, (skin::kTimeX + skin::kTimeWidth) * zoom,
                       (skin::kTimeY + skin::kTimeHeight) * zoom});
    int different = 0;
    for (int y = 0; y < client.bottom; ++y) {
      for (int x = 0; x < client.right; ++x) {
        bool underControl = false;
        for (const RECT& rect : covered) {
          const POINT point{x, y};
          if (PtInRect(&rect, point)) underControl = true;
        }
        if (!underControl && shown(x, y) != skin.At(x / zoom, y / zoom)) ++different;
      }
    }
    EXPECT_EQ(different, 0) << "face pixels at zoom " << zoom;
    int total = different;
    for (const auto& element : skin::SkinElements()) {
      const RECT placed = PlacedRect(GetDlgItem(main_, element.id), main_);
      int wrong = 0;
      for (int y = 0; y < element.height * zoom; ++y) {
        for (int x = 0; x < element.width * zoom; ++x) {
          if (shown(placed.left + x, placed.top + y) !=
              skin.At(element.normalX + x / zoom, element.normalY + y / zoom)) {
            ++wrong;
          }
        }
      }
      EXPECT_EQ(wrong, 0) << "control " << element.id << " at zoom " << zoom;
      EXPECT_EQ(placed.right - placed.left, element.width * zoom) << element.id;
      EXPECT_EQ(placed.bottom - placed.top, element.height * zoom) << element.id;
      if (element.id != IDC_SEEK_KNOB && element.id != IDC_VOLUME_KNOB) {
        EXPECT_EQ(placed.left, element.x * zoom) << element.id;
        EXPECT_EQ(placed.top, element.y * zoom) << element.id;
      }
      total += wrong;
    }
    return total;
  }

  // Drags the seek knob with the real pointer to window x of the face's track row and
  // lets go; answers the face x the pointer ended on.
  static int DragSeekKnobTo(int windowX) {
    HWND knob = GetDlgItem(main_, IDC_SEEK_KNOB);
    BringToFront(main_);
    Pump();
    const POINT from = CentreOf(knob);
    POINT to{windowX, 0};
    ClientToScreen(main_, &to);
    to.y = from.y;
    SetCursorPos(from.x, from.y);
    Pump();
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    SendInput(1, &input, sizeof(INPUT));
    Pump();
    for (int step = 1; step <= 6; ++step) {
      MoveTo({from.x + (to.x - from.x) * step / 6, to.y});
      Pump(3);
    }
    input.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(1, &input, sizeof(INPUT));
    Pump(10);
    POINT cursor{};
    GetCursorPos(&cursor);
    ScreenToClient(main_, &cursor);
    return skin::ZoomDown(cursor.x, Zoom());
  }

  // Pauses the 3 s tone, drags the knob to the middle of the track with the real pointer
  // and checks the position is the fraction of the face place the pointer ended on.
  static void CheckKnobDragSeeksToTheFaceFraction() {
    OpenAndPlay(MediaPath("tone.wav").c_str());
    ASSERT_EQ(Player().state.load(), playback::kStatePlaying);
    Engine().TogglePause();
    Pump();
    const int zoom = Zoom();
    const int middle = skin::kTrackLeft + skin::kTrackWidth / 2;  // fraction 1/2 at every zoom
    const int faceX = DragSeekKnobTo(middle * zoom + zoom / 2);
    ASSERT_NEAR(faceX, middle, 1) << "the pointer did not reach the track's middle";
    EXPECT_FALSE(Player().seekDrag.load());
    LONGLONG position = 0;
    ASSERT_NE(Session().seeking(), nullptr);
    Session().seeking()->GetCurrentPosition(&position);
    const double expected =
        static_cast<double>(Player().duration) * skin::TrackFraction(skin::ClampToTrack(faceX) - skin::kTrackLeft);
    EXPECT_NEAR(static_cast<double>(position), expected, 1.0e5) << "zoom " << zoom;
    Engine().StopAndClose();
    Pump();
  }
};

TEST_F(HighDpiTest, TheProgramIsPerMonitorAwareAndZoomsForTheScreensDpi) {
  using ThreadContext = HANDLE(WINAPI*)();
  using Awareness = int(WINAPI*)(HANDLE);
  HMODULE user32 = GetModuleHandleA("user32.dll");
  const auto threadContext =
      reinterpret_cast<ThreadContext>(reinterpret_cast<void*>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
  const auto awareness = reinterpret_cast<Awareness>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
  ASSERT_NE(threadContext, nullptr);
  ASSERT_NE(awareness, nullptr);
  EXPECT_EQ(awareness(threadContext()), kPerMonitorAware) << "the manifest's awareness was not taken";

  const int dpi = platform::WindowDpi(main_);
  ASSERT_EQ(dpi, ExpectedDpi()) << "the prefix does not have the DPI this run is for";
  const int zoom = skin::ZoomForDpi(dpi);
  EXPECT_EQ(Zoom(), zoom);
  const RECT client = ClientSize(main_);
  EXPECT_EQ(client.right, skin::kFaceWidth * zoom);
  EXPECT_EQ(client.bottom, skin::kFaceHeight * zoom);
  // The saved volume (a level, not a pixel) puts the knob at its face place times the zoom.
  const RECT volume = PlacedRect(GetDlgItem(main_, IDC_VOLUME_KNOB), main_);
  EXPECT_EQ(volume.top, settings::VolumeKnobY(App().settings().storedVolume) * zoom);
}

TEST_F(HighDpiTest, FaceIsTheSkinEnlargedPixelForPixel) {
  const Picture skin = ReadSkin("default");
  ASSERT_GT(skin.width, 0);
  FaceDifferences(skin, Zoom());
  // Another skin is enlarged as well, not painted from the small picture.
  const Picture sakura = ReadSkin("sakura");
  ASSERT_GT(sakura.width, 0);
  ASSERT_TRUE(App().LoadSkin("sakura"));
  RedrawWindow(main_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump();
  FaceDifferences(sakura, Zoom());
  App().LoadSkin("default");
}

TEST_F(HighDpiTest, KnobDraggedWithTheRealPointerSeeksToTheSameFractionAtEveryZoom) {
  CheckKnobDragSeeksToTheFaceFraction();
  // At 96 DPI the window is taken to a monitor of 192 DPI for the same drag at 2x.
  if (Zoom() == 1) {
    MoveToMonitorOfDpi(main_, 192);
    ASSERT_EQ(Zoom(), 2);
    CheckKnobDragSeeksToTheFaceFraction();
  }
}

TEST_F(HighDpiTest, AMoveToAMonitorOfAnotherDpiRezoomsTheFaceAndKeepsTheKnobsPlaces) {
  const Picture skin = ReadSkin("default");
  ASSERT_GT(skin.width, 0);
  const int startZoom = Zoom();
  const RECT volumeBefore = PlacedRect(GetDlgItem(main_, IDC_VOLUME_KNOB), main_);
  const int titleWidthBefore = TitleTextWidth();
  ASSERT_GT(titleWidthBefore, 20);
  struct Case {
    int dpi;
    int zoom;
  };
  // 120 DPI keeps the face at 1x: between the thresholds the size is the zoom's, not
  // the DPI's proportion that the system suggests.
  for (const Case c : {Case{192, 2}, Case{120, 1}, Case{288, 3}, Case{96, 1}, Case{144, 2}}) {
    MoveToMonitorOfDpi(main_, c.dpi);
    ASSERT_EQ(Zoom(), c.zoom) << c.dpi;
    const RECT client = ClientSize(main_);
    EXPECT_EQ(client.right, skin::kFaceWidth * c.zoom) << c.dpi;
    EXPECT_EQ(client.bottom, skin::kFaceHeight * c.zoom) << c.dpi;
    RECT window{};
    GetWindowRect(main_, &window);
    EXPECT_EQ(window.left, 20) << "the suggested place is taken";
    const RECT volume = PlacedRect(GetDlgItem(main_, IDC_VOLUME_KNOB), main_);
    EXPECT_EQ(volume.top, volumeBefore.top / startZoom * c.zoom) << "the volume knob keeps its face place";
    EXPECT_EQ(FaceDifferences(skin, c.zoom), 0) << c.dpi;
    // The title's text grows with the face (within a tenth: fonts of other sizes are
    // drawn from their outlines, not enlarged).
    const double expectedWidth = static_cast<double>(titleWidthBefore) / startZoom * c.zoom;
    EXPECT_NEAR(TitleTextWidth(), expectedWidth, expectedWidth / 10) << c.dpi;
  }
}

TEST_F(HighDpiTest, TheVideoViewHangsUnderTheZoomedFaceAndZoomsInVideoPixels) {
  if (Zoom() == 1) MoveToMonitorOfDpi(main_, 192);
  const int zoom = Zoom();
  ASSERT_GT(zoom, 1);
  OpenAndPlay(MediaPath("video320.avi").c_str());
  ASSERT_EQ(Player().state.load(), playback::kStatePlaying);
  ASSERT_FALSE(Player().audioOnly);
  HWND view = App().videoView().window();
  Pump();
  // Moving the view takes the main window along, its whole face above the view.
  SetWindowPos(view, nullptr, 100, 400, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  Pump();
  RECT main{};
  GetWindowRect(main_, &main);
  EXPECT_EQ(main.left, 100);
  EXPECT_EQ(main.top, 400 - skin::kFaceHeight * zoom);
  EXPECT_EQ(main.bottom, 400);
  // Its zoom steps stay in the video's own pixels whatever the face's zoom.
  SendMessageA(view, WM_COMMAND, IDM_VIEW_ZOOM_200, 0);
  EXPECT_EQ(ClientSize(view).right, 640);
  EXPECT_EQ(ClientSize(view).bottom, 480);
  SendMessageA(view, WM_COMMAND, IDM_VIEW_ZOOM_100, 0);
  EXPECT_EQ(ClientSize(view).right, 320);
  EXPECT_EQ(ClientSize(view).bottom, 240);
  Engine().StopAndClose();
  SetWindowPos(main_, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
}

TEST_F(HighDpiTest, PlaylistColumnsAreAsWideAsAt96DpiTimesTheScale) {
  HWND list = App().playlist().list();
  ASSERT_NE(list, nullptr);
  const int dpi = platform::WindowDpi(App().playlist().window());
  ASSERT_EQ(dpi, ExpectedDpi());
  // File name, title, artist, length at 96 DPI.
  const int widths[] = {200, 100, 90, 60};
  for (int column = 0; column < 4; ++column) {
    EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0), widths[column] * dpi / platform::kDefaultDpi)
        << "column " << column;
  }
}

TEST_F(HighDpiTest, PlaylistColumnsKeepTheirShareOnAMonitorOfAnotherDpi) {
  HWND playlist = App().playlist().window();
  HWND list = App().playlist().list();
  ASSERT_NE(list, nullptr);
  const int dpi = platform::WindowDpi(playlist);
  // A width the user set counts as much as the built-in ones.
  SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, 150 * dpi / platform::kDefaultDpi);
  std::vector<LRESULT> before;
  for (int column = 0; column < 4; ++column) before.push_back(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
  RECT suggested{};
  GetWindowRect(playlist, &suggested);
  SendMessageA(playlist, WM_DPICHANGED, MAKEWPARAM(dpi * 2, dpi * 2), reinterpret_cast<LPARAM>(&suggested));
  for (int column = 0; column < 4; ++column) {
    EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0), before[column] * 2) << "column " << column;
  }
  SendMessageA(playlist, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  for (int column = 0; column < 4; ++column) {
    EXPECT_EQ(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0), before[column]) << "column " << column;
  }
  SendMessageA(list, LVM_SETCOLUMNWIDTH, 1, 100 * dpi / platform::kDefaultDpi);
}

}  // namespace
}  // namespace kestrun::testing
