// Input as a user gives it: keys and mouse clicks through the system's input queue
// (SendInput), so they reach whichever window has the focus or lies under the
// pointer, exactly as a person's would.
#pragma once

#include <windows.h>

#include <vector>

namespace kestrun::testing {

// Presses and releases key; with ctrl, Ctrl is held around it.
inline bool PressKey(WORD key, bool ctrl = false) {
  std::vector<INPUT> inputs;
  auto add = [&inputs](WORD vk, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = flags;
    inputs.push_back(input);
  };
  if (ctrl) add(VK_CONTROL, 0);
  add(key, 0);
  add(key, KEYEVENTF_KEYUP);
  if (ctrl) add(VK_CONTROL, KEYEVENTF_KEYUP);
  const UINT count = static_cast<UINT>(inputs.size());
  return SendInput(count, inputs.data(), sizeof(INPUT)) == count;
}

// Moves the pointer to a screen point and clicks the left button there.
inline bool ClickAt(POINT screen) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT inputs[3] = {};
  inputs[0].type = INPUT_MOUSE;
  // Absolute coordinates run 0..65535 over the primary screen.
  inputs[0].mi.dx = MulDiv(screen.x, 65535, width - 1);
  inputs[0].mi.dy = MulDiv(screen.y, 65535, height - 1);
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].type = INPUT_MOUSE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[2].type = INPUT_MOUSE;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  return SendInput(3, inputs, sizeof(INPUT)) == 3;
}

// The centre of a window on the screen.
inline POINT WindowCentre(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Makes window the foreground window (its thread then gets the keys).
inline void BringToFront(HWND window) {
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(window);
}

}  // namespace kestrun::testing
