// Stands in for the system's registration tool in a folder the player may be started
// from: it only leaves a file next to itself, so a test sees that it ran.
#include <windows.h>

#include <string>

int main() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring marker(path, length);
  marker = marker.substr(0, marker.find_last_of(L'\\') + 1) + L"regsvr32 ran.txt";
  HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return 0;
}
