// The playlist window with 10,000 rows, under the real list control: adding a
// folder tree of 10,000 tagged MP3 files with tag reading on (and how long the
// window takes to answer a message meanwhile), sorting by each column, saving and
// loading, and removing every row; then measuring lengths of WAV and MP3 files
// whose headers give them, of MP3 files whose frames are counted, and of MP3
// files that need a graph, in rows a second,
// with the header's "mm:ss" checked against the graph's for every kind of file.
//   playlist_window_bench.exe [files] [length rows]      (default 10000, 1000)
// With --rows, only the row operations on a shown window, for each row count:
// loading an extended playlist, sorting by each column, saving both formats,
// clearing and removing a large selection, removing all rows, and the private
// bytes the rows take.
//   playlist_window_bench.exe --rows 10000 100000
// With --lengths, only the length command over that many rows of copies of each
// given media file (FLAC, M4A, Ogg...), header against graph as above.
//   playlist_window_bench.exe --lengths 1000 tone.flac tone.m4a
#include <windows.h>
#include <commctrl.h>
#include <dshow.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <cstring>
#include <thread>
#include <vector>

#include "playlist/m3u_file.h"
#include "playlist/playlist_window_win.h"
#include "playlist/row_order.h"
#include "playlist/tests/playlist_window_harness.h"
#include "playlist/tests/change_settings_win.h"
#include "resources/menu_ids.h"
#include "tags/id3/id3v2.h"
#include "tags/length/header_length.h"

using namespace kestrun::playlist;

namespace {

// A whole graph per file, as the player measures (each worker thread is in a COM
// apartment of its own).
std::optional<std::int64_t> GraphDuration(const std::string& path) {
  wchar_t wide[MAX_PATH] = {};
  if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0) return std::nullopt;
  const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  std::optional<std::int64_t> duration;
  IGraphBuilder* graph = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                 reinterpret_cast<void**>(&graph)))) {
    IMediaSeeking* seeking = nullptr;
    LONGLONG length = 0;
    if (SUCCEEDED(graph->RenderFile(wide, nullptr)) &&
        SUCCEEDED(graph->QueryInterface(IID_IMediaSeeking, reinterpret_cast<void**>(&seeking))) &&
        SUCCEEDED(seeking->GetDuration(&length))) {
      duration = length;
    }
    if (seeking != nullptr) seeking->Release();
    graph->Release();
  }
  if (com == S_OK || com == S_FALSE) CoUninitialize();
  return duration;
}

// The player as the window sees it: lengths come from real graphs.
void ActAsPlayer(kestrun::testing::FakePlaylistHost& host) { host.measure = GraphDuration; }

struct SilentErrors final : PlaylistFileErrors {
  void ShowWriteError(const std::string&, const std::string&) override {}
  void ShowReadError(const std::string&) override {}
};

double Milliseconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// User and kernel time of this process (the wineserver's share is not in it).
double CpuMilliseconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  const auto value = [](FILETIME t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(value(kernel) + value(user)) / 10000.0;
}

double lastCpu = 0;

// Wall-clock milliseconds of f; its processor time goes to lastCpu.
template <typename F>
double Time(F f) {
  const double cpu = CpuMilliseconds();
  const auto start = std::chrono::steady_clock::now();
  f();
  const double wall = Milliseconds(start);
  lastCpu = CpuMilliseconds() - cpu;
  return wall;
}

// 100 folders of files, each a small MP3 body behind an ID3v2 tag with a
// Japanese title and artist.
void MakeTree(const std::string& root, int files) {
  CreateDirectoryA(root.c_str(), nullptr);
  const std::string model = root + "\\model.bin";
  {
    HANDLE file = CreateFileA(model.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const std::string body(512, '\xff');
    DWORD written = 0;
    WriteFile(file, body.data(), static_cast<DWORD>(body.size()), &written, nullptr);
    CloseHandle(file);
  }
  for (int i = 0; i < files; ++i) {
    const std::string folder = root + "\\d" + std::to_string(i / 100);
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\\x8b\xc8 " + std::to_string(i) + ".mp3";
    CopyFileA(model.c_str(), path.c_str(), FALSE);
    kestrun::tags::TagFields fields;
    fields.title = "\x8b\xc8\x96\xbc " + std::to_string(i * 7919 % files);
    fields.artist = "\x89\xcc\x8e\xe8 " + std::to_string(i % 37);
    kestrun::tags::WriteId3v2Fields(path, fields);
  }
  DeleteFileA(model.c_str());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

void PutLe(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// 3.5 s of 22.05 kHz mono 16-bit silence.
std::string Wav() {
  const std::uint32_t data = 22050 * 2 * 7 / 2;
  std::string out = "RIFF";
  PutLe(out, 36 + data, 4);
  out += "WAVEfmt ";
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);
  PutLe(out, 1, 2);
  PutLe(out, 22050, 4);
  PutLe(out, 44100, 4);
  PutLe(out, 2, 2);
  PutLe(out, 16, 2);
  out += "data";
  PutLe(out, data, 4);
  out.append(data, '\0');
  return out;
}

// Silent MPEG-1 Layer III frames at 44.1 kHz; bitrateIndex 9 is 128 kbit/s, 10 is
// 160 kbit/s. mixed alternates the two (a file whose frames must be counted).
std::string Mp3(int frames, bool mixed) {
  std::string out;
  long long bits = 0;
  for (int i = 0; i < frames; ++i) {
    const int index = mixed && i % 2 ? 10 : 9;
    const long long kbps = index == 9 ? 128 : 160;
    const long long exact = kbps * 1000 * 144;
    const bool padding = (bits + exact) / 44100 - bits / 44100 > exact / 44100;
    bits += exact;
    std::string frame(static_cast<std::size_t>(exact / 44100 + (padding ? 1 : 0)), '\0');
    frame[0] = '\xFF';
    frame[1] = '\xFB';
    frame[2] = static_cast<char>((index << 4) | (padding ? 0x02 : 0x00));
    out += frame;
  }
  return out;
}

// Hands out this thread's messages until the window's long command is over.
void Settle(const PlaylistWindow& window) { kestrun::testing::Settle(window, INFINITE); }

// The length command over `count` copies of one file, in rows a second; the
// shown lengths of the header and of the graph for that file are compared.
void MeasureLengths(PlaylistWindow& window, const std::string& folder, const char* kind, const std::string& bytes,
                    const char* extension, int count) {
  CreateDirectoryA(folder.c_str(), nullptr);
  RowStore& rows = *window.rows();
  rows.DeleteAllRows();
  for (int i = 0; i < count; ++i) {
    const std::string path = folder + "\\" + std::to_string(i) + extension;
    WriteBytes(path, bytes);
    appendRow(rows, path);
  }
  const std::string first = rows.Cell(0, Column::Path);
  const auto header = kestrun::tags::ReadHeaderDuration(first);
  const auto graph = GraphDuration(first);
  const auto shown = [](std::optional<std::int64_t> units) {
    return units ? FormatLength(*units / 10'000'000) : std::string("none");
  };
  const double wall = Time([&] {
    SendMessageA(window.window(), WM_COMMAND, IDM_LENGTH_ALL, 0);
    Settle(window);
  });
  int measured = 0;
  for (int row = 0; row < rows.RowCount(); ++row) measured += !rows.Cell(row, Column::Length).empty();
  std::printf("lengths, %-22s: %d of %d rows in %.0f ms (%.0f ms CPU), %.1f rows/s; header %s, graph %s%s\n", kind,
              measured, count, wall, lastCpu, count * 1000.0 / wall, shown(header).c_str(), shown(graph).c_str(),
              header && graph && shown(header) != shown(graph) ? "  DIFFERENT" : "");
  if (!header) {
    // The same file one graph at a time on one thread, as the window measured before
    // it had workers.
    const int serial = std::min(count, 40);
    const double one = Time([&] {
      for (int i = 0; i < serial; ++i) GraphDuration(first);
    });
    const double oneRate = serial * 1000.0 / one;
    std::printf("  the same file one graph at a time on one thread: %.1f rows/s (the run: %.1f times that)\n", oneRate,
                count * 1000.0 / wall / oneRate);
  }
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

double PrivateMegabytes() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof(counters));
  // Some systems leave PrivateUsage empty; the page-file usage is the same figure.
  const SIZE_T bytes = counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// An extended playlist as the player saves it, with Japanese names and paths.
void WritePlaylist(const std::string& path, int rows) {
  std::string text = "#EXTM3U\r\n";
  for (int i = 0; i < rows; ++i) {
    const std::string number = std::to_string(i * 7919 % rows);
    text += "#EXTINF:" + std::to_string(i * 37 % 901) + ",\x89\xcc\x8e\xe8 " + std::to_string(i % 37) +
            " - \x8b\xc8\x96\xbc " + number + "\r\nC:\\music\\d" + std::to_string(i / 100) + "\\\x8b\xc8 " +
            std::to_string(i) + ".mp3";
    if (i + 1 < rows) text += "\r\n";
  }
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

// The row operations on a shown window of `count` rows; each timing includes
// painting the list afterwards.
void RowOperations(const std::string& root, int count) {
  CreateDirectoryA(root.c_str(), nullptr);
  const std::string list = root + "\\rows.m3u";
  WritePlaylist(list, count);
  const double before = PrivateMegabytes();
  kestrun::testing::FakePlaylistHost host;
  ActAsPlayer(host);
  PlaylistWindow window;
  if (window.Create(GetModuleHandleA(nullptr), nullptr, root, &host) == nullptr) {
    std::printf("no window\n");
    return;
  }
  // Rows added by the bench get their tags read, as with "AlwaysTagRead" on.
  kestrun::testing::SetAlwaysTagRead(window, true);
  SetWindowPos(window.window(), HWND_TOP, 0, 0, 500, 600, SWP_SHOWWINDOW | SWP_NOACTIVATE);
  UpdateWindow(window.window());
  HWND shown = window.list();
  RowStore& rows = *window.rows();
  std::printf("== %d rows\n", count);
  const double load = Time([&] {
    window.LoadPlaylist(list);
    UpdateWindow(shown);
  });
  std::printf("load extended: %.0f ms (%.0f ms CPU, %d rows)\n", load, lastCpu, rows.RowCount());
  std::printf("private bytes: %.1f MB with the rows, %.1f MB more than before the window\n", PrivateMegabytes(),
              PrivateMegabytes() - before);
  const char* names[] = {"path", "title", "artist", "length"};
  for (int column = 0; column < kColumnCount; ++column) {
    const double sorted = Time([&] {
      window.SortByColumn(column);
      UpdateWindow(shown);
    });
    std::printf("sort by %-6s: %.0f ms (%.0f ms CPU)\n", names[column], sorted, lastCpu);
  }
  SilentErrors errors;
  const double saveExtended = Time([&] { saveExtendedM3u(rows, root + "\\saved.m3u", errors); });
  std::printf("save extended: %.0f ms (%.0f ms CPU)\n", saveExtended, lastCpu);
  const double savePlain = Time([&] { savePlainM3u(rows, root + "\\plain.m3u", errors); });
  std::printf("save plain:    %.0f ms (%.0f ms CPU)\n", savePlain, lastCpu);

  // Half the rows selected (every other one): a track change clears them, "remove
  // selected" removes them.
  const auto selectEveryOther = [&] {
    for (int row = 0; row < rows.RowCount(); row += 2) rows.SetSelected(row, true);
    UpdateWindow(shown);
  };
  selectEveryOther();
  const double cleared = Time([&] {
    rows.ClearSelection();
    UpdateWindow(shown);
  });
  std::printf("clear a selection of %d rows: %.0f ms (%.0f ms CPU)\n", (count + 1) / 2, cleared, lastCpu);
  selectEveryOther();
  const double removedSelected = Time([&] {
    SendMessageA(window.window(), WM_COMMAND, IDM_LIST_REMOVE_SELECTED, 0);
    UpdateWindow(shown);
  });
  std::printf("remove %d selected rows: %.0f ms (%.0f ms CPU, %d left)\n", (count + 1) / 2, removedSelected, lastCpu,
              rows.RowCount());
  const double removeAll = Time([&] {
    rows.DeleteAllRows();
    UpdateWindow(shown);
  });
  std::printf("remove all:    %.0f ms (%.0f ms CPU)\n", removeAll, lastCpu);
  window.Destroy();
}

// The length command over rows of copies of each file named in files.
int LengthsOfFiles(int rowCount, char** files, int fileCount) {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof(temp), temp);
  const std::string root = std::string(temp) + "kestrun-playlist-length-bench";
  RemoveTree(root);
  CreateDirectoryA(root.c_str(), nullptr);
  kestrun::testing::FakePlaylistHost host;
  ActAsPlayer(host);
  PlaylistWindow window;
  if (window.Create(GetModuleHandleA(nullptr), nullptr, root, &host) == nullptr) return 1;
  kestrun::testing::SetAlwaysTagRead(window, true);
  CoInitialize(nullptr);
  for (int i = 0; i < fileCount; ++i) {
    std::string bytes;
    if (FILE* in = std::fopen(files[i], "rb")) {
      char buffer[65536];
      std::size_t n = 0;
      while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) bytes.append(buffer, n);
      std::fclose(in);
    }
    if (bytes.empty()) {
      std::printf("cannot read %s\n", files[i]);
      continue;
    }
    const char* dot = std::strrchr(files[i], '.');
    const std::string kind = std::string(files[i]) + " (" + std::to_string(bytes.size()) + " bytes)";
    MeasureLengths(window, root + "\\f" + std::to_string(i), kind.c_str(), bytes, dot != nullptr ? dot : "", rowCount);
  }
  window.Destroy();
  RemoveTree(root);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  InitCommonControls();
  if (argc > 2 && std::strcmp(argv[1], "--lengths") == 0) {
    return LengthsOfFiles(std::max(1, std::atoi(argv[2])), argv + 3, argc - 3);
  }
  if (argc > 1 && std::strcmp(argv[1], "--rows") == 0) {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof(temp), temp);
    const std::string root = std::string(temp) + "kestrun-playlist-rows-bench";
    for (int i = 2; i < argc; ++i) {
      RemoveTree(root);
      RowOperations(root, std::max(1, std::atoi(argv[i])));
    }
    RemoveTree(root);
    return 0;
  }
  const int files = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
  const int lengthRows = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof(temp), temp);
  const std::string root = std::string(temp) + "kestrun-playlist-window-bench";
  RemoveTree(root);
  std::printf("making %d tagged files...\n", files);
  MakeTree(root, files);

  kestrun::testing::FakePlaylistHost host;
  ActAsPlayer(host);
  PlaylistWindow window;
  if (window.Create(GetModuleHandleA(nullptr), nullptr, root, &host) == nullptr) {
    std::printf("no window\n");
    return 1;
  }
  kestrun::testing::SetAlwaysTagRead(window, true);
  if (!std::getenv("BENCH_HIDDEN")) ShowWindow(window.window(), SW_SHOWNA);
  RowStore& rows = *window.rows();

  // Another thread asks the window for an answer every 5 ms while the folder is
  // added; the longest wait is how long the window was unresponsive.
  std::atomic<bool> adding{true};
  std::atomic<double> longest{0};
  std::atomic<int> probes{0};
  std::atomic<bool> proberDone{false};
  std::thread prober([&] {
    while (adding) {
      const auto start = std::chrono::steady_clock::now();
      DWORD_PTR result = 0;
      SendMessageTimeoutA(window.window(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
      const double waited = Milliseconds(start);
      if (waited > longest) longest = waited;
      ++probes;
      Sleep(5);
    }
    proberDone = true;
  });
  const double cpuBefore = CpuMilliseconds();
  const double add = Time([&] {
    window.AddFolder(root, true);
    Settle(window);
  });
  const double addCpu = CpuMilliseconds() - cpuBefore;
  adding = false;
  // The prober may be waiting for an answer to its last message: keep answering
  // until it has stopped.
  while (!proberDone) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(1);
  }
  prober.join();
  int titled = 0;
  for (int row = 0; row < rows.RowCount(); ++row) titled += !rows.Cell(row, Column::Title).empty();
  std::printf("add folder tree, tags on: %d rows (%d titled) in %.0f ms (%.0f ms CPU of this process, both threads)\n",
              rows.RowCount(), titled, add, addCpu);
  std::printf("  answers meanwhile: longest %.1f ms over %d probes\n", longest.load(), probes.load());

  const char* names[] = {"path", "title", "artist", "length"};
  for (int row = 0; row < rows.RowCount(); ++row) rows.SetCell(row, Column::Length, FormatLength(row * 37 % 901));
  for (int column = 0; column < kColumnCount; ++column) {
    const double sorted = Time([&] { window.SortByColumn(column); });
    std::printf("sort by %-6s: %.0f ms (%.0f ms CPU)\n", names[column], sorted, lastCpu);
  }
  SilentErrors errors;
  const std::string list = root + "\\bench.m3u";
  const double saveExtended = Time([&] { saveExtendedM3u(rows, list, errors); });
  std::printf("save extended: %.0f ms (%.0f ms CPU)\n", saveExtended, lastCpu);
  const double savePlain = Time([&] { savePlainM3u(rows, root + "\\plain.m3u", errors); });
  std::printf("save plain:    %.0f ms (%.0f ms CPU)\n", savePlain, lastCpu);
  const int count = rows.RowCount();
  const double removeAll = Time([&] { rows.DeleteAllRows(); });
  std::printf("remove all:    %.0f ms (%.0f ms CPU)\n", removeAll, lastCpu);
  const double load = Time([&] { window.LoadPlaylist(list); });
  std::printf("load extended: %.0f ms (%.0f ms CPU, %d rows)\n", load, lastCpu, rows.RowCount());
  if (rows.RowCount() != count) std::printf("row count differs: %d saved\n", count);

  CoInitialize(nullptr);
  MeasureLengths(window, root + "\\wav", "WAV (header)", Wav(), ".wav", lengthRows);
  MeasureLengths(window, root + "\\mp3", "MP3 CBR (header)", Mp3(134, false), ".mp3", lengthRows);
  // Without a Xing header a file of changing rates has its frames counted: a short
  // one and one of a typical song's size (5 MB, 5 minutes).
  MeasureLengths(window, root + "\\vbr", "MP3 mixed rate (counted)", Mp3(134, true), ".mp3", lengthRows);
  MeasureLengths(window, root + "\\vbr5", "MP3 5 MB mixed (counted)", Mp3(11500, true), ".mp3",
                 std::clamp(lengthRows / 10, 1, 50));
  // Bytes that are no frame after the first ten frames: only a graph can time that file.
  const std::string cbr = Mp3(134, false);
  const std::size_t tenFrames = cbr.find("\xFF\xFB", 4170);
  MeasureLengths(window, root + "\\broken", "MP3 broken chain (graph)",
                 cbr.substr(0, tenFrames) + std::string(2000, '\0') + cbr.substr(tenFrames), ".mp3",
                 std::max(1, lengthRows / 5));
  window.Destroy();
  RemoveTree(root);
  return 0;
}
