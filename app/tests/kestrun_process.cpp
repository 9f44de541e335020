#include "app/tests/kestrun_process.h"

#include <vector>

#include "resources/resource_ids.h"

namespace kestrun::testing {

std::string BinaryDirectory() {
  char module[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, module, sizeof(module));
  std::string path = module;
  return path.substr(0, path.find_last_of("\\/"));
}

std::string MediaPath(const std::string& name) { return BinaryDirectory() + "\\testmedia\\" + name; }

std::string WindowText(HWND window) {
  if (window == nullptr) return {};
  std::vector<char> buffer(4096, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                           5000, &copied)) {
    return {};
  }
  return std::string(buffer.data());
}

HWND FindProcessWindow(HWND sibling, const std::function<bool(HWND)>& wanted) {
  struct Search {
    DWORD process;
    const std::function<bool(HWND)>* wanted;
    HWND found;
  } search{0, &wanted, nullptr};
  GetWindowThreadProcessId(sibling, &search.process);
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        if (process != s->process || !(*s->wanted)(window)) return TRUE;
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

KestrunProcess::~KestrunProcess() {
  if (process_.hProcess != nullptr) {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process_.hProcess, 99);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
}

bool KestrunProcess::Start(const std::string& arguments) {
  return StartProgram(BinaryDirectory() + "\\Kestrun.exe", arguments);
}

bool KestrunProcess::StartWide(const std::wstring& arguments) {
  const std::string exe = BinaryDirectory() + "\\Kestrun.exe";
  std::wstring wideExe(exe.size(), L'\0');
  const int length = MultiByteToWideChar(CP_ACP, 0, exe.data(), static_cast<int>(exe.size()), wideExe.data(),
                                         static_cast<int>(wideExe.size()));
  wideExe.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return StartProgramWide(wideExe, arguments);
}

bool KestrunProcess::StartProgramWide(const std::wstring& exe, const std::wstring& arguments) {
  const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
  std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  std::vector<wchar_t> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back(L'\0');
  return CreateProcessW(exe.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process_) != 0;
}

bool KestrunProcess::StartProgram(const std::string& exe, const std::string& arguments) {
  const std::string folder = exe.substr(0, exe.find_last_of('\\'));
  std::string commandLine = "\"" + exe + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back('\0');
  return CreateProcessA(exe.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process_) != 0;
}

namespace {

struct FindContext {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindMainWindow(HWND window, LPARAM lParam) {
  auto* context = reinterpret_cast<FindContext*>(lParam);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == context->processId && GetDlgItem(window, IDC_TITLE_DISPLAY) != nullptr && IsWindowVisible(window)) {
    context->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

bool KestrunProcess::WaitForMainWindow(DWORD timeoutMs) {
  return WaitUntil(
      [&] {
        FindContext context{process_.dwProcessId, nullptr};
        EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&context));
        main_ = context.found;
        return main_ != nullptr;
      },
      timeoutMs);
}

int KestrunProcess::WaitForExit(DWORD timeoutMs) {
  if (process_.hProcess == nullptr) return -1;
  if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return static_cast<int>(code);
}

void KestrunProcess::Terminate() {
  if (process_.hProcess == nullptr) return;
  TerminateProcess(process_.hProcess, 99);
  WaitForSingleObject(process_.hProcess, 5000);
}

int KestrunProcess::Close(DWORD timeoutMs) {
  if (main_ != nullptr) PostMessageA(main_, WM_COMMAND, IDC_EXIT_BUTTON, 0);
  return WaitForExit(timeoutMs);
}

std::string KestrunProcess::Caption() const { return WindowText(main_); }
std::string KestrunProcess::TitleText() const { return WindowText(GetDlgItem(main_, IDC_TITLE_DISPLAY)); }
std::string KestrunProcess::TimeText() const { return WindowText(GetDlgItem(main_, IDC_TIME_DISPLAY)); }

}  // namespace kestrun::testing
