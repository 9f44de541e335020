// The player as the playlist window's tests and benchmarks see it: it records what
// the window asks of it (rows played, lengths measured, the tag editor opened) and
// answers with the lengths the test chose.
// Measuring can be held at a gate, so a test can catch a run half way.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "playlist/playlist_host.h"

namespace kestrun::testing {

class FakePlaylistHost final : public playlist::PlaylistHost {
 public:
  void PlayRow(int row, const std::string& path) override { played.emplace_back(row, path); }
  void FocusMainTitle() override { ++focused; }
  // Called from the playlist's worker threads, several at once.
  std::optional<std::int64_t> MeasureDuration(const std::string& path) override {
    std::unique_lock lock(mutex_);
    measured_.push_back(path);
    changed_.notify_all();
    if (onMeasure) onMeasure(path);
    changed_.wait(lock, [this] { return !gated_; });
    if (measure) return measure(path);
    const auto found = durations.find(path);
    if (found == durations.end()) return std::nullopt;
    return found->second;
  }
  void OpenTagEditor(const std::string& path) override { editorPaths.push_back(path); }
  void EditRenamePattern(std::string&) override { ++patternEdits; }

  // Measurements wait from Close() until Open().
  void Close() {
    const std::lock_guard lock(mutex_);
    gated_ = true;
  }
  void Open() {
    const std::lock_guard lock(mutex_);
    gated_ = false;
    changed_.notify_all();
  }
  // Waits until count measurements have begun; false after 10 s.
  bool WaitForMeasured(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return measured_.size() >= count; });
  }
  // The paths measured so far, in the order the workers asked.
  std::vector<std::string> Measured() {
    const std::lock_guard lock(mutex_);
    return measured_;
  }

  std::vector<std::pair<int, std::string>> played;
  int focused = 0;
  // The playing times measured, in 100-nanosecond units; a path not here cannot be
  // rendered. measure, when set, answers instead (a real graph, in a benchmark).
  std::map<std::string, std::int64_t> durations;
  std::function<std::optional<std::int64_t>(const std::string& path)> measure;
  // Called on the worker, inside the measurement, before the gate.
  std::function<void(const std::string& path)> onMeasure;
  std::vector<std::string> editorPaths;
  int patternEdits = 0;

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool gated_ = false;
  std::vector<std::string> measured_;
};

}  // namespace kestrun::testing
