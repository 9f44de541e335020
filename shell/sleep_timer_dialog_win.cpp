#include "shell/sleep_timer_dialog_win.h"

#include "resources/resource_ids.h"

namespace kestrun::shell {
namespace {

// The edit box is read as at most 15 characters.
constexpr int kMinutesTextCapacity = 16;
constexpr char kSecondsIdle[] = "00";

}  // namespace

std::uint64_t SystemUptimeMs() { return GetTickCount64(); }

HWND SleepTimerDialog::Open(HINSTANCE instance, platform::DialogRouter* router) {
  if (window() == nullptr) Create(instance, kSleepDialogResource, nullptr, router);
  if (window() != nullptr) {
    ShowWindow(window(), SW_SHOW);
    SetForegroundWindow(window());
  }
  return window();
}

void SleepTimerDialog::HideIfVisible() {
  if (window() != nullptr && IsWindowVisible(window())) ShowWindow(window(), SW_HIDE);
}

void SleepTimerDialog::Toggle() {
  if (countdown_.running()) {
    Stop();
  } else {
    Start();
  }
}

void SleepTimerDialog::Start() {
  char text[kMinutesTextCapacity] = {};
  GetDlgItemTextA(window(), IDC_SLEEP_MINUTES, text, sizeof(text));
  if (!countdown_.Start(text)) return;
  SendDlgItemMessageA(window(), IDC_SLEEP_MINUTES, EM_SETREADONLY, TRUE, 0);
  SetTimer(window(), kSleepTimerId, kSleepTimerPeriodMs, nullptr);
}

void SleepTimerDialog::Stop() {
  KillTimer(window(), kSleepTimerId);
  countdown_.Stop();
  SendDlgItemMessageA(window(), IDC_SLEEP_MINUTES, EM_SETREADONLY, FALSE, 0);
  // The minutes keep the last value shown.
  SetDlgItemTextA(window(), IDC_SLEEP_SECONDS, kSecondsIdle);
}

void SleepTimerDialog::Tick() {
  if (!countdown_.running()) return;
  const SleepCountdown::Reading reading = countdown_.Read();
  if (!reading.expired) {
    SetDlgItemTextA(window(), IDC_SLEEP_MINUTES, MinutesText(reading.minutes).c_str());
    SetDlgItemTextA(window(), IDC_SLEEP_SECONDS, SecondsText(reading.seconds).c_str());
    return;
  }
  // Asked again at the next tick while the player cannot close yet; once the close is
  // under way the count stops, since the close takes a while and the timer would ask again.
  const bool shutdownWindows = IsDlgButtonChecked(window(), IDC_SLEEP_SHUTDOWN) == BST_CHECKED;
  if (onExpired_ && !onExpired_(shutdownWindows)) return;
  Stop();
}

INT_PTR SleepTimerDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SendDlgItemMessageA(window(), IDC_SLEEP_MINUTES, EM_LIMITTEXT, kMinutesTextCapacity - 1, 0);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          Toggle();
          return TRUE;
        case IDCANCEL:
          ShowWindow(window(), SW_HIDE);
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
      ShowWindow(window(), SW_HIDE);
      return TRUE;
    case WM_TIMER:
      if (wParam == kSleepTimerId) Tick();
      return TRUE;
    case WM_DESTROY:
      if (countdown_.running()) Stop();
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace kestrun::shell
