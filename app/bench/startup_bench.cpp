// Start-up of the real player, measured from outside: a copy of Kestrun.exe (with
// Equalizer.ax and the skins) is started with an empty playlist and with saved
// playlists of 10,000 and 100,000 rows, and the time to a shown main window whose
// playlist holds every row is taken, with the player's processor time and private
// bytes at that moment. Each case runs several times after one warm-up start.
//   startup_bench.exe [runs]      (default 5)
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "resources/resource_ids.h"

namespace {

std::string BinaryDirectory() {
  char module[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, module, sizeof(module));
  const std::string path = module;
  return path.substr(0, path.find_last_of("\\/"));
}

void RemoveTree(const std::string& root) {
  std::string list = root;
  list.append(2, '\0');
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_DELETE;
  op.pFrom = list.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  SHFileOperationA(&op);
}

void CopyTree(const std::string& from, const std::string& to) {
  std::string source = from + "\\*";
  source.append(2, '\0');
  std::string target = to;
  target.append(2, '\0');
  CreateDirectoryA(to.c_str(), nullptr);
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_COPY;
  op.pFrom = source.c_str();
  op.pTo = target.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT | FOF_NOCONFIRMMKDIR;
  SHFileOperationA(&op);
}

void WriteText(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

// An extended playlist as the player saves it: Japanese names, lengths, paths.
std::string Playlist(int rows) {
  std::string text = "#EXTM3U\r\n";
  for (int i = 0; i < rows; ++i) {
    const std::string number = std::to_string(i);
    text += "#EXTINF:" + std::to_string(60 + i % 500) + ",\x89\xcc\x8e\xe8 " + std::to_string(i % 37) +
            " - \x8b\xc8\x96\xbc " + number + "\r\nC:\\music\\\x83\x41\x83\x8b\x83\x6f\x83\x80 " +
            std::to_string(i / 100) + "\\\x8b\xc8 " + number + ".mp3";
    if (i + 1 < rows) text += "\r\n";
  }
  return text;
}

struct Search {
  DWORD process;
  HWND main;
  HWND list;
};

// The shown main window (it holds the title display) and the playlist's list of a process.
BOOL CALLBACK FindWindows(HWND window, LPARAM lParam) {
  auto* search = reinterpret_cast<Search*>(lParam);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->process) return TRUE;
  if (GetDlgItem(window, IDC_TITLE_DISPLAY) != nullptr && IsWindowVisible(window)) search->main = window;
  if (HWND list = GetDlgItem(window, IDC_PLAYLIST_LIST)) search->list = list;
  return TRUE;
}

double CpuMilliseconds(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  const auto value = [](FILETIME t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(value(kernel) + value(user)) / 10000.0;
}

double PrivateMegabytes(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters))) {
    return 0;
  }
  // Some systems leave PrivateUsage empty; the page-file usage is the same figure.
  const SIZE_T bytes = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

struct Run {
  double wall = -1;  // ms to a shown main window with every row in the list; -1 on time-out
  double cpu = 0;
  double privateMb = 0;
};

// Starts the player in folder and waits until its main window is shown and its
// list counts `rows` rows; then ends it without letting it save.
Run StartOnce(const std::string& folder, int rows) {
  Run run;
  const std::string exe = folder + "\\Kestrun.exe";
  std::string commandLine = "\"" + exe + "\"";
  commandLine.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  const auto start = std::chrono::steady_clock::now();
  if (!CreateProcessA(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                      &process)) {
    return run;
  }
  for (;;) {
    Search search{process.dwProcessId, nullptr, nullptr};
    EnumWindows(FindWindows, reinterpret_cast<LPARAM>(&search));
    if (search.main != nullptr && search.list != nullptr) {
      DWORD_PTR count = 0;
      if (SendMessageTimeoutA(search.list, LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL, 1000, &count) &&
          static_cast<int>(count) == rows) {
        run.wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        break;
      }
    }
    if (std::chrono::steady_clock::now() - start > std::chrono::seconds(60)) break;
    Sleep(2);
  }
  run.cpu = CpuMilliseconds(process.hProcess);
  run.privateMb = PrivateMegabytes(process.hProcess);
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof(temp), temp);
  const std::string folder = std::string(temp) + "kestrun-startup-bench";
  RemoveTree(folder);
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string bin = BinaryDirectory();
  CopyFileA((bin + "\\Kestrun.exe").c_str(), (folder + "\\Kestrun.exe").c_str(), FALSE);
  CopyFileA((bin + "\\Equalizer.ax").c_str(), (folder + "\\Equalizer.ax").c_str(), FALSE);
  CopyTree(bin + "\\Skin", folder + "\\Skin");
  const std::string saved = folder + "\\default.m3u";

  StartOnce(folder, 0);  // the first start of a copy registers the filter
  for (const int rows : {0, 10000, 100000}) {
    if (rows == 0) {
      DeleteFileA(saved.c_str());
    } else {
      WriteText(saved, Playlist(rows));
    }
    std::vector<Run> results;
    for (int i = 0; i < runs; ++i) results.push_back(StartOnce(folder, rows));
    std::sort(results.begin(), results.end(), [](const Run& a, const Run& b) { return a.wall < b.wall; });
    std::printf("start-up, %6d rows, shown and filled, ms (player's CPU ms):", rows);
    for (const Run& run : results) std::printf(" %.0f (%.0f)", run.wall, run.cpu);
    std::printf("; %.1f MB private\n", results.front().privateMb);
  }
  RemoveTree(folder);
  return 0;
}
