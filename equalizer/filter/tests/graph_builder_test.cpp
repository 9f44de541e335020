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
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                               IID_PPV_ARGS(&graph)), S_OK);
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

    // Tear down the way the player does: stop, then drop the graph.
    ComPtr<IMediaControl> control;
    ASSERT_EQ(graph.As(&control), S_OK);
    control->Stop();
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

}  // namespace
}  // namespace kestrun::equalizer::testing
