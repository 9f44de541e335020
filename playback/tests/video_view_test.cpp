// The video view with real video graphs under a window standing for the main one:
// the video surface between and during graphs, sizes by zoom and aspect, full screen
// and back, one-second and frame steps, closing, and frame capture compared with
// ffmpeg's decode of the same frame.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "playback/frame_file.h"
#include "playback/tests/session_fixture_win.h"
#include "playback/tests/video_view_files_win.h"
#include "playback/video_view_win.h"
#include "resources/menu_ids.h"

namespace kestrun::testing {
namespace {

std::uint32_t Read32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
  return value;
}

class VideoViewTest : public SessionTest {
 protected:
  // The view is made once and wired as the player wires it, with the fixture's
  // event window in the main window's place and the title display's texts kept.
  static void SetUpTestSuite() {
    SessionTest::SetUpTestSuite();
    if (view_ != nullptr) return;
    view_ = new playback::VideoViewWindow(Engine(), Session(), Session(), TestProgramDirectory());
    playback::VideoViewHost host;
    host.mainWindow = [] { return EventWindow(); };
    host.mainTopmost = [] { return false; };
    host.showTitleText = [](const std::string& text) { titleText_ = text; };
    view_->SetHost(std::move(host));
    view_->Create(GetModuleHandleA(nullptr), &Player().router);
    Player().video = view_->window();
    Session().SetVideoStartedHook([] { view_->ApplyZoomSetting(); });
  }
  void SetUp() override {
    SessionTest::SetUp();
    RemoveFrameFiles();
    titleText_.clear();
  }
  void TearDown() override {
    SessionTest::TearDown();
    RemoveFrameFiles();
    if (!Engine().options().useCapture) View().ToggleCapture();
  }
  static playback::VideoViewWindow& View() { return *view_; }
  // What the main window's title display was given last.
  static std::string TitleDisplay() { return titleText_; }
  static HWND ViewWindow() { return View().window(); }
  static void Command(int id) { SendMessageA(ViewWindow(), WM_COMMAND, id, 0); }
  static void Key(WPARAM key) { SendMessageA(ViewWindow(), WM_KEYDOWN, key, 0); }
  static void PlayVideo(const char* name) {
    OpenAndPlay(TestMediaPath(name));
    ASSERT_EQ(State().state.load(), playback::kStatePlaying) << name;
    ASSERT_FALSE(State().audioOnly) << name;
  }
  // The video renderer's rectangle inside the view.
  static RECT VideoRect() {
    long left = 0, top = 0, width = 0, height = 0;
    Session().interfacesForTests().videoWindow->GetWindowPosition(&left, &top, &width, &height);
    return RECT{left, top, left + width, top + height};
  }
  static std::int64_t Position() {
    std::int64_t position = -1;
    Session().CurrentPosition(position);
    return position;
  }
  // Compares a captured bottom-up frame with ffmpeg's top-down decode: the mean
  // difference per byte and the share of bytes far off.
  static void ExpectPixelsMatch(const std::string& file, const std::string& reference, int width, int height,
                                double meanLimit) {
    const std::size_t stride = playback::FrameRowBytes(width);
    ASSERT_EQ(reference.size(), static_cast<std::size_t>(width) * 3 * height);
    ASSERT_EQ(file.size(), 54 + stride * height);
    double total = 0;
    std::size_t farOff = 0;
    for (int row = 0; row < height; ++row) {
      const char* captured = file.data() + 54 + stride * (height - 1 - row);
      const char* decoded = reference.data() + static_cast<std::size_t>(width) * 3 * row;
      for (int i = 0; i < width * 3; ++i) {
        const int difference =
            std::abs(static_cast<int>(static_cast<std::uint8_t>(captured[i])) - static_cast<std::uint8_t>(decoded[i]));
        total += difference;
        if (difference > 48) ++farOff;
      }
    }
    const double bytes = static_cast<double>(width) * 3 * height;
    EXPECT_LE(total / bytes, meanLimit);
    EXPECT_LE(static_cast<double>(farOff) / bytes, 0.01);
  }

  static inline playback::VideoViewWindow* view_ = nullptr;
  static inline std::string titleText_;
};

// The video surface the view draws through: between graphs every operation answers

// nothing and touches nothing (a stale or null interface would crash the view's keys

// after a close); during a video it gives the video's own size, not the window's or

// a swapped one, places the renderer where asked, and reports the view as the drain.

TEST_F(VideoViewTest, SurfaceIsInertBetweenGraphsAndAnswersForTheVideoDuringOne) {
  playback::VideoSurface& surface = Session();
  Engine().StopAndClose();
  EXPECT_FALSE(surface.NativeVideoSize());
  EXPECT_FALSE(surface.HasVideoWindow());
  EXPECT_FALSE(surface.HasVideo());
  EXPECT_FALSE(surface.FullScreen());
  EXPECT_EQ(surface.MessageDrain(), nullptr);
  EXPECT_FALSE(surface.PlaceVideo(100, 50));
  EXPECT_FALSE(surface.CanStepFrames());
  EXPECT_FALSE(surface.StepOneFrame());
  EXPECT_FALSE(surface.HasFrameGrabber());
  playback::GrabbedFrame frame;
  EXPECT_EQ(surface.GrabFrame(frame), E_POINTER);
  EXPECT_TRUE(frame.pixels.empty());
  surface.SetFullScreen(true);
  surface.SetMessageDrain(EventWindow());
  surface.BringVideoToFront();
  EXPECT_TRUE(Session().Filters().empty()) << "no filter of the last graph is kept";

  PlayVideo("video322.avi");
  const auto size = surface.NativeVideoSize();
  ASSERT_TRUE(size);
  EXPECT_EQ(size->cx, 322);
  EXPECT_EQ(size->cy, 240);
  EXPECT_TRUE(surface.HasVideo());
  EXPECT_EQ(surface.MessageDrain(), ViewWindow());
  ASSERT_TRUE(surface.FullScreen());
  EXPECT_FALSE(*surface.FullScreen());
  EXPECT_TRUE(surface.PlaceVideo(100, 50));
  // Sizes only: the renderer's origin is reported in screen coordinates under Wine.
  const RECT placed = VideoRect();
  EXPECT_EQ(placed.right - placed.left, 100);
  EXPECT_EQ(placed.bottom - placed.top, 50);
  Command(IDM_VIEW_ZOOM_100);
  const RECT fitted = VideoRect();
  EXPECT_EQ(fitted.right - fitted.left, 322) << "the view fits the renderer to itself again";
  EXPECT_EQ(fitted.bottom - fitted.top, 240);
}

TEST_F(VideoViewTest, ZoomAndAspectSizeTheClientAreaAndTheVideoFollows) {
  PlayVideo("video322.avi");
  struct Case {
    int command;
    SIZE client;
    int setting;
  };
  const Case cases[] = {
      {IDM_VIEW_ZOOM_50, {161, 120}, playback::kZoomHalf},
      {IDM_VIEW_ZOOM_200, {644, 480}, playback::kZoomDouble},
      {IDM_VIEW_ZOOM_100, {322, 240}, playback::kZoomNormal},
      // Aspect keeps the width and sets the height.
      {IDM_VIEW_ASPECT_16_9, {322, 181}, playback::kZoomNormal},
      {IDM_VIEW_ASPECT_4_3, {322, 241}, playback::kZoomNormal},
  };
  for (const auto& c : cases) {
    Command(c.command);
    const SIZE client = ClientSize(ViewWindow());
    EXPECT_EQ(client.cx, c.client.cx) << c.command;
    EXPECT_EQ(client.cy, c.client.cy) << c.command;
    EXPECT_EQ(View().zoomSetting(), c.setting) << c.command;
    const RECT video = VideoRect();
    EXPECT_EQ(video.right - video.left, c.client.cx) << c.command;
    EXPECT_EQ(video.bottom - video.top, c.client.cy) << c.command;
  }
  // The keys reach the same commands.
  Key('3');
  EXPECT_EQ(ClientSize(ViewWindow()).cx, 644);
  Key('1');
  EXPECT_EQ(ClientSize(ViewWindow()).cx, 161);
  Key('2');
  EXPECT_EQ(ClientSize(ViewWindow()).cy, 240);
  // The next video is sized by the setting left by the last zoom.
  Command(IDM_VIEW_ZOOM_50);
  PlayVideo("video320.avi");
  EXPECT_EQ(ClientSize(ViewWindow()).cx, 160);
  EXPECT_EQ(ClientSize(ViewWindow()).cy, 120);
  Command(IDM_VIEW_ZOOM_100);
}

TEST_F(VideoViewTest, FullScreenAndBackRestoresThePlacementAndCarriesToTheNextVideo) {
  PlayVideo("video320.avi");
  Command(IDM_VIEW_ZOOM_200);
  const RECT before = WindowRect(ViewWindow());
  long mode = OAFALSE;

  Key('F');
  EXPECT_TRUE(View().fullScreen());
  EXPECT_EQ(View().zoomSetting(), playback::kZoomFullScreen);
  EXPECT_FALSE(IsWindowVisible(ViewWindow()));
  ASSERT_HRESULT_SUCCEEDED(Session().interfacesForTests().videoWindow->get_FullScreenMode(&mode));
  EXPECT_EQ(mode, OATRUE);

  // A new video starts in full screen too.
  PlayVideo("video322.avi");
  ASSERT_HRESULT_SUCCEEDED(Session().interfacesForTests().videoWindow->get_FullScreenMode(&mode));
  EXPECT_EQ(mode, OATRUE);

  Key(VK_ESCAPE);
  EXPECT_FALSE(View().fullScreen());
  EXPECT_EQ(View().zoomSetting(), playback::kZoomNormal);
  ASSERT_HRESULT_SUCCEEDED(Session().interfacesForTests().videoWindow->get_FullScreenMode(&mode));
  EXPECT_EQ(mode, OAFALSE);
  EXPECT_TRUE(IsWindowVisible(ViewWindow()));
  const RECT after = WindowRect(ViewWindow());
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
  Command(IDM_VIEW_ZOOM_100);
}

TEST_F(VideoViewTest, SecondStepsStopAtTheStartAndAtTheEnd) {
  PlayVideo("video320.avi");
  Engine().TogglePause();
  ASSERT_EQ(State().state.load(), playback::kStatePaused);
  const std::int64_t duration = State().duration;
  ASSERT_GT(duration, 2 * playback::kOneSecond);

  ASSERT_TRUE(Session().SeekTo(playback::kOneSecond / 2, false));
  Key(VK_LEFT);
  EXPECT_EQ(Position(), 0);

  ASSERT_TRUE(Session().SeekTo(duration - playback::kOneSecond / 2, false));
  Key(VK_RIGHT);
  EXPECT_EQ(Position(), duration);

  ASSERT_TRUE(Session().SeekTo(playback::kOneSecond, false));
  Key(VK_RIGHT);
  EXPECT_EQ(Position(), 2 * playback::kOneSecond);
  Key(VK_LEFT);
  EXPECT_EQ(Position(), playback::kOneSecond);

  // Space and H pause and resume.
  Key(VK_SPACE);
  EXPECT_EQ(State().state.load(), playback::kStatePlaying);
  Key('H');
  EXPECT_EQ(State().state.load(), playback::kStatePaused);
}

TEST_F(VideoViewTest, FrameStepIsSilentUntilTheKeyIsReleased) {
  PlayVideo("video320.avi");
  Engine().SetVolume(-1500);
  // Ctrl held: a frame step instead of a seek.
  BYTE keys[256] = {};
  GetKeyboardState(keys);
  keys[VK_CONTROL] = 0x80;
  SetKeyboardState(keys);
  const std::int64_t before = Position();
  Key(VK_RIGHT);
  keys[VK_CONTROL] = 0;
  SetKeyboardState(keys);
  // A video without sound has no volume to read; the step is still checked below.
  long volume = 0;
  IBasicAudio* audio = Session().interfacesForTests().basicAudio;
  if (audio != nullptr && SUCCEEDED(audio->get_Volume(&volume))) {
    EXPECT_EQ(volume, playback::kSilentVolume);
    SendMessageA(ViewWindow(), WM_KEYUP, VK_RIGHT, 0);
    Session().interfacesForTests().basicAudio->get_Volume(&volume);
    EXPECT_EQ(volume, -1500);
  }
  // No one-second jump happened.
  EXPECT_LT(Position() - before, playback::kOneSecond / 2);
  Engine().SetVolume(0);
}

TEST_F(VideoViewTest, CloseEndsPlaybackAndHidesTheView) {
  PlayVideo("video320.avi");
  Key('E');
  EXPECT_FALSE(IsWindowVisible(ViewWindow()));
  EXPECT_EQ(State().state.load(), playback::kStateClosed);
  EXPECT_FALSE(Session().HasGraph());
}

TEST_F(VideoViewTest, CaptureWritesTheFrameAsDecodedAndEndsPlayback) {
  struct Case {
    const char* video;
    const char* reference;
    int width;
    double meanLimit;  // uncompressed frames match exactly; decoders of JPEG differ a little
  };
  const Case cases[] = {{"video320.avi", "video320.bgr", 320, 0.0}, {"video322.avi", "video322.bgr", 322, 6.0}};
  // The counter goes on from earlier captures of this run.
  int number = View().captureCounter();
  const int first = number;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.video);
    PlayVideo(c.video);
    ASSERT_TRUE(Session().HasFrameGrabber());
    Key('C');
    const std::string name = FrameFile(number++);
    EXPECT_EQ(TitleDisplay(), "キャプチャー成功 " + name);
    EXPECT_EQ(State().state.load(), playback::kStateClosed);
    EXPECT_FALSE(IsWindowVisible(ViewWindow()));
    const std::string file = ReadFileBytes(name);
    const std::size_t stride = playback::FrameRowBytes(c.width);
    EXPECT_EQ(stride, c.width == 322 ? 968u : 960u);
    ASSERT_EQ(file.size(), 54 + stride * 240);
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(Read32(file, 2), file.size());
    EXPECT_EQ(Read32(file, 10), 54u);
    EXPECT_EQ(Read32(file, 14), 40u);
    EXPECT_EQ(Read32(file, 18), static_cast<std::uint32_t>(c.width));
    EXPECT_EQ(Read32(file, 22), 240u);
    ExpectPixelsMatch(file, ReadFileBytes(TestMediaPath(c.reference)), c.width, 240, c.meanLimit);
  }
  EXPECT_EQ(View().captureCounter(), first + 2);
}

TEST_F(VideoViewTest, CaptureSwitchActsOnLaterGraphsOnly) {
  const int first = View().captureCounter();
  PlayVideo("video320.avi");
  Command(IDM_USE_CAPTURE);
  EXPECT_FALSE(Engine().options().useCapture);
  // This graph was built with the grabber and still captures.
  Command(IDM_VIEW_CAPTURE);
  EXPECT_EQ(TitleDisplay(), "キャプチャー成功 " + FrameFile(first));
  PlayVideo("video320.avi");
  EXPECT_FALSE(Session().HasFrameGrabber());
  Command(IDM_VIEW_CAPTURE);
  EXPECT_EQ(TitleDisplay(), "キャプチャー失敗");
  EXPECT_EQ(State().state.load(), playback::kStateClosed);
  EXPECT_FALSE(std::ifstream(FrameFile(first + 1)).good());
  EXPECT_EQ(View().captureCounter(), first + 1);
  Command(IDM_USE_CAPTURE);
  EXPECT_TRUE(Engine().options().useCapture);
}

}  // namespace
}  // namespace kestrun::testing
