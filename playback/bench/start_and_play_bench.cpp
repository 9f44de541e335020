// What a file costs the player from the moment it is asked to play: the time until
// the graph runs with the renderer holding decoded sound, and the processor time
// of the whole process while it plays. Built through the player's own media
// session (with the equalizer next to the program), so a FLAC on a stock Windows
// goes through the Media Foundation source and a WAV through DirectShow alone.
//   start_and_play_bench.exe file [seconds to play] [starts]   (defaults 10 and 5)
// The first start of a process includes loading the framework's libraries; the
// later ones show a start inside a running player.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32_handles_win.h"
#include "playback/media_session_win.h"
#include "playback/playback_view.h"

namespace {

using kestrun::playback::DirectShowSession;

class NoWindows final : public kestrun::playback::SessionWindows {
 public:
  HWND EventWindow() const override { return nullptr; }
  HWND VideoWindow() const override { return nullptr; }
};

class NoView final : public kestrun::playback::PlaybackView {
 public:
  void ShowTitleText(const std::string&) override {}
  void ShowPlayingTitle(const std::string&) override {}
  void ShowCaption(const std::string&) override {}
  void SetMarqueeRunning(bool) override {}
  void ShowTimeText(const std::string&) override {}
  void ShowSeekPosition(std::int64_t, std::int64_t) override {}
  void HideZone() override {}
  void HideVideo() override {}
  void ShowPlayMode(int) override {}
  void ShowRate(std::optional<double>) override {}
  void ShowFastSeek(bool) override {}
  void ShowWindowsMediaCore(bool) override {}
  void FocusTitle() override {}
  void FocusMain() override {}
  void PostPosition(std::int64_t, unsigned) override {}
};

double ProcessCpuSeconds() {
  FILETIME created{}, ended{}, kernel{}, user{};
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  const auto value = [](const FILETIME& time) {
    return static_cast<double>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime) / 1e7;
  };
  return value(kernel) + value(user);
}

std::string ProgramDirectory() {
  char module[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, module, sizeof(module));
  std::string directory(module);
  return directory.substr(0, directory.find_last_of('\\'));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: start_and_play_bench file [seconds to play] [starts]\n");
    return 2;
  }
  const std::string path = argv[1];
  const int playSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
  const int starts = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  kestrun::platform::ComApartment apartment;
  NoWindows windows;
  NoView view;
  DirectShowSession session(windows);
  session.CreateOrRegisterEqualizer(ProgramDirectory().c_str());

  std::vector<double> startMs;
  for (int i = 0; i < starts; ++i) {
    const auto begin = std::chrono::steady_clock::now();
    const auto outcome = session.Build(path, kestrun::playback::GraphOptions{}, view);
    if (outcome.kind != kestrun::playback::OpenOutcome::Kind::Built || !session.Run()) {
      std::printf("%s: does not play\n", path.c_str());
      return 1;
    }
    // The run completes once the renderer holds its first decoded sound.
    OAFilterState state = State_Stopped;
    if (session.interfacesForTests().control->GetState(10000, &state) != S_OK || state != State_Running) {
      std::printf("%s: the graph did not start running\n", path.c_str());
      return 1;
    }
    startMs.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count());
    if (i + 1 < starts) session.TearDown();
  }

  // The processor time of the whole process while the last start plays on.
  const double cpuBefore = ProcessCpuSeconds();
  Sleep(static_cast<DWORD>(playSeconds) * 1000);
  const double cpu = ProcessCpuSeconds() - cpuBefore;
  std::int64_t position = 0;
  session.CurrentPosition(position);
  session.Stop();
  session.TearDown();

  std::vector<double> later(startMs.begin() + 1, startMs.end());
  std::sort(later.begin(), later.end());
  const double median = later.empty() ? startMs[0] : later[later.size() / 2];
  std::printf(
      "%s: start to sound %.1f ms first, %.1f ms median of %zu more; "
      "%.2f s of processor time over %d s of play (%.1f %%), position reached %.1f s\n",
      path.c_str(), startMs[0], median, later.size(), cpu, playSeconds, 100.0 * cpu / playSeconds,
      static_cast<double>(position) / 1e7);
  return 0;
}
