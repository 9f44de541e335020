// The message pump of a test's thread: what the program's own loop does with a
// message (a modeless dialog's router first, then translate and dispatch), run once
// over what is waiting, until a condition holds, for a while, or until the queue
// stays empty.
#pragma once

#include <windows.h>

#include <functional>

namespace kestrun::testing {

// Takes a message before it is translated and dispatched (a modeless dialog router);
// true when it did.
using MessageFilter = std::function<bool(MSG&)>;

// How long a pump sleeps between two looks at the queue.
inline constexpr DWORD kPumpPollMs = 20;

// Dispatches messages waiting for this thread until none is left or, with a
// deadline, until GetTickCount() passes it (a window that posts to itself while it
// handles a message would otherwise keep the loop going for ever). Returns false when
// the deadline ended it.
inline bool DispatchMessagesUntil(const MessageFilter& filter, DWORD start, DWORD timeoutMs) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (!(filter && filter(message))) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    if (GetTickCount() - start > timeoutMs) return false;
  }
  return true;
}

// Dispatches every message now waiting for this thread.
inline void DispatchWaitingMessages(const MessageFilter& filter = nullptr) {
  DispatchMessagesUntil(filter, GetTickCount(), INFINITE);
}

// Pumps this thread's messages until condition holds or timeoutMs passes. Returns the
// condition's last value.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs, const MessageFilter& filter = nullptr) {
  const DWORD start = GetTickCount();
  for (;;) {
    DispatchMessagesUntil(filter, start, timeoutMs);
    if (condition()) return true;
    if (GetTickCount() - start > timeoutMs) return condition();
    Sleep(kPumpPollMs);
  }
}

// Pumps this thread's messages for ms milliseconds.
inline void PumpFor(DWORD ms, const MessageFilter& filter = nullptr) {
  WaitUntil([] { return false; }, ms, filter);
}

// Pumps until a look at the queue after a pause finds nothing waiting: what was
// posted, and what handling it posted in turn, has been handled. False when messages
// still kept coming after timeoutMs (a fast timer, a window that posts to itself).
inline bool PumpUntilIdle(DWORD timeoutMs = 5000, const MessageFilter& filter = nullptr) {
  return WaitUntil([] { return HIWORD(GetQueueStatus(QS_ALLINPUT)) == 0; }, timeoutMs, filter);
}

}  // namespace kestrun::testing
