#include "shell/windows_shutdown_win.h"

#include <windows.h>

#include "platform/debug_line.h"
#include "platform/win32_handles_win.h"

namespace kestrun::shell {
namespace {

bool EnableShutdownPrivilege() {
  platform::KernelHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) return false;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid)) return false;
  // Success can still mean "not all assigned": the last error tells.
  if (!AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr)) return false;
  return GetLastError() == ERROR_SUCCESS;
}

}  // namespace

bool RequestWindowsShutdown() {
  if (!EnableShutdownPrivilege()) platform::DebugLine("No shutdown privilege\n");
  return ExitWindowsEx(kSleepShutdownFlags, SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_FLAG_PLANNED) != FALSE;
}

}  // namespace kestrun::shell
