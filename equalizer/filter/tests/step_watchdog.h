// A watchdog for long-running tests under Wine: each worker thread says which step
// it is in; when one step lasts longer than the limit, the watchdog writes the
// stuck step and every thread of the process with its stack (module+offset and,
// where the debug help library knows it, the symbol) to stderr and to the debugger
// output, and ends the process with a failure instead of letting it hang.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace kestrun::equalizer::testing {

// The step one thread is in. Written by its thread, read by the watchdog.
class StepClock {
 public:
  explicit StepClock(const char* who) : who_(who) {}
  StepClock(const StepClock&) = delete;
  StepClock& operator=(const StepClock&) = delete;

  // Starts a step (a string literal: the watchdog keeps only the pointer).
  void Begin(int round, const char* step) {
    threadId_ = GetCurrentThreadId();
    round_ = round;
    since_ = GetTickCount();
    step_ = step;
  }
  // The thread waits for nothing the test cares about (between rounds, or done).
  void Idle() { step_ = nullptr; }

  const char* who() const { return who_; }
  const char* step() const { return step_; }
  int round() const { return round_; }
  DWORD threadId() const { return threadId_; }
  DWORD since() const { return since_; }

 private:
  const char* who_;
  std::atomic<const char*> step_{nullptr};
  std::atomic<int> round_{0};
  std::atomic<DWORD> since_{0};
  std::atomic<DWORD> threadId_{0};
};

class StepWatchdog {
 public:
  // failureText is printed (with the stuck step) before the process ends with exitCode.
  StepWatchdog(DWORD limitMs, std::string failureText, int exitCode = 3);
  ~StepWatchdog();
  StepWatchdog(const StepWatchdog&) = delete;
  StepWatchdog& operator=(const StepWatchdog&) = delete;

  // Clocks must outlive the watchdog (or be removed by destroying it first).
  void Watch(StepClock& clock);

  // The longest any step has taken so far, in ms, and the step's name.
  DWORD longestMs() const { return longest_; }
  std::string longestStep() const;

  // Writes every thread of the process with its stack; used on a hang, and by tests.
  static std::string DescribeThreads(DWORD skipThreadId);

 private:
  void Loop();
  [[noreturn]] void Fail(const StepClock& stuck, DWORD elapsed);

  const DWORD limitMs_;
  const std::string failureText_;
  const int exitCode_;
  std::vector<StepClock*> clocks_;
  CRITICAL_SECTION clocksLock_;
  std::atomic<DWORD> longest_{0};
  std::atomic<const char*> longestStep_{nullptr};
  HANDLE stop_ = nullptr;
  std::thread thread_;
};

}  // namespace kestrun::equalizer::testing
