// Real quartz graphs around the filter: its output must be exactly what the
// equalizer's signal processing makes of the same input, media sample by media
// sample, with the state carried across samples.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>
#include <mmreg.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "equalizer/dsp/equalizer_dsp.h"
#include "equalizer/filter/tests/com_helpers.h"
#include "equalizer/filter/tests/test_sink.h"
#include "platform/testing/temp_dir.h"

namespace kestrun::equalizer::testing {
namespace {

constexpr int kRate = 44100;

class Streaming : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    filter = CreateEqualizer();
    ASSERT_NE(filter, nullptr);
    ASSERT_EQ(filter.As(&eq), S_OK);
  }
  void TearDown() override {
    graph.Release();
    eq.Reset();
    if (filter) {
      // Nothing in the graph kept a reference to the filter or its pins.
      EXPECT_EQ(filter.Detach()->Release(), 0u);
    }
    EXPECT_EQ(Module().canUnloadNow(), S_OK);
    CoUninitialize();
  }

  std::wstring Wav(const std::string& name, const PcmFormat& format, const std::vector<std::uint8_t>& data) {
    const std::wstring path = Widen(temp.File(name));
    EXPECT_TRUE(WriteWav(path, format, data));
    return path;
  }

  kestrun::testing::TempDir temp;
  ComPtr<IBaseFilter> filter;
  ComPtr<IEqualizer> eq;
  GrabberGraph graph;
};

struct Processing {
  bool equalize;
  bool removeVoice;
};

// What the filter must deliver: the input cut where the graph cut it, each piece
// run through the same passes in order, the section state carried along.
std::vector<std::uint8_t> Expected(const std::vector<std::uint8_t>& input,
                                   const std::vector<std::vector<std::uint8_t>>& chunks, const int* bands, Processing p,
                                   const int* laterBands = nullptr, size_t changeAfter = 0) {
  SectionBanks banks;
  RecomputeBands(banks, bands);
  std::vector<std::uint8_t> out;
  size_t offset = 0;
  for (size_t i = 0; i < chunks.size(); ++i) {
    std::vector<std::uint8_t> piece(input.begin() + offset, input.begin() + offset + chunks[i].size());
    offset += piece.size();
    const long length = static_cast<long>(piece.size());
    if (p.equalize) EqualizeSample(banks, piece.data(), length, 2, 4);
    if (p.removeVoice) RemoveVoice(piece.data(), length, 2, 4);
    out.insert(out.end(), piece.begin(), piece.end());
    if (laterBands != nullptr && i == changeAfter) {
      RecomputeBands(banks, laterBands);
    }
  }
  return out;
}

const int kShapedBands[15] = {36, 30, 12, 24, 48, 0, 20, 28, 33, 10, 44, 6, 24, 40, 2};

TEST_F(Streaming, OutputMatchesTheSignalProcessingForEachSwitchSetting) {
  const auto input = TestSignal(kRate * 2);
  const std::wstring file = Wav("stereo.wav", PcmFormat{}, input);
  const Processing settings[] = {{true, false}, {false, true}, {true, true}};
  for (const Processing p : settings) {
    SCOPED_TRACE(::testing::Message() << "equalizer " << p.equalize << " voice " << p.removeVoice);
    ComPtr<IBaseFilter> fresh = CreateEqualizer();  // fresh section state each run
    ComPtr<IEqualizer> control;
    ASSERT_EQ(fresh.As(&control), S_OK);
    control->SetBands(const_cast<int*>(kShapedBands));
    control->EnableEqualizer(p.equalize);
    control->EnableVoiceRemoval(p.removeVoice);
    GrabberGraph run;
    ASSERT_EQ(run.Build(fresh.Get(), file), S_OK);
    ASSERT_TRUE(run.RunToCompletion());
    const auto chunks = run.collector.Chunks();
    const auto output = run.collector.Joined();
    ASSERT_EQ(output.size(), input.size());
    EXPECT_GT(chunks.size(), 1u) << "more than one media sample, so state carries over";
    EXPECT_TRUE(output == Expected(input, chunks, kShapedBands, p));
    EXPECT_FALSE(output == input);
    run.Release();
    control.Reset();
    EXPECT_EQ(fresh.Detach()->Release(), 0u);
  }
}

TEST_F(Streaming, BothSwitchesOffPassTheStreamUntouched) {
  const auto input = TestSignal(kRate, 7);
  eq->SetBands(const_cast<int*>(kShapedBands));
  ASSERT_EQ(graph.Build(filter.Get(), Wav("off.wav", PcmFormat{}, input)), S_OK);
  ASSERT_TRUE(graph.RunToCompletion());
  EXPECT_TRUE(graph.collector.Joined() == input);
}

TEST_F(Streaming, MonoConnectsAndPassesUnchangedWithBothSwitchesOn) {
  PcmFormat mono;
  mono.channels = 1;
  const auto input = TestSignal(kRate / 2, 3);  // read as 44100 mono frames
  eq->SetBands(const_cast<int*>(kShapedBands));
  eq->EnableEqualizer(TRUE);
  eq->EnableVoiceRemoval(TRUE);
  ASSERT_EQ(graph.Build(filter.Get(), Wav("mono.wav", mono, input)), S_OK);
  ASSERT_TRUE(graph.RunToCompletion());
  EXPECT_TRUE(graph.collector.Joined() == input);
}

TEST_F(Streaming, EightBitAndFloatStreamsDoNotConnect) {
  PcmFormat eight;
  eight.bits = 8;
  PcmFormat floats;
  floats.formatTag = WAVE_FORMAT_IEEE_FLOAT;
  floats.bits = 32;
  for (const PcmFormat& format : {eight, floats}) {
    SCOPED_TRACE(format.bits);
    const std::vector<std::uint8_t> data(kRate * format.bits / 8 * 2 / 4, 0x40);
    // The parser's output straight to the equalizer, no converter between.
    ComPtr<IGraphBuilder> builder;
    ComPtr<IBaseFilter> source, parser;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&builder)), S_OK);
    ASSERT_EQ(CoCreateInstance(kClsidWaveParser, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&parser)), S_OK);
    ASSERT_EQ(builder->AddSourceFilter(Wav("refused.wav", format, data).c_str(), L"Source", &source), S_OK);
    ASSERT_EQ(builder->AddFilter(parser.Get(), L"Parser"), S_OK);
    ASSERT_EQ(builder->AddFilter(filter.Get(), L"Equalizer"), S_OK);
    ASSERT_EQ(builder->ConnectDirect(FirstPin(source.Get(), PINDIR_OUTPUT).Get(),
                                     FirstPin(parser.Get(), PINDIR_INPUT).Get(), nullptr),
              S_OK);
    ComPtr<IPin> parserOut = FirstPin(parser.Get(), PINDIR_OUTPUT);
    ComPtr<IPin> input = FirstPin(filter.Get(), PINDIR_INPUT);
    EXPECT_TRUE(FAILED(builder->ConnectDirect(parserOut.Get(), input.Get(), nullptr)));
    EXPECT_FALSE(PinConnected(filter.Get(), L"Input"));
    // Offered that type directly, the input names the reason.
    AM_MEDIA_TYPE* type = nullptr;
    ComPtr<IEnumMediaTypes> types;
    ASSERT_EQ(parserOut->EnumMediaTypes(&types), S_OK);
    ASSERT_EQ(types->Next(1, &type, nullptr), S_OK);
    EXPECT_EQ(input->ReceiveConnection(parserOut.Get(), type), VFW_E_TYPE_NOT_ACCEPTED);
    CoTaskMemFree(type->pbFormat);
    CoTaskMemFree(type);
    builder->RemoveFilter(filter.Get());
  }
}

TEST_F(Streaming, CopiesIntoTheDownstreamBuffersWhenOursAreRefused) {
  const auto input = TestSignal(kRate, 13);
  eq->SetBands(const_cast<int*>(kShapedBands));
  eq->EnableEqualizer(TRUE);
  ComPtr<IGraphBuilder> builder;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&builder)), S_OK);
  ComPtr<IBaseFilter> source;
  ASSERT_EQ(builder->AddSourceFilter(Wav("copy.wav", PcmFormat{}, input).c_str(), L"Source", &source), S_OK);
  ASSERT_EQ(builder->AddFilter(filter.Get(), L"Equalizer"), S_OK);
  ComPtr<OwnBufferSink> sink;
  sink.Attach(new OwnBufferSink);
  ASSERT_EQ(builder->AddFilter(sink.Get(), L"Sink"), S_OK);
  ASSERT_EQ(builder->Connect(FirstPin(source.Get(), PINDIR_OUTPUT).Get(), FirstPin(filter.Get(), PINDIR_INPUT).Get()),
            S_OK);
  ASSERT_EQ(
      builder->ConnectDirect(FirstPin(filter.Get(), PINDIR_OUTPUT).Get(), static_cast<IPin*>(sink.Get()), nullptr),
      S_OK);
  ComPtr<IMediaFilter> timing;
  ASSERT_EQ(builder.As(&timing), S_OK);
  timing->SetSyncSource(nullptr);
  ComPtr<IMediaControl> control;
  ASSERT_EQ(builder.As(&control), S_OK);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  const bool ended = sink->WaitForEndOfStream(60000);
  control->Stop();
  ASSERT_TRUE(ended);

  const auto output = sink->Received();
  ASSERT_EQ(output.size(), input.size());
  EXPECT_TRUE(sink->firstSampleHadTime());
  // Every piece went through the equalizer on its own, in order, state carried.
  std::vector<std::vector<std::uint8_t>> pieces;
  for (size_t size : sink->SampleSizes()) {
    pieces.emplace_back(size);
  }
  EXPECT_GT(pieces.size(), 1u);
  EXPECT_TRUE(output == Expected(input, pieces, kShapedBands, {true, false}));
  builder->RemoveFilter(sink.Get());
  builder->RemoveFilter(filter.Get());
}

TEST_F(Streaming, DurationAndSeekingWorkThroughTheFilter) {
  const auto input = TestSignal(kRate * 4, 11);
  ASSERT_EQ(graph.Build(filter.Get(), Wav("seek.wav", PcmFormat{}, input)), S_OK);

  // Asked directly of the output pin, the answer comes from the source upstream.
  ComPtr<IPin> output;
  ASSERT_EQ(filter->FindPin(L"Output", &output), S_OK);
  ComPtr<IMediaSeeking> pinSeeking;
  ASSERT_EQ(output.As(&pinSeeking), S_OK);
  LONGLONG duration = 0;
  ASSERT_EQ(pinSeeking->GetDuration(&duration), S_OK);
  EXPECT_EQ(duration, 4 * 10000000LL);
  ComPtr<IMediaPosition> pinPosition;
  EXPECT_EQ(output->QueryInterface(IID_IMediaPosition, reinterpret_cast<void**>(pinPosition.GetAddressOf())), S_OK);
  pinSeeking.Reset();
  pinPosition.Reset();
  output.Reset();

  // And through the graph, which asks the renderer, which asks us.
  ComPtr<IMediaSeeking> seeking;
  ASSERT_EQ(graph.graph.As(&seeking), S_OK);
  duration = 0;
  ASSERT_EQ(seeking->GetDuration(&duration), S_OK);
  EXPECT_EQ(duration, 4 * 10000000LL);
  LONGLONG start = 3 * 10000000LL;
  ASSERT_EQ(seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
  ASSERT_TRUE(graph.RunToCompletion());
  const auto output1 = graph.collector.Joined();
  const std::vector<std::uint8_t> lastSecond(input.end() - kRate * 4, input.end());
  EXPECT_TRUE(output1 == lastSecond) << output1.size() << " bytes after the seek";
}

TEST_F(Streaming, SeekingWhileRunningFlushesAndStartsAgainCleanly) {
  const auto input = TestSignal(kRate * 60, 17);  // long enough to seek mid-stream
  ASSERT_EQ(graph.Build(filter.Get(), Wav("rewind.wav", PcmFormat{}, input)), S_OK);
  ComPtr<IMediaControl> control;
  ComPtr<IMediaSeeking> seeking;
  ComPtr<IMediaEvent> events;
  ASSERT_EQ(graph.graph.As(&control), S_OK);
  ASSERT_EQ(graph.graph.As(&seeking), S_OK);
  ASSERT_EQ(graph.graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(events.GetAddressOf())), S_OK);
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  while (graph.collector.Chunks().size() < 4) {
    Sleep(1);
  }
  // Back to the start while samples are flowing: a flush passes through the filter.
  LONGLONG start = 0;
  ASSERT_EQ(seeking->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
  long code = 0;
  EXPECT_EQ(events->WaitForCompletion(120000, &code), S_OK);
  control->Stop();
  const auto output = graph.collector.Joined();
  ASSERT_GT(output.size(), input.size()) << "some data came before the seek";
  // After the seek the whole stream came again, with no stale sample in it.
  EXPECT_TRUE(std::equal(input.begin(), input.end(), output.end() - input.size()));
}

TEST_F(Streaming, BandChangeDuringStreamingAppliesFromTheNextSampleWithStateKept) {
  const auto input = TestSignal(kRate * 3, 5);
  const int later[15] = {10, 40, 24, 24, 0, 48, 30, 18, 24, 36, 12, 24, 45, 3, 24};
  eq->SetBands(const_cast<int*>(kShapedBands));
  eq->EnableEqualizer(TRUE);
  constexpr size_t kChangeAfter = 2;
  // The grabber calls back on the streaming thread once our Transform of that
  // sample is done, so the change lands exactly between two samples.
  graph.collector.onChunk = [&](size_t index) {
    if (index == kChangeAfter) {
      EXPECT_EQ(eq->SetBands(const_cast<int*>(later)), S_OK);
    }
  };
  ASSERT_EQ(graph.Build(filter.Get(), Wav("change.wav", PcmFormat{}, input)), S_OK);
  ASSERT_TRUE(graph.RunToCompletion());
  const auto chunks = graph.collector.Chunks();
  ASSERT_GT(chunks.size(), kChangeAfter + 1);
  EXPECT_TRUE(graph.collector.Joined() == Expected(input, chunks, kShapedBands, {true, false}, later, kChangeAfter));
  graph.collector.onChunk = nullptr;
}

TEST_F(Streaming, ControlCallsFromAnotherThreadNeverStallTheStream) {
  const auto input = TestSignal(kRate * 20, 9);
  eq->EnableEqualizer(TRUE);
  ASSERT_EQ(graph.Build(filter.Get(), Wav("busy.wav", PcmFormat{}, input)), S_OK);
  std::atomic<bool> done{false};
  std::atomic<int> calls{0};
  std::thread controller([&] {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int bands[15];
    for (int round = 0; !done; ++round) {
      for (int i = 0; i < 15; ++i) bands[i] = (round + i * 7) % 49;
      eq->SetBands(bands);
      eq->EnableVoiceRemoval(round % 2);
      eq->EnableEqualizer(round % 3 != 0);
      ++calls;
    }
    CoUninitialize();
  });
  const bool finished = graph.RunToCompletion(120000);
  done = true;
  controller.join();
  EXPECT_TRUE(finished) << "the stream stalled while the bands changed";
  EXPECT_GT(calls.load(), 10);
  EXPECT_EQ(graph.collector.Joined().size(), input.size()) << "no sample lost or added";
}

}  // namespace
}  // namespace kestrun::equalizer::testing
