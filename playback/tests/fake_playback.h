// A scripted media backend, a recording view and a counting timer, so the playback
// engine runs without DirectShow or windows.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "playback/media_backend.h"
#include "playback/playback_view.h"

namespace kestrun::playback::testing {

class FakeBackend : public MediaBackend {
 public:
  // What Build answers for a path; paths not listed build a graph.
  std::map<std::string, OpenOutcome> outcomes;
  std::int64_t duration = 30'000'000;
  bool audioOnly = true;
  bool runFails = false;
  bool pauseFails = false;
  bool routeFails = false;
  bool rateFails = false;
  std::deque<long> events;
  // This many of the next graphs end as soon as they run (their completion is queued).
  int runsEndingAtOnce = 0;

  int builds = 0;
  long volume = 0;  // the last volume given to a graph
  int teardowns = 0;
  double rate = 1.0;
  std::vector<std::int64_t> seeks;

  OpenOutcome Build(const std::string& path, const GraphOptions&, PlaybackView&) override {
    ++builds;
    auto found = outcomes.find(path);
    if (found != outcomes.end() && found->second.kind != OpenOutcome::Kind::Built) return found->second;
    std::lock_guard<std::mutex> lock(graphLock_);
    graph_ = true;
    running_ = false;
    return BuiltOutcome();
  }
  bool HasGraph() const override {
    std::lock_guard<std::mutex> lock(graphLock_);
    return graph_;
  }
  void TearDown() override {
    std::lock_guard<std::mutex> lock(graphLock_);
    graph_ = false;
    running_ = false;
    ++teardowns;
  }
  void AbortPendingOpen() override {}
  bool Run() override {
    if (runFails) return false;
    running_ = true;
    if (runsEndingAtOnce > 0) {
      --runsEndingAtOnce;
      events.push_back(kGraphEventComplete);
    }
    return true;
  }
  bool Pause() override { return !pauseFails; }
  bool Stop() override { return true; }
  bool SetRate(double value) override {
    if (rateFails) return false;
    rate = value;
    return true;
  }
  bool SetVolume(long value) override {
    volume = value;
    return true;
  }
  bool RouteEvents() override { return !routeFails; }
  bool NextEvent(long& code) override {
    if (events.empty()) return false;
    code = events.front();
    events.pop_front();
    return true;
  }
  std::int64_t Duration() override { return duration; }
  bool IsAudioOnly() override { return audioOnly; }
  bool CurrentPosition(std::int64_t& position) override {
    std::lock_guard<std::mutex> lock(graphLock_);
    if (!graph_) return false;
    position = position_.fetch_add(1'000'000);
    return true;
  }
  bool SeekTo(std::int64_t position, bool) override {
    std::lock_guard<std::mutex> lock(graphLock_);
    if (!graph_) return false;
    position_ = position;
    seeks.push_back(position);
    return true;
  }
  bool running() const { return running_; }

 private:
  mutable std::mutex graphLock_;
  bool graph_ = false;
  bool running_ = false;
  std::atomic<std::int64_t> position_{0};
};

class RecordingView : public PlaybackView {
 public:
  std::string titleText;
  std::string playingTitle;
  std::string caption;
  std::string timeText;
  // The seek knob's last place: position of duration; -1 before any.
  std::int64_t knobPosition = -1;
  std::int64_t knobDuration = -1;
  bool zoneHidden = false;
  bool marquee = false;
  int playMode = -1;
  std::optional<double> rate;
  int rateReports = 0;
  bool fastSeek = false;
  bool windowsMediaCore = false;
  int focusTitles = 0;

  void ShowTitleText(const std::string& text) override { titleText = text; }
  void ShowPlayingTitle(const std::string& title) override {
    playingTitle = title;
    titleText = title;
    marquee = true;
  }
  void ShowCaption(const std::string& text) override { caption = text; }
  void SetMarqueeRunning(bool running) override { marquee = running; }
  void ShowTimeText(const std::string& text) override { timeText = text; }
  void ShowSeekPosition(std::int64_t position, std::int64_t duration) override {
    knobPosition = position;
    knobDuration = duration;
  }
  void HideZone() override { zoneHidden = true; }
  void HideVideo() override {}
  void ShowPlayMode(int mode) override { playMode = mode; }
  void ShowRate(std::optional<double> chosen) override {
    rate = chosen;
    ++rateReports;
  }
  void ShowFastSeek(bool on) override { fastSeek = on; }
  void ShowWindowsMediaCore(bool on) override { windowsMediaCore = on; }
  void FocusTitle() override { ++focusTitles; }
  void FocusMain() override {}
  void PostPosition(std::int64_t position, unsigned generation) override {
    std::lock_guard<std::mutex> lock(postedLock_);
    posted_.emplace_back(position, generation);
  }
  std::vector<std::pair<std::int64_t, unsigned>> TakePosted() {
    std::lock_guard<std::mutex> lock(postedLock_);
    std::vector<std::pair<std::int64_t, unsigned>> taken(posted_.begin(), posted_.end());
    posted_.clear();
    return taken;
  }

 private:
  std::mutex postedLock_;
  std::deque<std::pair<std::int64_t, unsigned>> posted_;
};

class CountingTimer : public PositionTimer {
 public:
  int starts = 0;
  void Start() override { ++starts; }
  void Stop() override {}
};

}  // namespace kestrun::playback::testing
