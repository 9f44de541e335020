// The sleep timer dialog (IDD_SLEEP): counts down the minutes entered and then asks the
// player to close. Modeless and without owner; created once, then only shown and
// hidden, and the count goes on while it is hidden.
#pragma once

#include <windows.h>

#include <functional>
#include <utility>

#include "platform/modeless_dialog_win.h"
#include "shell/sleep_countdown.h"

namespace kestrun::shell {

inline constexpr char kSleepDialogResource[] = "IDD_SLEEP";
inline constexpr UINT_PTR kSleepTimerId = 15;
inline constexpr UINT kSleepTimerPeriodMs = 950;

class SleepTimerDialog final : public platform::ModelessDialog {
 public:
  // Called when the count runs out; shutdownWindows: the box asking for Windows to
  // shut down too was checked. True when the close is under way; false when it cannot
  // start yet (a modal dialog of the player is still open): the handler is called again
  // at each tick until it answers true.
  using ExpiryHandler = std::function<bool(bool shutdownWindows)>;

  SleepTimerDialog(SleepCountdown::Clock clock, ExpiryHandler onExpired)
      : countdown_(std::move(clock)), onExpired_(std::move(onExpired)) {}
  ~SleepTimerDialog() override { Destroy(); }

  // Creates the dialog the first time, then shows it.
  HWND Open(HINSTANCE instance, platform::DialogRouter* router = nullptr);
  void HideIfVisible();

  bool running() const { return countdown_.running(); }

 private:
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Toggle();
  void Start();
  void Stop();
  void Tick();

  SleepCountdown countdown_;
  ExpiryHandler onExpired_;
};

// The system's uptime in milliseconds.
std::uint64_t SystemUptimeMs();

}  // namespace kestrun::shell
