// The player adds the equalizer to an empty graph and lets the graph builder render
// the file: the equalizer has to end up in the decoded audio path.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include "equalizer/filter/tests/com_helpers.h"
#include "platform/testing/temp_dir.h"

namespace kestrun::equalizer::testing {
namespace {

class GraphBuilder : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    filter = CreateEqualizer();
    ASSERT_NE(filter, nullptr);
  }
  void TearDown() override {
    if (filter) {
      EXPECT_EQ(filter.Detach()->Release(), 0u);
    }
    EXPECT_EQ(Module().canUnloadNow(), S_OK);
    CoUninitialize();
  }

  // Renders the file into a graph that already holds the equalizer and reports
  // whether the equalizer sits between the decoder and a renderer.
  void RenderWithEqualizer(const std::wstring& file) {
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph)), S_OK);
    ASSERT_EQ(graph->AddFilter(filter.Get(), L"Equalizer"), S_OK);
    const HRESULT hr = graph->RenderFile(file.c_str(), nullptr);
    EXPECT_TRUE(SUCCEEDED(hr)) << std::hex << hr;
    EXPECT_TRUE(PinConnected(filter.Get(), L"Input"));
    EXPECT_TRUE(PinConnected(filter.Get(), L"Output"));

    // The duration is still known with the equalizer in the path.
    ComPtr<IMediaSeeking> seeking;
    ASSERT_EQ(graph.As(&seeking), S_OK);
    LONGLONG duration = 0;
    EXPECT_EQ(seeking->GetDuration(&duration), S_OK);
    EXPECT_GT(duration, 25000000LL);

    // Play a moment with the real audio renderer, then stop and drop the graph
    // the way the player does.
    ComPtr<IMediaControl> control;
    ASSERT_EQ(graph.As(&control), S_OK);
    EXPECT_TRUE(SUCCEEDED(control->Run()));
    Sleep(300);
    LONGLONG position = 0;
    EXPECT_EQ(seeking->GetCurrentPosition(&position), S_OK);
    EXPECT_EQ(control->Stop(), S_OK);
    FILTER_STATE state = State_Running;
    EXPECT_EQ(filter->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
  }

  ComPtr<IBaseFilter> filter;
};

TEST_F(GraphBuilder, RenderFileOfAWavePutsTheEqualizerInThePath) {
  kestrun::testing::TempDir temp;
  const std::wstring file = Widen(temp.File("render.wav"));
  ASSERT_TRUE(WriteWav(file, PcmFormat{}, TestSignal(44100 * 3)));
  RenderWithEqualizer(file);
}

TEST_F(GraphBuilder, RenderFileOfAnMp3PutsTheEqualizerInThePath) {
#ifndef KESTRUN_TEST_MP3
  GTEST_SKIP() << "no encoder on the build machine to make the MP3";
#else
  const std::wstring dir = GeneratedMediaDir();
  ASSERT_FALSE(dir.empty());
  const std::wstring file = dir + L"\\tone.mp3";
  ASSERT_NE(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES) << "made by ctest's set-up step";
  RenderWithEqualizer(file);
#endif
}

// The player keeps one equalizer for its whole run and puts it into each new graph.
TEST_F(GraphBuilder, TheSameFilterServesOneGraphAfterAnother) {
  kestrun::testing::TempDir temp;
  const std::wstring file = Widen(temp.File("again.wav"));
  ASSERT_TRUE(WriteWav(file, PcmFormat{}, TestSignal(44100 * 3)));
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    RenderWithEqualizer(file);
    // Released with its graph, the filter is free again and holds only our reference.
    EXPECT_FALSE(PinConnected(filter.Get(), L"Input"));
    EXPECT_EQ(RefCount(filter.Get()), 1u);
  }
}

}  // namespace
}  // namespace kestrun::equalizer::testing
