// Many filter graphs one after another, each with the equalizer in the real audio
// path: RenderFile of a short WAV, Run, band and switch changes from another thread
// while it plays, a seek, sometimes the end of the stream, Stop, release. Every
// reference count must come back where it began, and no step may take longer than
// ten seconds: a watchdog then writes where each thread waits and fails the run.
//
// CTest runs a few graphs. For a long run give the number of graphs:
//   equalizer_graph_stress_tests.exe --graphs=1000   (or KESTRUN_EQ_STRESS_GRAPHS=1000)
// The seed of the random choices (pauses, seek positions, control calls) is printed;
// --seed=N (or KESTRUN_EQ_STRESS_SEED) makes the same choices again.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include "equalizer/filter/tests/com_helpers.h"
#include "equalizer/filter/tests/step_watchdog.h"
#include "platform/testing/temp_dir.h"

namespace kestrun::equalizer::testing {
namespace {

constexpr DWORD kStepLimitMs = 10000;
constexpr int kDefaultGraphs = 20;
constexpr int kWaveFrames = 44100;  // one second of 16-bit stereo
constexpr LONGLONG kUnitsPerSecond = 10000000;

int g_graphs = kDefaultGraphs;
unsigned g_seed = 0;

int NumberFromEnvironment(const char* name, int fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::atoi(text) : fallback;
}

// While a graph plays: the controls the equalizer window and the saved settings
// use, from a thread of their own, as fast as a dragged slider sends them.
class ControlThread {
 public:
  ControlThread(IEqualizer* equalizer, StepClock& clock, int round, unsigned seed)
      : equalizer_(equalizer), clock_(clock), round_(round), random_(seed) {
    thread_ = std::thread([this] { Loop(); });
  }
  ~ControlThread() { Join(); }
  void Join() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  int calls() const { return calls_; }
  HRESULT firstFailure() const { return firstFailure_; }

 private:
  void Check(HRESULT hr) {
    ++calls_;
    if (FAILED(hr) && SUCCEEDED(firstFailure_.load())) firstFailure_ = hr;
  }
  void Loop() {
    std::uniform_int_distribution<int> value(0, 48);
    std::uniform_int_distribution<int> action(0, 9);
    int bands[kEqualizerBandCount];
    while (!stop_) {
      switch (action(random_)) {
        case 0:
          clock_.Begin(round_, "EnableEqualizer");
          Check(equalizer_->EnableEqualizer(random_() & 1));
          break;
        case 1:
          clock_.Begin(round_, "EnableVoiceRemoval");
          Check(equalizer_->EnableVoiceRemoval(random_() & 1));
          break;
        case 2:
          clock_.Begin(round_, "ResetBands");
          Check(equalizer_->ResetBands());
          break;
        case 3:
          clock_.Begin(round_, "GetBands");
          Check(equalizer_->GetBands(bands));
          break;
        default:
          for (int& band : bands) band = value(random_);
          clock_.Begin(round_, "SetBands");
          Check(equalizer_->SetBands(bands));
          break;
      }
      clock_.Idle();
      Sleep(random_() % 3);
    }
    // The player leaves the equalizer on; so does every graph here.
    clock_.Begin(round_, "EnableEqualizer at the end");
    Check(equalizer_->EnableEqualizer(TRUE));
    clock_.Idle();
  }

  IEqualizer* equalizer_;
  StepClock& clock_;
  const int round_;
  std::mt19937 random_;
  std::atomic<bool> stop_{false};
  std::atomic<int> calls_{0};
  std::atomic<HRESULT> firstFailure_{S_OK};
  std::thread thread_;
};

struct RoundFigures {
  int completed = 0;  // graphs that reached the end of the stream
  int controlCalls = 0;
};

// One graph from creation to release; a failed step is recorded, and the caller
// stops after the graph that had it.
void PlayOneGraph(IBaseFilter* filter, const std::wstring& file, int round, std::mt19937& random, StepClock& testClock,
                  StepClock& control, RoundFigures& figures) {
  SCOPED_TRACE(round);
  const ULONG filterRefs = RefCount(filter);

  testClock.Begin(round, "create the filter graph");
  ComPtr<IGraphBuilder> graph;
  ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph)), S_OK);
  testClock.Begin(round, "AddFilter");
  ASSERT_EQ(graph->AddFilter(filter, L"Equalizer"), S_OK);
  testClock.Begin(round, "RenderFile");
  const HRESULT rendered = graph->RenderFile(file.c_str(), nullptr);
  ASSERT_TRUE(SUCCEEDED(rendered)) << std::hex << rendered;
  ASSERT_TRUE(PinConnected(filter, L"Input"));
  ASSERT_TRUE(PinConnected(filter, L"Output"));

  ComPtr<IMediaControl> mediaControl;
  ComPtr<IMediaSeeking> seeking;
  ComPtr<IMediaEvent> events;
  ComPtr<IEqualizer> equalizer;
  ASSERT_EQ(graph.As(&mediaControl), S_OK);
  ASSERT_EQ(graph.As(&seeking), S_OK);
  ASSERT_EQ(graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(events.GetAddressOf())), S_OK);
  ASSERT_EQ(filter->QueryInterface(IID_IEqualizer, reinterpret_cast<void**>(equalizer.GetAddressOf())), S_OK);
  LONGLONG duration = 0;
  ASSERT_EQ(seeking->GetDuration(&duration), S_OK);

  {
    ControlThread controls(equalizer.Get(), control, round, random());
    testClock.Begin(round, "Run");
    const HRESULT ran = mediaControl->Run();
    EXPECT_TRUE(SUCCEEDED(ran)) << std::hex << ran;

    testClock.Begin(round, "play before the seek");
    Sleep(50 + random() % 250);
    testClock.Begin(round, "seek while running");
    LONGLONG position = static_cast<LONGLONG>(random() % 80) * duration / 100;
    EXPECT_EQ(seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning),
              S_OK);

    if (random() % 2 == 0) {
      // Played to its end, as a track the player lets finish.
      testClock.Begin(round, "WaitForCompletion");
      long code = 0;
      const HRESULT waited = events->WaitForCompletion(static_cast<long>(kStepLimitMs - 1000), &code);
      EXPECT_EQ(waited, S_OK) << "no end of stream within " << kStepLimitMs - 1000 << " ms";
      if (waited == S_OK && code == EC_COMPLETE) ++figures.completed;
    } else {
      testClock.Begin(round, "play after the seek");
      Sleep(random() % 300);
    }

    testClock.Begin(round, "Stop");
    EXPECT_EQ(mediaControl->Stop(), S_OK);
    testClock.Begin(round, "join the control thread");
    controls.Join();
    EXPECT_EQ(controls.firstFailure(), S_OK) << std::hex << controls.firstFailure();
    figures.controlCalls += controls.calls();
  }
  FILTER_STATE state = State_Running;
  EXPECT_EQ(filter->GetState(0, &state), S_OK);
  EXPECT_EQ(state, State_Stopped);

  testClock.Begin(round, "release the graph");
  equalizer.Reset();
  events.Reset();
  seeking.Reset();
  mediaControl.Reset();
  EXPECT_EQ(graph.Detach()->Release(), 0u) << "something still holds the graph";
  testClock.Idle();

  // Out of the released graph the filter is free again, and only its owner holds it.
  EXPECT_FALSE(PinConnected(filter, L"Input"));
  EXPECT_FALSE(PinConnected(filter, L"Output"));
  EXPECT_EQ(RefCount(filter), filterRefs);
}

TEST(EqualizerGraphStress, GraphsComeAndGoWhileTheControlsChangeFromAnotherThread) {
  ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  StepClock testClock("test thread");
  StepClock control("control thread");
  {
    StepWatchdog watchdog(kStepLimitMs, "[  FAILED  ] EqualizerGraphStress: a step hung");
    watchdog.Watch(testClock);
    watchdog.Watch(control);

    kestrun::testing::TempDir temp;
    const std::wstring file = Widen(temp.File("stress.wav"));
    ASSERT_TRUE(WriteWav(file, PcmFormat{}, TestSignal(kWaveFrames)));

    std::printf("%d graphs, seed %u\n", g_graphs, g_seed);
    std::mt19937 random(g_seed);
    // The player keeps one equalizer for its whole run; every fifth graph also gets
    // a fresh one, as a newly started player does.
    ComPtr<IBaseFilter> kept = CreateEqualizer();
    ASSERT_NE(kept, nullptr);
    RoundFigures figures;
    const DWORD started = GetTickCount();
    for (int round = 1; round <= g_graphs; ++round) {
      if (round % 5 == 0) {
        testClock.Begin(round, "create a fresh equalizer");
        ComPtr<IBaseFilter> fresh = CreateEqualizer();
        ASSERT_NE(fresh, nullptr);
        PlayOneGraph(fresh.Get(), file, round, random, testClock, control, figures);
        EXPECT_EQ(fresh.Detach()->Release(), 0u) << "round " << round;
      } else {
        PlayOneGraph(kept.Get(), file, round, random, testClock, control, figures);
      }
      testClock.Idle();
      if (HasFatalFailure() || ::testing::Test::HasFailure()) {
        std::printf("stopped after round %d\n", round);
        break;
      }
      if (round % 100 == 0) {
        std::printf("%d graphs, %.1f s\n", round, (GetTickCount() - started) / 1000.0);
        std::fflush(stdout);
      }
    }
    std::printf("%d graphs in %.1f s, %d played to the end, %d control calls, longest step %lu ms (%s)\n", g_graphs,
                (GetTickCount() - started) / 1000.0, figures.completed, figures.controlCalls,
                static_cast<unsigned long>(watchdog.longestMs()), watchdog.longestStep().c_str());
    EXPECT_EQ(kept.Detach()->Release(), 0u);
  }
  EXPECT_EQ(Module().canUnloadNow(), S_OK) << "an equalizer object outlived its last reference";
  CoUninitialize();
}

// The watchdog itself: a step that never ends must end the process with the name of
// the step and the stacks of the threads, not hang the run.
TEST(StepWatchdogDeathTest, AStuckStepEndsTheProcessNamingTheStepAndTheThreads) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        StepClock clock("stuck thread");
        StepWatchdog watchdog(300, "hung", 3);
        watchdog.Watch(clock);
        HANDLE never = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        clock.Begin(7, "wait for an event nobody sets");
        WaitForSingleObject(never, 20000);
        std::exit(0);
      },
      ::testing::ExitedWithCode(3), "step \"wait for an event nobody sets\" of round 7");
}

// The dump is only worth having if it reaches back from the wait into the code that
// waits: a thread blocked in a wait must show a frame of this program.
TEST(StepWatchdog, TheThreadDumpWalksABlockedThreadBackIntoThisProgram) {
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  DWORD blockedId = 0;
  std::thread blocked([&] {
    blockedId = GetCurrentThreadId();
    WaitForSingleObject(release, INFINITE);
  });
  while (blockedId == 0) Sleep(10);
  Sleep(100);
  const std::string dump = StepWatchdog::DescribeThreads(GetCurrentThreadId());
  SetEvent(release);
  blocked.join();
  CloseHandle(release);

  char exe[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, exe, sizeof exe);
  const std::string program = std::strrchr(exe, '\\') + 1;
  const std::string header = "thread " + std::to_string(blockedId) + ":\n";
  const size_t start = dump.find(header);
  ASSERT_NE(start, std::string::npos) << dump;
  const size_t end = dump.find("thread ", start + header.size());
  const std::string stack = dump.substr(start, end == std::string::npos ? std::string::npos : end - start);
  EXPECT_NE(stack.find(program + "+0x"), std::string::npos) << stack;
}

TEST(StepWatchdog, StepsWithinTheLimitPassAndTheLongestIsKept) {
  StepClock clock("worker");
  StepWatchdog watchdog(2000, "hung");
  watchdog.Watch(clock);
  clock.Begin(1, "short step");
  Sleep(450);
  clock.Idle();
  Sleep(300);
  EXPECT_GE(watchdog.longestMs(), 200u);
  EXPECT_EQ(watchdog.longestStep(), "short step");
}

}  // namespace
}  // namespace kestrun::equalizer::testing

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  using kestrun::equalizer::testing::g_graphs;
  using kestrun::equalizer::testing::g_seed;
  g_graphs = kestrun::equalizer::testing::NumberFromEnvironment("KESTRUN_EQ_STRESS_GRAPHS", g_graphs);
  g_seed = static_cast<unsigned>(
      kestrun::equalizer::testing::NumberFromEnvironment("KESTRUN_EQ_STRESS_SEED", static_cast<int>(GetTickCount())));
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--graphs=", 9) == 0) g_graphs = std::atoi(argv[i] + 9);
    if (std::strncmp(argv[i], "--seed=", 7) == 0)
      g_seed = static_cast<unsigned>(std::strtoul(argv[i] + 7, nullptr, 10));
  }
  return RUN_ALL_TESTS();
}
