// Formats that a stock Windows reads only through Media Foundation (FLAC, AAC and
// ALAC in MPEG-4, Opus in Ogg), played by the player in a Wine prefix whose
// DirectShow has no splitter for them, as on Windows: the player's own source
// filter carries them into the usual graph with the equalizer.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <cstdlib>
#include <string>

#include "app/tests/kestrun_process.h"
#include "app/tests/player_window_fixture.h"
#include "equalizer/filter/tests/com_helpers.h"
#include "equalizer/iequalizer.h"
#include "platform/testing/process_threads_win.h"
#include "platform/testing/temp_dir.h"
#include "playback/filter_list_win.h"
#include "playback/frame_file.h"
#include "playback/media_length_win.h"
#include "playback/mf_source_filter_win.h"

namespace kestrun::testing {
namespace {

using Microsoft::WRL::ComPtr;

constexpr char kSourceName[] = "Media Foundation Source";
constexpr LONGLONG kSecond = 10000000;
// The test tone: 3 s, 440 Hz left, 660 Hz right.
constexpr double kToneLength = 3.0 * kSecond;

const char* const kFormats[] = {"tone.flac", "tone-aac.m4a", "tone-alac.m4a", "tone.opus"};

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

LONGLONG Position() {
  LONGLONG position = -1;
  if (PlayerWindowTest::Session().seeking() == nullptr ||
      FAILED(PlayerWindowTest::Session().seeking()->GetCurrentPosition(&position))) {
    return -1;
  }
  return position;
}

// Without the stock set-up these tests would pass through Wine's own parser and
// prove nothing about the player's source.
TEST(StockFormatsPrefix, DirectShowAloneCannotRenderTheseFormats) {
  platform::ComApartment apartment;
  for (const char* name : {"tone.flac", "tone-aac.m4a"}) {
    SCOPED_TRACE(name);
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph)), S_OK);
    EXPECT_TRUE(FAILED(graph->RenderFile(equalizer::testing::Widen(MediaPath(name)).c_str(), nullptr)))
        << "this prefix still has a DirectShow splitter for the format";
  }
}

// The filter as a graph meets it: its interfaces, a pin only once a file is loaded,
// one load per filter, and no reference left behind.
TEST(MfSourceFilter, AnswersAsASourceAndHasItsPinOnceLoaded) {
  platform::ComApartment apartment;
  ComPtr<IBaseFilter> filter;
  ASSERT_EQ(playback::CreateMfSourceFilter(&filter), S_OK);
  ComPtr<IUnknown> any;
  for (const IID* iid : {&IID_IPersist, &IID_IMediaFilter, &IID_IFileSourceFilter}) {
    EXPECT_EQ(filter->QueryInterface(*iid, reinterpret_cast<void**>(any.ReleaseAndGetAddressOf())), S_OK);
  }
  EXPECT_EQ(filter->QueryInterface(IID_IPin, reinterpret_cast<void**>(any.ReleaseAndGetAddressOf())), E_NOINTERFACE);
  any.Reset();
  ComPtr<IFileSourceFilter> file;
  ASSERT_EQ(filter.As(&file), S_OK);
  EXPECT_FALSE(equalizer::testing::FirstPin(filter.Get(), PINDIR_OUTPUT)) << "no pin before a file";
  EXPECT_TRUE(FAILED(file->Load(equalizer::testing::Widen(MediaPath("junk.xyz")).c_str(), nullptr)));
  LPOLESTR name = nullptr;
  EXPECT_TRUE(FAILED(file->GetCurFile(&name, nullptr)));
  EXPECT_FALSE(equalizer::testing::FirstPin(filter.Get(), PINDIR_OUTPUT)) << "no pin after a refused file";

  const std::wstring flac = equalizer::testing::Widen(MediaPath("tone.flac"));
  ASSERT_EQ(file->Load(flac.c_str(), nullptr), S_OK);
  EXPECT_EQ(file->Load(flac.c_str(), nullptr), E_UNEXPECTED) << "one file per filter";
  ASSERT_EQ(file->GetCurFile(&name, nullptr), S_OK);
  EXPECT_EQ(std::wstring(name), flac);
  CoTaskMemFree(name);

  ComPtr<IPin> pin = equalizer::testing::FirstPin(filter.Get(), PINDIR_OUTPUT);
  ASSERT_TRUE(pin);
  ComPtr<IEnumMediaTypes> types;
  ASSERT_EQ(pin->EnumMediaTypes(&types), S_OK);
  AM_MEDIA_TYPE* type = nullptr;
  ASSERT_EQ(types->Next(1, &type, nullptr), S_OK);
  ASSERT_EQ(type->formattype, FORMAT_WaveFormatEx);
  const auto* format = reinterpret_cast<const WAVEFORMATEX*>(type->pbFormat);
  EXPECT_EQ(format->wFormatTag, WAVE_FORMAT_PCM);
  EXPECT_EQ(format->wBitsPerSample, 16) << "what the equalizer takes";
  EXPECT_EQ(format->nSamplesPerSec, 44100u);
  CoTaskMemFree(type->pbFormat);
  CoTaskMemFree(type);
  EXPECT_EQ(types->Next(1, &type, nullptr), S_FALSE);
  types.Reset();

  ComPtr<IMediaSeeking> seeking;
  ASSERT_EQ(pin.As(&seeking), S_OK);
  LONGLONG duration = 0;
  ASSERT_EQ(seeking->GetDuration(&duration), S_OK);
  EXPECT_NEAR(static_cast<double>(duration), kToneLength, 0.05 * kSecond);
  DWORD wanted = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetDuration;
  EXPECT_EQ(seeking->CheckCapabilities(&wanted), S_OK);
  EXPECT_EQ(seeking->SetTimeFormat(&TIME_FORMAT_SAMPLE), E_INVALIDARG);
  seeking.Reset();
  pin.Reset();
  file.Reset();
  EXPECT_EQ(filter.Reset(), 0u);
}

// A start and a stop position set through the graph before it runs bound what the
// source delivers: a second from the middle of the tone, then the end of the stream.
TEST(MfSourceFilter, PositionsSetThroughTheGraphBoundTheDeliveredSound) {
  platform::ComApartment apartment;
  ComPtr<IBaseFilter> equalizer = equalizer::testing::CreateEqualizer();
  if (!equalizer) GTEST_SKIP() << "Equalizer.ax is not built";
  ComPtr<IBaseFilter> source;
  ASSERT_EQ(playback::CreateMfSourceFilter(&source), S_OK);
  ComPtr<IFileSourceFilter> file;
  ASSERT_EQ(source.As(&file), S_OK);
  ASSERT_EQ(file->Load(equalizer::testing::Widen(MediaPath("tone.flac")).c_str(), nullptr), S_OK);
  equalizer::testing::GrabberGraph graph;
  ASSERT_EQ(graph.BuildFrom(equalizer.Get(), source.Get()), S_OK);
  ComPtr<IMediaSeeking> seeking;
  ASSERT_EQ(graph.graph.As(&seeking), S_OK);
  LONGLONG start = kSecond;
  LONGLONG stop = 2 * kSecond;
  ASSERT_EQ(seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, &stop, AM_SEEKING_AbsolutePositioning), S_OK);
  ASSERT_TRUE(graph.RunToCompletion());
  const double bytes = static_cast<double>(graph.collector.Joined().size());
  EXPECT_NEAR(bytes, 44100.0 * 4, 0.02 * 44100 * 4);
  graph.Release();
}

class StockFormatsTest : public PlayerWindowTest, public ::testing::WithParamInterface<const char*> {
 protected:
  void SetUp() override {
    PlayerWindowTest::SetUp();
    path_ = MediaPath(GetParam());
    if (!Exists(path_)) GTEST_SKIP() << GetParam() << " was not made (no encoder in this ffmpeg)";
  }
  std::string path_;
};

TEST_P(StockFormatsTest, PlaysPausesSeeksAndGoesOnToTheNextRow) {
  playlist::appendRow(*Rows(), path_);
  playlist::appendRow(*Rows(), MediaPath("short.wav"));
  Engine().SetPlayMode(playback::kPlayModeRepeatAll);
  Engine().PlayRow(0, path_);
  ASSERT_EQ(Player().state.load(), playback::kStatePlaying) << WindowText(Main().titleDisplay());
  EXPECT_NEAR(static_cast<double>(Player().duration), kToneLength, 0.1 * kSecond);

  // The player's source, with the equalizer in the decoded path behind it.
  const ComPtr<IBaseFilter> source = playback::FindFilterByName(Session(), kSourceName);
  ASSERT_TRUE(source);
  const ComPtr<IBaseFilter> equalizer = playback::FindFilterByName(Session(), kEqualizerFilterNameAnsi);
  ASSERT_TRUE(equalizer);
  ComPtr<IPin> sourcePin = equalizer::testing::FirstPin(source.Get(), PINDIR_OUTPUT);
  ComPtr<IPin> peer;
  ASSERT_EQ(sourcePin->ConnectedTo(&peer), S_OK);
  PIN_INFO peerInfo{};
  ASSERT_EQ(peer->QueryPinInfo(&peerInfo), S_OK);
  EXPECT_EQ(peerInfo.pFilter, equalizer.Get());
  if (peerInfo.pFilter != nullptr) peerInfo.pFilter->Release();
  EXPECT_TRUE(equalizer::testing::PinConnected(equalizer.Get(), L"Output")) << "the equalizer reaches a renderer";

  // Plays: the position moves on.
  ASSERT_TRUE(WaitUntil([] { return Position() > kSecond / 2; }, 5000)) << Position();

  // Pauses: it stands still.
  Engine().TogglePause();
  ASSERT_EQ(Player().state.load(), playback::kStatePaused);
  WaitUntil([] { return false; }, 300);
  const LONGLONG paused = Position();
  WaitUntil([] { return false; }, 600);
  EXPECT_LE(Position() - paused, kSecond / 10);

  // Seeks back while paused, then runs on from there.
  Engine().SeekToFraction(0.1);
  EXPECT_NEAR(static_cast<double>(Position()), 0.1 * Player().duration, 0.25 * kSecond);
  Engine().TogglePause();
  ASSERT_EQ(Player().state.load(), playback::kStatePlaying);
  EXPECT_TRUE(WaitUntil([] { return Position() > kSecond / 2; }, 5000)) << Position();

  // A seek while running goes near the end, and the end goes on to the next row.
  const unsigned built = Session().graphsBuilt();
  Engine().SeekToFraction(0.8);
  EXPECT_GE(Position(), static_cast<LONGLONG>(0.75 * Player().duration));
  ASSERT_TRUE(WaitUntil(
      [&] { return Session().graphsBuilt() > built && Player().state.load() == playback::kStatePlaying; }, 10000));
  EXPECT_EQ(Player().currentTrackIndex, 1);
  EXPECT_EQ(Player().currentPath, MediaPath("short.wav"));
  EXPECT_FALSE(playback::FindFilterByName(Session(), kSourceName)) << "a WAV keeps its DirectShow graph";
}

// The playlist's length command measures these files too (no graph renders them).
TEST_P(StockFormatsTest, LengthIsMeasuredThroughMediaFoundation) {
  const auto length = playback::MeasureMediaDuration(path_.c_str());
  ASSERT_TRUE(length.has_value());
  EXPECT_NEAR(static_cast<double>(*length), kToneLength, 0.1 * kSecond);
}

// A band raised in the equalizer changes what reaches the renderer from the
// player's source, as it does for a WAV.
TEST_P(StockFormatsTest, RaisedBandChangesTheDecodedSound) {
  IBaseFilter* equalizer = Session().Equalizer();
  if (equalizer == nullptr) GTEST_SKIP() << "Equalizer.ax is not available";
  ComPtr<IEqualizer> control;
  ASSERT_EQ(equalizer->QueryInterface(IID_PPV_ARGS(&control)), S_OK);
  auto measure = [&](int band7) {
    equalizer::BandValues bands = equalizer::FlatBands();
    bands[6] = band7;  // 400 Hz, next to the 440 Hz tone of the left channel
    control->SetBands(bands.data());
    control->EnableEqualizer(TRUE);
    ComPtr<IBaseFilter> source;
    EXPECT_EQ(playback::CreateMfSourceFilter(&source), S_OK);
    ComPtr<IFileSourceFilter> file;
    EXPECT_EQ(source.As(&file), S_OK);
    EXPECT_EQ(file->Load(equalizer::testing::Widen(path_).c_str(), nullptr), S_OK);
    equalizer::testing::GrabberGraph graph;
    const HRESULT built = graph.BuildFrom(equalizer, source.Get());
    EXPECT_EQ(built, S_OK);
    if (FAILED(built)) return 0.0;
    AM_MEDIA_TYPE type{};
    EXPECT_EQ(equalizer::testing::FirstPin(source.Get(), PINDIR_OUTPUT)->ConnectionMediaType(&type), S_OK);
    const auto* format = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
    EXPECT_EQ(format->wBitsPerSample, 16);
    EXPECT_EQ(format->nChannels, 2);
    const double bytesPerSecond = format->nAvgBytesPerSec;
    CoTaskMemFree(type.pbFormat);
    EXPECT_TRUE(graph.RunToCompletion());
    const std::vector<std::uint8_t> pcm = graph.collector.Joined();
    // The whole tone arrives once (an encoder's priming may add a few milliseconds).
    EXPECT_NEAR(static_cast<double>(pcm.size()), 3.0 * bytesPerSecond, 0.05 * bytesPerSecond);
    graph.Release();
    return equalizer::testing::LeftRms(pcm);
  };
  const double flat = measure(24);
  ASSERT_GT(flat, 1000.0);
  const double raised = measure(48);
  EXPECT_GT(raised, flat * 2.0);
  control->ResetBands();
  control->EnableEqualizer(FALSE);
}

INSTANTIATE_TEST_SUITE_P(Formats, StockFormatsTest, ::testing::ValuesIn(kFormats),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (c == '.' || c == '-') c = '_';
                           }
                           return name;
                         });

// An MPEG-4 video (H.264 and AAC): the picture reaches the video view through the
// source's video pin, the graph offers frame steps, and a capture is the test
// pattern as decoded.
class StockVideoTest : public PlayerWindowTest {};

TEST_F(StockVideoTest, Mp4VideoShowsInTheViewAndCaptures) {
  const std::string path = MediaPath("video.mp4");
  if (!Exists(path)) GTEST_SKIP() << "video.mp4 was not made (no H.264 encoder in this ffmpeg)";
  ASSERT_TRUE(Engine().options().useCapture);
  OpenAndPlay(path.c_str());
  ASSERT_EQ(Player().state.load(), playback::kStatePlaying) << WindowText(Main().titleDisplay());
  ASSERT_FALSE(Player().audioOnly);
  ASSERT_TRUE(playback::FindFilterByName(Session(), kSourceName));
  const auto size = Session().NativeVideoSize();
  ASSERT_TRUE(size.has_value());
  EXPECT_EQ(size->cx, 320);
  EXPECT_EQ(size->cy, 240);
  EXPECT_TRUE(IsWindowVisible(App().videoView().window()));
  EXPECT_TRUE(WaitUntil([] { return Position() > kSecond / 2; }, 5000)) << "the sound runs along";

  Engine().TogglePause();
  EXPECT_TRUE(Session().CanStepFrames());

  const int number = App().videoView().captureCounter();
  SendMessageA(App().videoView().window(), WM_KEYDOWN, 'C', 0);
  const std::string name = playback::FrameFileName(BinaryDirectory(), number);
  EXPECT_EQ(WindowText(Main().titleDisplay()), "キャプチャー成功 " + name);
  const std::string bmp = ReadBytes(name);
  DeleteFileA(name.c_str());
  const std::string reference = ReadBytes(MediaPath("video320.bgr"));
  const size_t stride = playback::FrameRowBytes(320);
  ASSERT_EQ(bmp.size(), 54 + stride * 240);
  ASSERT_EQ(reference.size(), 320u * 3 * 240);
  // The captured rows run bottom-up, ffmpeg's top-down; H.264 and the colour
  // conversion leave small differences only.
  double difference = 0;
  for (size_t row = 0; row < 240; ++row) {
    for (size_t i = 0; i < 320 * 3; ++i) {
      difference += std::abs(static_cast<int>(static_cast<std::uint8_t>(bmp[54 + stride * (239 - row) + i])) -
                             static_cast<int>(static_cast<std::uint8_t>(reference[row * 320 * 3 + i])));
    }
  }
  EXPECT_LT(difference / reference.size(), 8.0);
}

// A video without sound: the picture alone carries the stream, its position and
// its end.
TEST_F(StockVideoTest, SilentMp4PlaysToItsEnd) {
  const std::string path = MediaPath("video-silent.mp4");
  if (!Exists(path)) GTEST_SKIP() << "video-silent.mp4 was not made (no H.264 encoder in this ffmpeg)";
  OpenAndPlay(path.c_str());
  ASSERT_EQ(Player().state.load(), playback::kStatePlaying) << WindowText(Main().titleDisplay());
  EXPECT_FALSE(Player().audioOnly);
  EXPECT_NEAR(static_cast<double>(Player().duration), 2.0 * kSecond, 0.2 * kSecond);
  const ComPtr<IBaseFilter> source = playback::FindFilterByName(Session(), kSourceName);
  ASSERT_TRUE(source);
  ComPtr<IPin> audio;
  EXPECT_EQ(source->FindPin(L"Audio", &audio), VFW_E_NOT_FOUND);
  const auto length = playback::MeasureMediaDuration(path.c_str());
  ASSERT_TRUE(length.has_value()) << "the length command measures it too";
  EXPECT_NEAR(static_cast<double>(*length), 2.0 * kSecond, 0.2 * kSecond);
  // The normal play mode closes the player at the end of the stream.
  EXPECT_TRUE(WaitUntil([] { return Player().state.load() == playback::kStateClosed; }, 10000));
}

class StockFormatsBadInputTest : public PlayerWindowTest {};

// Empty, cut short and mislabelled files: the unsupported text, no graph, and no
// thread of the source or of Media Foundation left behind.
TEST_F(StockFormatsBadInputTest, BrokenFilesAreUnsupportedAndLeaveNothingBehind) {
  const std::string flac = ReadBytes(MediaPath("tone.flac"));
  const std::string m4a = ReadBytes(MediaPath("tone-aac.m4a"));
  ASSERT_GT(flac.size(), 4096u);
  ASSERT_GT(m4a.size(), 4096u);
  TempDir dir;
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"empty.flac", ""},
      {"header-only.flac", flac.substr(0, 60)},
      {"cut-before-index.m4a", m4a.substr(0, m4a.size() / 2)},
      {"text.m4a", "This is not an MPEG-4 file at all, only text that says so.\r\n"},
      {"wav-bytes.flac", ReadBytes(MediaPath("junk.xyz"))},
  };
  // One round first: Media Foundation starts its worker threads once per process.
  for (const Case& c : cases) WriteBytes(dir.File(c.name), c.bytes);
  OpenAndPlay(dir.File(cases[0].name).c_str());
  const int threads = ThreadsOfThisProcess();
  for (int round = 0; round < 3; ++round) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      OpenAndPlay(dir.File(c.name).c_str());
      EXPECT_EQ(WindowText(Main().titleDisplay()), "未対応のファイルです");
      EXPECT_FALSE(Session().HasGraph());
      EXPECT_EQ(Player().state.load(), playback::kStateClosed);
    }
  }
  EXPECT_LE(ThreadsOfThisProcess(), threads + 2);
}

// Graph after graph through the source (a long playlist of FLAC files) leaves no
// streaming or decoding thread behind.
TEST_F(StockFormatsBadInputTest, OneGraphAfterAnotherLeavesNoThreadsBehind) {
  const std::string flac = MediaPath("tone.flac");
  OpenAndPlay(flac.c_str());
  ASSERT_EQ(Player().state.load(), playback::kStatePlaying);
  WaitUntil([] { return Position() > kSecond / 10; }, 3000);
  const int threads = ThreadsOfThisProcess();
  for (int i = 0; i < 15; ++i) {
    OpenAndPlay(flac.c_str());
    ASSERT_EQ(Player().state.load(), playback::kStatePlaying);
    // Into the stream, so the streaming thread is delivering when the graph goes.
    WaitUntil([] { return Position() > kSecond / 10; }, 3000);
  }
  Engine().StopAndClose();
  EXPECT_LE(ThreadsOfThisProcess(), threads + 2);
}

// A file cut in the middle of its audio plays what is there and ends as any
// other track does.
TEST_F(StockFormatsBadInputTest, FileCutInTheMiddlePlaysToWhereItEnds) {
  const std::string flac = ReadBytes(MediaPath("tone.flac"));
  ASSERT_GT(flac.size(), 4096u);
  TempDir dir;
  const std::string path = dir.File("cut.flac");
  WriteBytes(path, flac.substr(0, flac.size() / 2));
  OpenAndPlay(path.c_str());
  ASSERT_EQ(Player().state.load(), playback::kStatePlaying);
  EXPECT_TRUE(WaitUntil([] { return Player().state.load() == playback::kStateClosed; }, 10000));
}

}  // namespace
}  // namespace kestrun::testing
