// How many threads this process has, for tests that check that work leaves none
// behind.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include "platform/win32_handles_win.h"

namespace kestrun::testing {

// -1 when the system gives no thread list.
inline int ThreadsOfThisProcess() {
  platform::FileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  if (!snapshot || !Thread32First(snapshot.get(), &entry)) return -1;
  int count = 0;
  do {
    count += entry.th32OwnerProcessID == GetCurrentProcessId();
  } while (Thread32Next(snapshot.get(), &entry));
  return count;
}

}  // namespace kestrun::testing
