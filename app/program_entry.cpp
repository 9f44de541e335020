#include "app/program_entry.h"

#include <ole2.h>

#include <cstdio>
#include <string>

#include "app/app_state.h"
#include "app/command_line.h"
#include "app/main_window.h"
#include "playback/player_state.h"

namespace kestrun::app {
namespace {

constexpr int kMaxPathText = playback::kPathCapacity - 1;
constexpr LONG_PTR kRemovedStyles = 0xC40000;  // WS_CAPTION | WS_THICKFRAME
constexpr LONG_PTR kAddedStyles = 0xA0000;     // WS_SYSMENU | WS_MINIMIZEBOX
constexpr LONG_PTR kRemovedExStyles = 0x300;   // WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE

// A path too long for its container may still fit as its short (8.3) form.
std::string ShortFormIfNeeded(const std::string& path, std::size_t limit) {
  if (path.size() <= limit) return path;
  char shortPath[1024] = {};
  const DWORD length = GetShortPathNameA(path.c_str(), shortPath, sizeof(shortPath));
  if (length == 0 || length >= sizeof(shortPath) || length > limit) return {};
  return shortPath;
}

// The text to play, fitted to limit, or "" (with refused set) when it cannot fit.
std::string PathFromCommandLine(const char* commandLine, std::size_t limit, bool& refused) {
  refused = false;
  CommandLinePath parsed = ParseCommandLinePath(commandLine, SIZE_MAX);
  if (parsed.status != CommandLineStatus::Ok) return {};
  std::string path = ShortFormIfNeeded(parsed.path, limit);
  refused = path.empty();
  return path;
}

void MessageLoop() {
  auto& app = App();
  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    // Keyboard navigation for the modeless dialogs, in this order.
    const HWND dialogs[] = {app.tagEditorWindow, playback::Player().windows.main,
                            playback::Player().windows.filterList, app.equalizerWindow};
    bool handled = false;
    for (HWND dialog : dialogs) {
      if (dialog != nullptr && IsDialogMessageA(dialog, &message)) {
        handled = true;
        break;
      }
    }
    if (handled) continue;
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  app.exitCode = static_cast<int>(message.wParam);
}

}  // namespace

void HandOffPath(const char* path) {
  auto& app = App();
  const ATOM atom = GlobalAddAtomA(path);
  app.handoffAtom = atom;
  PostMessageA(HWND_BROADCAST, app.handoffMessage, atom, 0);
  Sleep(kHandoffWaitMs);
  GlobalDeleteAtom(atom);
}

int RunProgram(HINSTANCE instance, const char* commandLine) {
  auto& app = App();
  auto& player = playback::Player();
  app.instance = instance;
  if (commandLine == nullptr) commandLine = "";

  app.handoffMessage = RegisterWindowMessageA(kHandoffMessageName);
  app.taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
  app.instanceMutex = CreateMutexA(nullptr, TRUE, kInstanceMutexName);
  const bool alreadyRunning = GetLastError() == ERROR_ALREADY_EXISTS;
  const bool shiftHeld = (GetKeyState(VK_SHIFT) & 0x8000) != 0;

  if (alreadyRunning && !shiftHeld) {
    if (commandLine[0] != '\0') {
      bool refused = false;
      const std::string path = PathFromCommandLine(commandLine, kAtomNameLimit, refused);
      if (!path.empty()) {
        std::snprintf(player.currentPath, sizeof(player.currentPath), "%s", path.c_str());
        HandOffPath(player.currentPath);
      } else if (refused) {
        // An atom holds at most 255 characters; a cut path would name another file.
        OutputDebugStringA("Path too long to hand over\n");
      }
    }
    if (app.instanceMutex != nullptr) CloseHandle(app.instanceMutex);
    return 0;
  }

  if (commandLine[0] != '\0') {
    bool refused = false;
    const std::string path = PathFromCommandLine(commandLine, kMaxPathText, refused);
    std::snprintf(player.currentPath, sizeof(player.currentPath), "%s", path.c_str());
    app.commandLineRefused = refused;
  }

  OleInitialize(nullptr);
  app.richEdit = LoadLibraryA("RICHED32.DLL");
  const HWND main = CreateDialogParamA(instance, "IDD_LISTDIALOG", nullptr, MainWindowProc, 0);
  if (main == nullptr) {
    // Without its main window the player cannot run; leave cleanly.
    OutputDebugStringA("Cannot create the main window\n");
    if (app.richEdit != nullptr) FreeLibrary(app.richEdit);
    OleUninitialize();
    if (app.instanceMutex != nullptr) {
      ReleaseMutex(app.instanceMutex);
      CloseHandle(app.instanceMutex);
    }
    return 1;
  }
  SetWindowLongPtrA(main, GWL_STYLE, (GetWindowLongPtrA(main, GWL_STYLE) & ~kRemovedStyles) | kAddedStyles);
  SetWindowLongPtrA(main, GWL_EXSTYLE, GetWindowLongPtrA(main, GWL_EXSTYLE) & ~kRemovedExStyles);
  // The frame must be recomputed for the new styles to show.
  SetWindowPos(main, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  ShowWindow(main, SW_SHOW);
  UpdateWindow(main);

  MessageLoop();

  if (app.instanceMutex != nullptr) {
    ReleaseMutex(app.instanceMutex);
    CloseHandle(app.instanceMutex);
    app.instanceMutex = nullptr;
  }
  OleUninitialize();
  return app.exitCode;
}

}  // namespace kestrun::app
