// Soak test of the real Kestrun.exe: a second process starts a copy of the player as
// users get it (Kestrun.exe, Equalizer.ax and the Skin folder in one folder) and
// drives it for a given time with a seeded random sequence of what users do: menu
// commands of the main window, the playlist window and the video view, the title
// display's keys, clicks on buttons, knob drags and equalizer slider moves with the
// real pointer, files and playlists picked in the player's own open dialogs, hand-offs
// from second starts, skin switches, every dialog opened and closed, and files dragged
// onto its windows with the system's drag and drop (unless --no-drags).
//
// Every few seconds it checks that the player answers within 2 s and records its
// private bytes, handle count and GDI and USER objects. At the end it closes the
// player normally and checks the exit code, the saved default.m3u and the settings.
//
//   soak_driver.exe [--seed=N] [--seconds=N] [--log=path] [--no-drags] [--no-video] [--trace-memory]
//
// The seed is printed first; the same seed gives the same sequence of actions.
// Exit code 0 when the player survived; 1 with the reasons printed otherwise.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>
#include <ole2.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/testing/fake_data_object_win.h"
#include "resources/menu_ids.h"

namespace {

constexpr char kSettingsKey[] = "Software\\QuenfoldSoft\\Tovrin";
constexpr char kBackupKey[] = "Software\\QuenfoldSoft\\TovrinSoakBackup";
constexpr int kFirstSkinCommand = 25000;
constexpr DWORD kAnswerMs = 2000;
// A player that gives no answer for this long in a row, its main thread neither using
// processor time nor being switched meanwhile, is hung.
constexpr DWORD kHangMs = 20000;
// A main thread that keeps working (a 10,000-row playlist loading on a loaded machine)
// may stay silent longer, but not this long.
constexpr DWORD kBusyLimitMs = 120000;
// Processor time (in clock ticks of 10 ms) the main thread must use between two
// probes, or times it must have been switched out (each call into the window system
// under Wine waits on another process), to count as working rather than stuck.
constexpr unsigned long long kWorkingTicks = 5;
constexpr unsigned long long kWorkingSwitches = 50;
constexpr DWORD kProbePeriodMs = 3000;
// How long a new window is left alone before the driver presses its buttons.
constexpr DWORD kSettleMs = 400;

// Common dialog controls: the file name box of the open and save dialogs.
constexpr int kFileNameCombo = 0x47c;
constexpr int kFileNameEdit = 0x480;

struct Options {
  unsigned seed = 0;
  int seconds = 60;
  std::string log;
  // Files dragged onto the player with the system's drag and drop (off: the paths are
  // only logged).
  bool drags = true;
  // No video files in the corpus (so no video view either): under Wine every video
  // graph leaves its Direct3D worker thread and its memory behind, even in a plain
  // program that releases everything, so growth is measured without them.
  bool noVideo = false;
  // Each log line ends with the player's memory at that moment, to find which actions
  // make it grow.
  bool traceMemory = false;
};

std::string ProgramFolder() {
  char module[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, module, sizeof(module));
  std::string path = module;
  return path.substr(0, path.find_last_of("\\/"));
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool CopyFolder(const std::string& from, const std::string& to) {
  CreateDirectoryA(to.c_str(), nullptr);
  WIN32_FIND_DATAA entry{};
  HANDLE search = FindFirstFileA((from + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ok = CopyFolder(from + "\\" + name, to + "\\" + name) && ok;
    } else {
      ok = CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE) && ok;
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return ok;
}

void Put16(std::string& out, unsigned value) {
  out.push_back(static_cast<char>(value & 0xff));
  out.push_back(static_cast<char>((value >> 8) & 0xff));
}
void Put32(std::string& out, unsigned value) {
  Put16(out, value & 0xffff);
  Put16(out, value >> 16);
}

// A 16-bit mono PCM tone; declaredBytes other than 0 overstates the data (a cut file).
std::string ToneWav(double seconds, double frequency, unsigned declaredBytes = 0) {
  const unsigned rate = 22050;
  const unsigned samples = static_cast<unsigned>(seconds * rate);
  std::string data;
  for (unsigned i = 0; i < samples; ++i) {
    const double phase = 6.283185307179586 * frequency * i / rate;
    Put16(data, static_cast<unsigned>(static_cast<int>(8000 * std::sin(phase))) & 0xffff);
  }
  const unsigned dataBytes = declaredBytes != 0 ? declaredBytes : static_cast<unsigned>(data.size());
  std::string out = "RIFF";
  Put32(out, 36 + dataBytes);
  out += "WAVEfmt ";
  Put32(out, 16);
  Put16(out, 1);
  Put16(out, 1);
  Put32(out, rate);
  Put32(out, rate * 2);
  Put16(out, 2);
  Put16(out, 16);
  out += "data";
  Put32(out, dataBytes);
  return out + data;
}

std::string SyncSafe(unsigned value) {
  std::string out(4, '\0');
  for (int i = 3; i >= 0; --i) {
    out[i] = static_cast<char>(value & 0x7f);
    value >>= 7;
  }
  return out;
}

// An ID3v2.3 tag with a title frame and padding up to totalBytes; declared other
// than 0 claims a different size than the tag has.
std::string Id3Tag(const std::string& title, unsigned totalBytes, unsigned declared = 0) {
  std::string frame = "TIT2";
  const std::string body = std::string(1, '\0') + title;
  frame.push_back(static_cast<char>((body.size() >> 24) & 0xff));
  frame.push_back(static_cast<char>((body.size() >> 16) & 0xff));
  frame.push_back(static_cast<char>((body.size() >> 8) & 0xff));
  frame.push_back(static_cast<char>(body.size() & 0xff));
  frame += std::string(2, '\0') + body;
  const unsigned size = std::max<unsigned>(totalBytes, static_cast<unsigned>(frame.size()));
  frame.resize(size, '\0');
  return std::string("ID3\x03\x00\x00", 6) + SyncSafe(declared != 0 ? declared : size) + frame;
}

// The files the player is fed: good tones, broken media, hostile playlists, a
// 10,000-row playlist and a folder tree.
struct Corpus {
  std::string root;
  std::vector<std::string> media;      // files to open, add, drop and hand over
  std::vector<std::string> playlists;  // M3U and ASX files
  std::vector<std::string> folders;    // folders to drop and hand over
};

Corpus MakeCorpus(const std::string& root, const std::string& testMedia, bool withVideo) {
  Corpus corpus;
  corpus.root = root;
  CreateDirectoryA(root.c_str(), nullptr);
  const std::string tree = root + "\\tree";
  CreateDirectoryA(tree.c_str(), nullptr);
  CreateDirectoryA((tree + "\\sub one").c_str(), nullptr);
  CreateDirectoryA((tree + "\\sub one\\deeper").c_str(), nullptr);
  CreateDirectoryA((root + "\\out").c_str(), nullptr);
  auto add = [&](const std::string& path, const std::string& bytes) {
    WriteFileBytes(path, bytes);
    corpus.media.push_back(path);
  };
  for (int i = 0; i < 4; ++i) add(root + "\\tone" + std::to_string(i) + ".wav", ToneWav(1.0 + i * 0.5, 330 + 110 * i));
  add(tree + "\\a.wav", ToneWav(1.0, 440));
  add(tree + "\\sub one\\b.wav", ToneWav(0.5, 550));
  add(tree + "\\sub one\\deeper\\c.wav", ToneWav(0.7, 660));
  add(root + "\\zero.wav", "");
  add(root + "\\zero.mp3", "");
  add(root + "\\truncated.wav", ToneWav(0.2, 440, 10'000'000));
  add(root + "\\header-only.wav", ToneWav(0.0, 440, 44100));
  add(root + "\\wave-named.mp3", ToneWav(0.8, 500));
  add(root + "\\noise.wma", std::string(4096, '\x5a'));
  add(root + "\\noise.avi",
      "RIFF\x10\x00\x00\x00"
      "AVI LIST" +
          std::string(64, '\xff'));
  std::string mp3 = ReadFileBytes(testMedia + "\\tone.mp3");
  if (mp3.empty()) mp3 = std::string(1024, '\xff');
  add(root + "\\tagged.mp3", Id3Tag("soak title", 256) + mp3);
  add(root + "\\huge-tag.mp3", Id3Tag(std::string(3'000'000, 'T'), 6'000'000) + mp3);
  add(root + "\\lying-tag.mp3", Id3Tag("liar", 64, 200'000'000) + mp3.substr(0, 2000));
  add(root + "\\lying-tag-title.mp3", Id3Tag("x", 64) + std::string("TIT2\x7f\xff\xff\xff\x00\x00", 10) + mp3);
  for (const char* video : {"video320.avi", "video322.avi"}) {
    // A corpus left by an earlier run keeps no video when this one wants none: a
    // folder added from it would bring the video back.
    if (!withVideo) DeleteFileA((root + "\\" + video).c_str());
    if (withVideo && FileExists(testMedia + "\\" + video)) {
      CopyFileA((testMedia + "\\" + video).c_str(), (root + "\\" + video).c_str(), FALSE);
      corpus.media.push_back(root + "\\" + video);
    }
  }
  // Playlists that name each other and themselves.
  const std::string a = root + "\\loop-a.m3u", b = root + "\\loop-b.m3u", self = root + "\\self.m3u";
  const std::string asx = root + "\\loop.asx", asxSelf = root + "\\self.asx";
  WriteFileBytes(a, "#EXTM3U\r\nloop-b.m3u\r\ntone0.wav\r\nloop.asx\r\n");
  WriteFileBytes(b, "loop-a.m3u\r\n" + b + "\r\ntone1.wav\r\nmissing\\nothing.wav\r\n");
  WriteFileBytes(self, "self.m3u\r\nself.m3u\r\ntone2.wav\r\n" + std::string(5000, 'x') + ".wav\r\n");
  WriteFileBytes(asx, "<ASX version=\"3.0\"><Entry><Ref href=\"loop-a.m3u\"/></Entry><Entry><Ref href=\"" + asx +
                          "\"/></Entry><Entry><Ref href=\"tone3.wav\"/></Entry></ASX>\r\n");
  WriteFileBytes(asxSelf,
                 "<ASX version=\"3.0\"><Entry><Ref href=\"self.asx\"/><Ref href=\"self.asx\"/></Entry>"
                 "<Entry><Ref HREF=\"http://127.0.0.1:1/none.wav\"/></Entry><Entry>");
  static const char kBinaryPlaylist[] = "#EXTINF:-99999999999999,\x01\x02\r\n\0\0\0";
  WriteFileBytes(root + "\\binary.m3u", std::string(kBinaryPlaylist, sizeof(kBinaryPlaylist) - 1));
  // 10,000 rows, good files and missing ones.
  std::string big = "#EXTM3U\r\n";
  for (int i = 0; i < 10000; ++i) {
    big += "#EXTINF:" + std::to_string(i % 7) + ",row " + std::to_string(i) + "\r\n";
    big +=
        (i % 5 == 4) ? "gone\\missing" + std::to_string(i) + ".wav\r\n" : "tone" + std::to_string(i % 4) + ".wav\r\n";
  }
  WriteFileBytes(root + "\\big.m3u", big);
  corpus.playlists = {a, b, self, asx, asxSelf, root + "\\binary.m3u", root + "\\big.m3u"};
  corpus.folders = {tree, tree + "\\sub one", root};
  return corpus;
}

// The player's settings are put back after the run.
class SettingsBackup {
 public:
  SettingsBackup() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kBackupKey);
    HKEY source = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &source) != ERROR_SUCCESS) return;
    HKEY backup = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kBackupKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &backup, nullptr) ==
        ERROR_SUCCESS) {
      had_ = RegCopyTreeA(source, nullptr, backup) == ERROR_SUCCESS;
      RegCloseKey(backup);
    }
    RegCloseKey(source);
  }
  ~SettingsBackup() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
    if (!had_) return;
    HKEY backup = nullptr;
    HKEY target = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kBackupKey, 0, KEY_READ, &backup) == ERROR_SUCCESS &&
        RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr) ==
            ERROR_SUCCESS) {
      RegCopyTreeA(backup, nullptr, target);
    }
    if (target) RegCloseKey(target);
    if (backup) RegCloseKey(backup);
    RegDeleteTreeA(HKEY_CURRENT_USER, kBackupKey);
  }

 private:
  bool had_ = false;
};

std::string ClassOf(HWND window) {
  char name[128] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

// Wine gives no memory or handle figures of another process, but each Windows
// process is a Linux process: its anonymous resident memory and its open file
// descriptors stand in for private bytes and handles then.
std::string LowerSlashes(std::string text) {
  for (char& c : text) c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

int FindUnixProcess(const std::string& exePath) {
  const std::string wanted = LowerSlashes(exePath.size() > 2 && exePath[1] == ':' ? exePath.substr(2) : exePath);
  WIN32_FIND_DATAA entry{};
  HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int found = 0;
  do {
    if (!std::isdigit(static_cast<unsigned char>(entry.cFileName[0]))) continue;
    std::string line = ReadFileBytes(std::string("Z:\\proc\\") + entry.cFileName + "\\cmdline");
    line = LowerSlashes(line.substr(0, line.find('\0')));
    if (line.find(wanted) != std::string::npos) {
      found = std::atoi(entry.cFileName);
      break;
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return found;
}

SIZE_T UnixAnonymousBytes(int pid) {
  std::istringstream status(ReadFileBytes("Z:\\proc\\" + std::to_string(pid) + "\\status"));
  std::string line;
  SIZE_T total = 0;
  while (std::getline(status, line)) {
    if (line.rfind("RssAnon:", 0) == 0 || line.rfind("VmSwap:", 0) == 0) {
      total += static_cast<SIZE_T>(std::strtoull(line.c_str() + line.find(':') + 1, nullptr, 10)) * 1024;
    }
  }
  return total;
}

// Private bytes as Windows counts them: the process' committed private memory (its
// heaps, stacks and VirtualAlloc blocks). Wine gives no counters of another process but
// answers VirtualQueryEx on it, so the driver adds the regions up itself. Memory that
// Wine's own Linux libraries allocate with the C library is not in any region.
SIZE_T CommittedPrivateBytes(HANDLE process) {
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION region{};
  const char* address = nullptr;
  while (VirtualQueryEx(process, address, &region, sizeof(region)) == sizeof(region)) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return total;
}

DWORD UnixDescriptors(int pid) {
  WIN32_FIND_DATAA entry{};
  HANDLE search = FindFirstFileA(("Z:\\proc\\" + std::to_string(pid) + "\\fd\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  DWORD count = 0;
  do {
    if (entry.cFileName[0] != '.') ++count;
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return count;
}

// Processor time (user and system, in clock ticks) the Linux process' main thread
// has used; Wine runs a program's first thread there. 0 when it cannot be read.
unsigned long long UnixMainThreadTicks(int pid) {
  if (pid == 0) return 0;
  const std::string id = std::to_string(pid);
  const std::string stat = ReadFileBytes("Z:\\proc\\" + id + "\\task\\" + id + "\\stat");
  // The command name in brackets may hold spaces: fields are counted after it, the
  // state being field 3, user time 14 and system time 15.
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  unsigned long long ticks = 0;
  for (int index = 3; fields >> field && index <= 15; ++index) {
    if (index >= 14) ticks += std::strtoull(field.c_str(), nullptr, 10);
  }
  return ticks;
}

// Files handed over the way a user's drag from a file window does: the system's drag
// and drop carries the data object into the player's process, and a window that takes
// drops gets it there. The drag ends with a drop once the pointer has been moved onto
// the target and the target has been asked at least twice.
class FileDrag final : public kestrun::testing::FakeDataObject, public IDropSource {
 public:
  explicit FileDrag(const std::vector<std::string>& files)
      : FakeDataObject(CF_HDROP, kestrun::testing::FileDropBytes(files)) {}

  // IUnknown: the object lives on the driver's stack for one drag.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out != nullptr && iid == IID_IDropSource) {
      *out = static_cast<IDropSource*>(this);
      AddRef();
      return S_OK;
    }
    return FakeDataObject::QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return FakeDataObject::AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return FakeDataObject::Release(); }

  // IDropSource: dropped once the pointer is there; given up after a while.
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override {
    if (escape) return DRAGDROP_S_CANCEL;
    ++asked_;
    if (arrived_ && asked_ >= askedOnArrival_ + 2) return DRAGDROP_S_DROP;
    if (GetTickCount() - started_ > 10000) return DRAGDROP_S_CANCEL;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

  void Start() { started_ = GetTickCount(); }
  void Arrived() {
    askedOnArrival_ = asked_;
    arrived_ = true;
  }

 private:
  std::atomic<bool> arrived_{false};
  std::atomic<long> asked_{0};
  long askedOnArrival_ = 0;
  DWORD started_ = 0;
};

// How often the Linux process' main thread has been switched out; a thread stuck on a
// lock or a wait is not switched at all. 0 when it cannot be read.
unsigned long long UnixMainThreadSwitches(int pid) {
  if (pid == 0) return 0;
  const std::string id = std::to_string(pid);
  std::istringstream status(ReadFileBytes("Z:\\proc\\" + id + "\\task\\" + id + "\\status"));
  std::string line;
  unsigned long long switches = 0;
  while (std::getline(status, line)) {
    if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0) {
      switches += std::strtoull(line.c_str() + line.find(':') + 1, nullptr, 10);
    }
  }
  return switches;
}

struct Sample {
  DWORD atMs;
  SIZE_T privateBytes;
  // The Linux process' anonymous resident memory under Wine (0 elsewhere): private bytes
  // plus what Wine's Linux-side libraries (sound, media decoding) hold.
  SIZE_T unixAnonymous;
  DWORD handles;
  DWORD gdi;
  DWORD user;
};

class Soak {
 public:
  explicit Soak(const Options& options) : options_(options), random_(options.seed) {}
  int Run();

 private:
  // Randomness.
  int Pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random_); }
  bool Chance(int percent) { return Pick(100) < percent; }
  template <typename T>
  const T& OneOf(const std::vector<T>& items) {
    return items[Pick(static_cast<int>(items.size()))];
  }

  // The player.
  bool StartPlayer();
  bool Alive() const { return WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }
  std::vector<HWND> PlayerWindows() const;
  HWND FindWindowWith(int controlId) const;
  HWND MainWindow() const;
  HWND PlaylistWindow() const { return FindWindowWith(IDC_PLAYLIST_LIST); }
  HWND EqualizerWindow() const { return FindWindowWith(IDC_EQUALIZER_ENABLE); }
  HWND VideoWindow() const;
  bool Answers(HWND window) const;

  // Input.
  void Foreground(HWND window);
  void MoveTo(POINT to);
  bool Reaches(HWND target, POINT at);
  void Click(HWND target, POINT at, bool right = false);
  void Drag(HWND target, POINT from, int dx, int dy);
  void Key(WORD key, bool ctrl = false, bool shift = false);
  POINT CentreOf(HWND window) const;

  // Actions.
  void Step();
  void MainCommand();
  void PlaylistCommand();
  void VideoCommand();
  void TitleKey();
  void ButtonClick();
  void KnobDrag();
  void EqualizerMove();
  void ListClick();
  void HeaderClick();
  void SecondStart();
  void Drop();
  void SleepTimer(HWND dialog);
  void CloseModeless();

  // Dialogs the actions open: handled until none is left over the player.
  void ServeDialogs(DWORD forMs);
  bool ServeOneDialog();
  void ServeFileDialog(HWND dialog);

  // Health.
  void Probe();
  void Fail(const std::string& why);
  void DumpState();
  void Log(const std::string& line);
  bool Finish();

  Options options_;
  std::mt19937 random_;
  std::string folder_;
  std::string player_;
  Corpus corpus_;
  PROCESS_INFORMATION process_{};
  HWND main_ = nullptr;
  // What the next file dialog gets: a path, or empty to cancel it.
  std::string pendingPick_;
  std::vector<Sample> samples_;
  std::vector<std::string> failures_;
  std::vector<std::string> notes_;
  std::ofstream log_;
  DWORD start_ = 0;
  DWORD lastProbe_ = 0;
  DWORD lastAnswer_ = 0;
  // Last probe at which the player answered or its main thread was seen working.
  DWORD lastProgress_ = 0;
  unsigned long long lastTicks_ = 0;
  unsigned long long lastSwitches_ = 0;
  DWORD longestSilenceMs_ = 0;
  int busyProbes_ = 0;
  long steps_ = 0;
  int skinCount_ = 0;
  int secondStarts_ = 0;
  int secondStartFailures_ = 0;
  int dialogsServed_ = 0;
  int stuckDialogs_ = 0;
  int unixPid_ = 0;
  std::map<HWND, DWORD> firstSeen_;
  std::map<HWND, DWORD> firstPressed_;
  bool stuckReported_ = false;
  HWND lastServed_ = nullptr;
  DWORD lastServedAt_ = 0;
  bool unixFigures_ = false;
  bool walkedMemory_ = false;
};

void Soak::Log(const std::string& line) {
  const DWORD at = GetTickCount() - start_;
  char stamp[32];
  std::snprintf(stamp, sizeof(stamp), "[%7.1f s] ", at / 1000.0);
  if (!log_) return;
  log_ << stamp << line;
  if (options_.traceMemory && unixPid_ != 0) {
    char memory[64];
    std::snprintf(memory, sizeof(memory), "  {%.2f MB, Linux %.2f MB}",
                  CommittedPrivateBytes(process_.hProcess) / 1048576.0, UnixAnonymousBytes(unixPid_) / 1048576.0);
    log_ << memory;
  }
  log_ << '\n' << std::flush;
}

// For a hang: the player's windows and where each of its threads waits.
void Soak::DumpState() {
  for (HWND window : PlayerWindows()) {
    char caption[256] = {};
    GetWindowTextA(window, caption, sizeof(caption));
    std::printf("  window %p class %s enabled %d caption '%s'\n", static_cast<void*>(window), ClassOf(window).c_str(),
                IsWindowEnabled(window) ? 1 : 0, caption);
  }
  std::printf("  main window answers: %s\n", Answers(main_) ? "yes" : "no");
  std::fflush(stdout);
  std::string line = "winedbg --command \"bt all\" " + std::to_string(process_.dwProcessId);
  std::vector<char> text(line.begin(), line.end());
  text.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION debugger{};
  if (CreateProcessA(nullptr, text.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &debugger)) {
    if (WaitForSingleObject(debugger.hProcess, 60000) == WAIT_TIMEOUT) TerminateProcess(debugger.hProcess, 1);
    CloseHandle(debugger.hProcess);
    CloseHandle(debugger.hThread);
  }
}

void Soak::Fail(const std::string& why) {
  failures_.push_back(why);
  std::printf("FAIL: %s\n", why.c_str());
  std::fflush(stdout);
  Log("FAIL: " + why);
}

// The video view is the one window with a menu bar besides the playlist (its
// caption names the file playing, as the main window's does; Wine does not read
// another process' menus, so the bar's items cannot tell).
bool IsVideoView(HWND window) {
  return GetMenu(window) != nullptr && GetDlgItem(window, IDC_PLAYLIST_LIST) == nullptr &&
         GetDlgItem(window, IDC_SEEK_KNOB) == nullptr;
}

// The player's own top-level windows, which stay open between actions: the main
// window, the playlist, the equalizer, the tag editor, the sleep timer and the view.
bool IsOwnWindow(HWND window) {
  for (int id : {IDC_SEEK_KNOB, IDC_PLAYLIST_LIST, IDC_EQUALIZER_ENABLE, IDC_TAG_WRITE, IDC_SLEEP_MINUTES}) {
    if (GetDlgItem(window, id) != nullptr) return true;
  }
  return IsVideoView(window);
}

std::vector<HWND> Soak::PlayerWindows() const {
  struct Context {
    DWORD pid;
    std::vector<HWND> found;
  } context{process_.dwProcessId, {}};
  EnumWindows(
      [](HWND window, LPARAM data) -> BOOL {
        auto* context = reinterpret_cast<Context*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == context->pid && IsWindowVisible(window)) context->found.push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&context));
  return context.found;
}

HWND Soak::FindWindowWith(int controlId) const {
  for (HWND window : PlayerWindows()) {
    if (GetDlgItem(window, controlId) != nullptr) return window;
  }
  return nullptr;
}

HWND Soak::MainWindow() const {
  // The tag editor's path box has the title display's id: the knobs tell them apart.
  for (HWND window : PlayerWindows()) {
    if (GetDlgItem(window, IDC_TITLE_DISPLAY) != nullptr && GetDlgItem(window, IDC_SEEK_KNOB) != nullptr) {
      return window;
    }
  }
  return nullptr;
}

HWND Soak::VideoWindow() const {
  for (HWND window : PlayerWindows()) {
    if (IsVideoView(window)) return window;
  }
  return nullptr;
}

bool Soak::Answers(HWND window) const {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK, kAnswerMs, &result) != 0;
}

void Soak::Foreground(HWND window) {
  if (window == nullptr) return;
  SetForegroundWindow(window);
  Sleep(50);
}

void Soak::MoveTo(POINT to) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = MulDiv(to.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = MulDiv(to.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  SendInput(1, &input, sizeof(INPUT));
}

// Whether the pointer at this point reaches the target: another window of the
// player may lie over it (a topmost main window over the playlist, say), and a
// click meant for a list row must not land on the exit button.
bool Soak::Reaches(HWND target, POINT at) {
  HWND hit = WindowFromPoint(at);
  if (hit != nullptr && GetAncestor(hit, GA_ROOT) == GetAncestor(target, GA_ROOT)) return true;
  Log("covered: no click (" + (hit != nullptr ? ClassOf(GetAncestor(hit, GA_ROOT)) : std::string("nothing")) +
      " over " + ClassOf(GetAncestor(target, GA_ROOT)) + ")");
  return false;
}

void Soak::Click(HWND target, POINT at, bool right) {
  if (!Reaches(target, at)) return;
  MoveTo(at);
  Sleep(40);
  INPUT inputs[2] = {};
  inputs[0].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
  inputs[1].type = INPUT_MOUSE;
  inputs[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
  SendInput(2, inputs, sizeof(INPUT));
  Sleep(80);
}

void Soak::Drag(HWND target, POINT from, int dx, int dy) {
  if (!Reaches(target, from)) return;
  MoveTo(from);
  Sleep(40);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  SendInput(1, &input, sizeof(INPUT));
  Sleep(60);
  for (int step = 1; step <= 5; ++step) {
    MoveTo(POINT{from.x + dx * step / 5, from.y + dy * step / 5});
    Sleep(40);
  }
  input.mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(1, &input, sizeof(INPUT));
  Sleep(80);
}

void Soak::Key(WORD key, bool ctrl, bool shift) {
  std::vector<INPUT> inputs;
  auto push = [&](WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(input);
  };
  if (ctrl) push(VK_CONTROL, false);
  if (shift) push(VK_SHIFT, false);
  push(key, false);
  push(key, true);
  if (shift) push(VK_SHIFT, true);
  if (ctrl) push(VK_CONTROL, true);
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  Sleep(80);
}

POINT Soak::CentreOf(HWND window) const {
  RECT rect{};
  GetWindowRect(window, &rect);
  // The centre of the part on the screen: the playlist docked under the main window
  // often reaches below the screen's edge, and a user aims at what shows.
  const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  RECT shown{};
  if (IntersectRect(&shown, &rect, &screen)) rect = shown;
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

bool Soak::StartPlayer() {
  std::string commandLine = "\"" + player_ + "\\Kestrun.exe\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA((player_ + "\\Kestrun.exe").c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      player_.c_str(), &startup, &process_)) {
    return false;
  }
  const DWORD begin = GetTickCount();
  while (GetTickCount() - begin < 60000) {
    main_ = MainWindow();
    if (main_ != nullptr) {
      unixPid_ = FindUnixProcess(player_ + "\\Kestrun.exe");
      return true;
    }
    if (!Alive()) return false;
    Sleep(100);
  }
  return false;
}

// --- Dialogs -------------------------------------------------------------------

void Soak::ServeFileDialog(HWND dialog) {
  HWND name = GetDlgItem(dialog, kFileNameCombo);
  if (name == nullptr) name = GetDlgItem(dialog, kFileNameEdit);
  if (!pendingPick_.empty() && name != nullptr) {
    Log("file dialog: " + pendingPick_);
    SendMessageTimeoutA(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pendingPick_.c_str()), SMTO_ABORTIFHUNG,
                        kAnswerMs, nullptr);
    pendingPick_.clear();
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  } else {
    Log("file dialog: cancel");
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
  }
}

void Soak::SleepTimer(HWND dialog) {
  // Never the "shut Windows down too" box; a one-minute timer is started and
  // stopped again at once, so the player does not close itself meanwhile.
  if (IsDlgButtonChecked(dialog, IDC_SLEEP_SHUTDOWN) == BST_CHECKED) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SLEEP_SHUTDOWN, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_SLEEP_SHUTDOWN)));
  }
  HWND minutes = GetDlgItem(dialog, IDC_SLEEP_MINUTES);
  const bool running = (GetWindowLongA(minutes, GWL_STYLE) & ES_READONLY) != 0;
  if (!running) {
    SendMessageTimeoutA(minutes, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("1"), SMTO_ABORTIFHUNG, kAnswerMs, nullptr);
    SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)), SMTO_ABORTIFHUNG, kAnswerMs, nullptr);
    Sleep(300 + Pick(1200));
  }
  SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                      reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)), SMTO_ABORTIFHUNG, kAnswerMs, nullptr);
  if ((GetWindowLongA(minutes, GWL_STYLE) & ES_READONLY) != 0) {
    Fail("the sleep timer did not stop when its button was pressed again");
  }
  SendMessageTimeoutA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                      reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)), SMTO_ABORTIFHUNG, kAnswerMs, nullptr);
}

// Handles one dialog that stands over the player, if any: modal dialogs (their
// owner is disabled), message boxes, and the sleep timer. Returns whether one was found.
bool Soak::ServeOneDialog() {
  // A user cannot press a button before a dialog has come up: a window is served
  // only once it has been on the screen for a moment (a file dialog cancelled
  // while it is still being built can crash inside the system's dialog code).
  const DWORD now = GetTickCount();
  std::map<HWND, DWORD> seen;
  for (HWND window : PlayerWindows()) {
    const auto known = firstSeen_.find(window);
    seen[window] = known != firstSeen_.end() ? known->second : now;
  }
  firstSeen_.swap(seen);
  for (auto it = firstPressed_.begin(); it != firstPressed_.end();) {
    it = firstSeen_.count(it->first) != 0 ? std::next(it) : firstPressed_.erase(it);
  }
  for (HWND window : PlayerWindows()) {
    const auto known = firstSeen_.find(window);
    if (known == firstSeen_.end() || now - known->second < kSettleMs) continue;
    const std::string cls = ClassOf(window);
    if (cls == "#32768") {  // a pop-up menu left open
      Key(VK_ESCAPE);
      return true;
    }
    if (GetDlgItem(window, IDC_SLEEP_MINUTES) != nullptr && GetDlgItem(window, IDC_SLEEP_SHUTDOWN) != nullptr &&
        IsWindowEnabled(window)) {
      Log("sleep timer");
      SleepTimer(window);
      ++dialogsServed_;
      return true;
    }
    if (cls != "#32770") continue;
    if (IsOwnWindow(window)) continue;
    // A dialog under its own prompt (a save dialog asking whether to overwrite) is
    // disabled: a user cannot press its buttons, and a command posted to it anyway ends
    // the system's file dialog while its prompt still runs on it, which crashes later
    // inside the file dialog's own code. The prompt on top is served instead.
    if (!IsWindowEnabled(window)) continue;
    // Nor is a dialog pressed again before its last command had time to act (and open
    // its prompt).
    if (window == lastServed_ && now - lastServedAt_ < 1000) continue;
    lastServed_ = window;
    lastServedAt_ = now;
    // A dialog still up long after its first button press means the player takes no
    // posted commands: its main thread is stuck in a call that still answers sent
    // messages (so the WM_NULL probe passes), a hang all the same.
    const auto pressed = firstPressed_.emplace(window, now).first;
    if (now - pressed->second > kHangMs && !stuckReported_) {
      stuckReported_ = true;
      char caption[256] = {};
      GetWindowTextA(window, caption, sizeof(caption));
      Fail(std::string("the dialog '") + caption + "' is still open " + std::to_string((now - pressed->second) / 1000) +
           " s after its first button press: the player takes no posted commands");
      DumpState();
      return false;
    }
    // Modal dialogs disable their owner; message boxes may have none.
    HWND owner = GetWindow(window, GW_OWNER);
    if (owner != nullptr && IsWindowEnabled(owner)) continue;
    ++dialogsServed_;
    char caption[256] = {};
    GetWindowTextA(window, caption, sizeof(caption));
    if (GetDlgItem(window, kFileNameCombo) != nullptr || GetDlgItem(window, kFileNameEdit) != nullptr) {
      ServeFileDialog(window);
      return true;
    }
    auto press = [&](int id) {
      Log(std::string("dialog '") + caption + "': button " + std::to_string(id));
      PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
    };
    const bool associations = GetDlgItem(window, IDC_ASSOC_AVI) != nullptr && GetDlgItem(window, IDC_ASSOC_TGA);
    const bool folderBrowser = FindWindowExA(window, nullptr, "SysTreeView32", nullptr) != nullptr;
    if (associations || folderBrowser) {
      // Never change the machine's file types; never add a whole drive.
      press(IDCANCEL);
    } else if (GetDlgItem(window, IDYES) != nullptr) {
      press(Chance(50) ? IDYES : IDNO);
    } else if (GetDlgItem(window, IDC_ABOUT_HOMEPAGE) != nullptr) {
      press(IDOK);
    } else if (GetDlgItem(window, IDOK) != nullptr && Chance(40)) {
      press(IDOK);
    } else {
      press(IDCANCEL);  // as the Esc key does
    }
    return true;
  }
  return false;
}

void Soak::ServeDialogs(DWORD forMs) {
  const DWORD begin = GetTickCount();
  int served = 0;
  do {
    if (!Alive()) return;
    if (ServeOneDialog()) {
      if (++served > 12) {
        // Something keeps a dialog up: close whatever is left by force of WM_CLOSE.
        // Only the top one of a chain: a disabled dialog has a prompt open on it.
        for (HWND window : PlayerWindows()) {
          HWND owner = GetWindow(window, GW_OWNER);
          if (owner != nullptr && !IsWindowEnabled(owner) && IsWindowEnabled(window)) {
            PostMessageA(window, WM_CLOSE, 0, 0);
          }
        }
        ++stuckDialogs_;
        Log("a dialog did not close on its buttons");
        served = 0;
      }
      Sleep(150);
      continue;
    }
    Sleep(50);
  } while (GetTickCount() - begin < forMs);
}

// --- Actions -------------------------------------------------------------------

void Soak::MainCommand() {
  std::vector<int> commands = {IDM_PLAY,
                               IDM_PAUSE,
                               IDM_STOP,
                               IDM_NEXT,
                               IDM_PREVIOUS,
                               IDM_SHUFFLE,
                               IDM_REPEAT_ALL,
                               IDM_REPEAT_ONE,
                               IDM_FAST_SEEK,
                               IDM_RATE_2_0,
                               IDM_RATE_1_25,
                               IDM_RATE_1_0,
                               IDM_RATE_0_5,
                               IDM_ALWAYS_TAG_READ,
                               IDM_TOPMOST,
                               IDM_PLAYLIST,
                               IDM_ASSOCIATIONS,
                               IDM_VOLUME,
                               IDM_ABOUT,
                               IDM_SLEEP,
                               IDM_EFFECTS,
                               IDM_USE_CAPTURE,
                               IDM_FILTERS,
                               IDM_TAG_AUTO,
                               IDM_TAG_ALWAYS_ID3V1,
                               IDM_DOCK_PLAYLIST,
                               IDM_OPEN,
                               IDM_MINIMIZE,
                               IDM_USE_TRAY,
                               IDM_USE_WMP71,
                               IDM_PLAY,
                               IDM_PLAY,
                               IDM_PLAYLIST_KEY,
                               IDM_OPEN_KEY,
                               IDM_PLAY_KEY};
  int command = OneOf(commands);
  if (Chance(8) && skinCount_ > 0) command = kFirstSkinCommand + Pick(skinCount_);
  if (command == IDM_OPEN || command == IDM_OPEN_KEY) {
    pendingPick_ = Chance(80) ? OneOf(corpus_.media) : (Chance(50) ? OneOf(corpus_.playlists) : std::string());
  }
  if (!IsWindowEnabled(main_)) {
    // A modal dialog is up: the main window's menus cannot be reached.
    ServeDialogs(300);
    return;
  }
  Log("main command " + std::to_string(command));
  PostMessageA(main_, WM_COMMAND, command, 0);
  ServeDialogs(300);
  if (command == IDM_MINIMIZE || command == IDM_USE_TRAY) {
    Sleep(200);
    PostMessageA(main_, WM_COMMAND, IDM_RESTORE, 0);
    Sleep(200);
  }
}

void Soak::PlaylistCommand() {
  HWND list = PlaylistWindow();
  if (list == nullptr) {
    PostMessageA(main_, WM_COMMAND, IDM_PLAYLIST, 0);
    Sleep(300);
    list = PlaylistWindow();
    if (list == nullptr) return;
  }
  const std::vector<int> commands = {IDM_LIST_MOVE_DOWN,
                                     IDM_LIST_MOVE_UP,
                                     IDM_LIST_ADD_FILES,
                                     IDM_LIST_ADD_FILES,
                                     IDM_LIST_ADD_FOLDER,
                                     IDM_LIST_ADD_FOLDER_TREE,
                                     IDM_LIST_OPEN,
                                     IDM_LIST_OPEN,
                                     IDM_LIST_SAVE_EXTENDED_M3U,
                                     IDM_LIST_SAVE_PLAIN_M3U,
                                     IDM_LIST_REMOVE_SELECTED,
                                     IDM_LIST_REMOVE_ALL,
                                     IDM_LIST_MOVE_UP_BAR,
                                     IDM_LIST_MOVE_DOWN_BAR,
                                     IDM_LIST_TOPMOST,
                                     IDM_TAGS_READ_SELECTED,
                                     IDM_TAGS_READ_ALL,
                                     IDM_LENGTH_SELECTED,
                                     IDM_LENGTH_ALL,
                                     IDM_TAG_EDITOR,
                                     IDM_TAG_EDITOR,
                                     IDM_RENAME_USER_PATTERN_SETUP,
                                     IDM_RENAME_TITLE,
                                     IDM_LIST_CLOSE};
  const int command = OneOf(commands);
  switch (command) {
    case IDM_LIST_ADD_FILES:
      pendingPick_ = Chance(90) ? OneOf(corpus_.media) : std::string();
      break;
    case IDM_LIST_OPEN:
      pendingPick_ = Chance(90) ? OneOf(corpus_.playlists) : std::string();
      break;
    case IDM_LIST_SAVE_EXTENDED_M3U:
    case IDM_LIST_SAVE_PLAIN_M3U:
      pendingPick_ = corpus_.root + "\\out\\saved" + std::to_string(Pick(3)) + ".m3u";
      break;
    default:
      break;
  }
  if (!IsWindowEnabled(list)) {
    ServeDialogs(300);
    return;
  }
  Log("playlist command " + std::to_string(command));
  PostMessageA(list, WM_COMMAND, command, 0);
  ServeDialogs(400);
}

void Soak::VideoCommand() {
  HWND view = VideoWindow();
  if (view == nullptr) {
    // Only a video shows the view: play one.
    std::vector<std::string> videos;
    for (const auto& path : corpus_.media) {
      if (path.find("video3") != std::string::npos) videos.push_back(path);
    }
    if (videos.empty()) return;
    if (!IsWindowEnabled(main_)) return;
    pendingPick_ = OneOf(videos);
    Log("open video " + pendingPick_);
    PostMessageA(main_, WM_COMMAND, IDM_OPEN, 0);
    ServeDialogs(800);
    return;
  }
  const std::vector<int> commands = {
      IDM_VIEW_ZOOM_100,   IDM_VIEW_ZOOM_50,     IDM_VIEW_ZOOM_200,    IDM_VIEW_CAPTURE, IDM_VIEW_CAPTURE,
      IDM_VIEW_ASPECT_4_3, IDM_VIEW_ASPECT_16_9, IDM_VIEW_FULL_SCREEN, IDM_PAUSE,        IDM_STOP};
  const int command = OneOf(commands);
  if (!IsWindowEnabled(view)) {
    ServeDialogs(300);
    return;
  }
  Log("video command " + std::to_string(command));
  PostMessageA(view, WM_COMMAND, command, 0);
  ServeDialogs(300);
  if (command == IDM_VIEW_FULL_SCREEN) {
    // Back from the full screen, which would cover the other windows.
    Sleep(300);
    PostMessageA(view, WM_COMMAND, IDM_VIEW_FULL_SCREEN, 0);
    ServeDialogs(200);
  }
}

void Soak::TitleKey() {
  HWND title = GetDlgItem(main_, IDC_TITLE_DISPLAY);
  if (title == nullptr) return;
  Foreground(main_);
  Click(title, CentreOf(title));
  const std::vector<WORD> keys = {'1', '2', '3', '4', 'A', 'B', 'E', 'F', 'H', 'K',     'L',      'M',     'N',
                                  'O', 'P', 'R', 'S', 'T', 'C', 'Q', 'U', 'V', VK_LEFT, VK_RIGHT, VK_HOME, VK_END};
  const WORD key = OneOf(keys);
  const bool shift = (key == VK_LEFT || key == VK_RIGHT || key == VK_HOME || key == VK_END) && Chance(50);
  bool ctrl = false;
  if (key == 'O') pendingPick_ = OneOf(corpus_.media);
  if (key == 'V' && Chance(50)) {
    // Ctrl+V plays the path on the clipboard.
    const std::string path = Chance(70) ? OneOf(corpus_.media) : OneOf(corpus_.folders);
    if (OpenClipboard(nullptr)) {
      EmptyClipboard();
      HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, path.size() + 1);
      std::memcpy(GlobalLock(memory), path.c_str(), path.size() + 1);
      GlobalUnlock(memory);
      SetClipboardData(CF_TEXT, memory);
      CloseClipboard();
    }
    ctrl = true;
  }
  if (key == 'C' && Chance(30)) ctrl = true;
  Log("title key " + std::to_string(key) + (ctrl ? " with ctrl" : "") + (shift ? " with shift" : ""));
  Key(key, ctrl, shift);
  if (Chance(10)) {
    // Holding Ctrl over the seek bar shows the zone marker.
    Key(VK_CONTROL);
  }
  ServeDialogs(300);
  if (key == 'U') {
    Sleep(200);
    PostMessageA(main_, WM_COMMAND, IDM_RESTORE, 0);
    Sleep(200);
  }
}

void Soak::ButtonClick() {
  const std::vector<int> buttons = {IDC_PLAY_BUTTON,     IDC_PAUSE_BUTTON,    IDC_STOP_BUTTON, IDC_NEXT_BUTTON,
                                    IDC_PREVIOUS_BUTTON, IDC_PLAYLIST_BUTTON, IDC_OPEN_BUTTON, IDC_PLAY_BUTTON};
  const int id = OneOf(buttons);
  HWND button = GetDlgItem(main_, id);
  if (button == nullptr || !IsWindowVisible(button)) return;
  if (id == IDC_OPEN_BUTTON) pendingPick_ = OneOf(corpus_.media);
  Foreground(main_);
  Log("click button " + std::to_string(id));
  Click(button, CentreOf(button));
  ServeDialogs(300);
}

void Soak::KnobDrag() {
  const int id = Chance(50) ? IDC_VOLUME_KNOB : IDC_SEEK_KNOB;
  HWND knob = GetDlgItem(main_, id);
  if (knob == nullptr || !IsWindowVisible(knob)) return;
  Foreground(main_);
  const int dx = Pick(241) - 120;
  Log("drag knob " + std::to_string(id) + " by " + std::to_string(dx));
  Drag(knob, CentreOf(knob), dx, Pick(9) - 4);
  ServeDialogs(100);
}

void Soak::EqualizerMove() {
  HWND equalizer = EqualizerWindow();
  if (equalizer == nullptr) {
    HWND title = GetDlgItem(main_, IDC_TITLE_DISPLAY);
    Foreground(main_);
    Click(title, CentreOf(title));
    Key('Q');
    Sleep(300);
    equalizer = EqualizerWindow();
    if (equalizer == nullptr) return;
  }
  Foreground(equalizer);
  if (Chance(20)) {
    const int id = Chance(50) ? IDC_EQUALIZER_ENABLE : IDC_VOICE_REMOVAL_ENABLE;
    Log("equalizer switch " + std::to_string(id));
    Click(equalizer, CentreOf(GetDlgItem(equalizer, id)));
    return;
  }
  std::vector<HWND> sliders;
  for (HWND child = GetWindow(equalizer, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) == "msctls_trackbar32" && IsWindowVisible(child)) sliders.push_back(child);
  }
  if (sliders.empty()) return;
  HWND slider = OneOf(sliders);
  RECT rect{};
  GetWindowRect(slider, &rect);
  const POINT from{(rect.left + rect.right) / 2, rect.top + Pick(std::max<int>(1, rect.bottom - rect.top))};
  Log("equalizer slider drag");
  Drag(slider, from, 0, Pick(81) - 40);
}

void Soak::ListClick() {
  HWND playlist = PlaylistWindow();
  if (playlist == nullptr) return;
  HWND list = GetDlgItem(playlist, IDC_PLAYLIST_LIST);
  RECT rect{};
  GetWindowRect(list, &rect);
  if (rect.bottom - rect.top < 40) return;
  Foreground(playlist);
  const POINT at{rect.left + 10 + Pick(std::max<int>(1, rect.right - rect.left - 30)),
                 rect.top + 25 + Pick(std::max<int>(1, rect.bottom - rect.top - 45))};
  const int kind = Pick(10);
  Log("list click kind " + std::to_string(kind));
  if (kind < 5) {
    Click(list, at);
  } else if (kind < 7) {
    Click(list, at);
    Click(list, at);  // a double click plays the row
  } else if (kind < 8) {
    Click(list, at, true);  // the right-click menu; closed by the dialog pass
  } else {
    Click(list, at);
    const std::vector<WORD> keys = {VK_DELETE, VK_UP, VK_DOWN, VK_RETURN, 'A'};
    const WORD key = OneOf(keys);
    Key(key, key == 'A' || Chance(20), Chance(20));
  }
  ServeDialogs(300);
}

void Soak::HeaderClick() {
  HWND playlist = PlaylistWindow();
  if (playlist == nullptr) return;
  HWND list = GetDlgItem(playlist, IDC_PLAYLIST_LIST);
  HWND header = FindWindowExA(list, nullptr, "SysHeader32", nullptr);
  if (header == nullptr || !IsWindowVisible(header)) return;
  RECT rect{};
  GetWindowRect(header, &rect);
  Foreground(playlist);
  Log("sort by a column");
  Click(header,
        POINT{rect.left + 5 + Pick(std::max<int>(1, rect.right - rect.left - 10)), (rect.top + rect.bottom) / 2});
  ServeDialogs(300);
}

void Soak::SecondStart() {
  std::string arguments;
  const int count = 1 + (Chance(30) ? Pick(3) : 0);
  for (int i = 0; i < count; ++i) {
    const int kind = Pick(10);
    const std::string& path = kind < 6   ? OneOf(corpus_.media)
                              : kind < 8 ? OneOf(corpus_.playlists)
                                         : OneOf(corpus_.folders);
    arguments += " \"" + path + "\"";
  }
  const std::string commandLine = "\"" + player_ + "\\Kestrun.exe\"" + arguments;
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION second{};
  Log("second start:" + arguments);
  ++secondStarts_;
  if (!CreateProcessA((player_ + "\\Kestrun.exe").c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      player_.c_str(), &startup, &second)) {
    Fail("a second start could not be made");
    return;
  }
  // The second copy hands its paths to the first one and ends; the first one may
  // show a dialog meanwhile.
  const DWORD begin = GetTickCount();
  while (WaitForSingleObject(second.hProcess, 100) == WAIT_TIMEOUT && GetTickCount() - begin < 20000) {
    ServeOneDialog();
  }
  DWORD code = 0;
  GetExitCodeProcess(second.hProcess, &code);
  if (code == STILL_ACTIVE) {
    ++secondStartFailures_;
    Fail("a second start with" + arguments + " did not end within 20 s");
    TerminateProcess(second.hProcess, 98);
    WaitForSingleObject(second.hProcess, 5000);
  }
  CloseHandle(second.hProcess);
  CloseHandle(second.hThread);
  ServeDialogs(200);
}

void Soak::Drop() {
  // The main window, the playlist's list (its window brought up with its button when it is
  // hidden, as a user does before dragging onto it) or the video view.
  std::vector<HWND> targets = {main_, nullptr};
  if (HWND view = VideoWindow()) targets.push_back(view);
  HWND target = OneOf(targets);
  if (target == nullptr) {
    HWND playlist = PlaylistWindow();
    if (playlist == nullptr) {
      HWND button = GetDlgItem(main_, IDC_PLAYLIST_BUTTON);
      if (button == nullptr || !IsWindowEnabled(main_)) {
        Log("drop: the playlist is hidden and the main window disabled");
        return;
      }
      Foreground(main_);
      if (!Reaches(button, CentreOf(button))) return;
      Click(button, CentreOf(button));
      ServeDialogs(200);
      playlist = PlaylistWindow();
      if (playlist == nullptr) {
        Log("drop: the playlist did not come up");
        return;
      }
    }
    target = GetDlgItem(playlist, IDC_PLAYLIST_LIST);
  }
  HWND root = GetAncestor(target, GA_ROOT);
  if (!IsWindowEnabled(root)) {
    Log("drop: " + ClassOf(target) + " is disabled under a dialog");  // a disabled window takes no drop
    return;
  }
  // Raised as a click on its caption would: without a window manager, activation alone
  // leaves it under the windows that cover it.
  SetWindowPos(root, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  Foreground(root);
  std::vector<std::string> names;
  const int count = 1 + Pick(3);
  for (int i = 0; i < count; ++i) {
    const int kind = Pick(10);
    names.push_back(kind < 6 ? OneOf(corpus_.media) : kind < 8 ? OneOf(corpus_.playlists) : OneOf(corpus_.folders));
  }
  // Never a WM_DROPFILES posted from here: it would carry a memory handle of this
  // process, which the system does not carry over, so the player would read, and free,
  // whatever block of its own has that handle (an edit box's text, say) and fail later
  // somewhere else. A drag with the system's drag and drop hands the files over.
  if (!options_.drags) {
    Log("drop of " + std::to_string(count) + " paths onto " + ClassOf(target) + ": not delivered");
    ServeDialogs(300);
    return;
  }
  const POINT at = CentreOf(target);
  if (!Reaches(target, at)) return;
  Log("drag of " + std::to_string(count) + " paths onto " + ClassOf(target));
  FileDrag drag(names);
  struct Mover {
    Soak* soak;
    FileDrag* drag;
    POINT to;
  } mover{this, &drag, at};
  // The pointer moves in from beside the target while the drag runs on this thread.
  MoveTo(POINT{at.x + 40, at.y + 40});
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](void* data) -> DWORD {
        auto* mover = static_cast<Mover*>(data);
        for (int step = 1; step <= 4; ++step) {
          Sleep(120);
          mover->soak->MoveTo(POINT{mover->to.x + 40 - 10 * step, mover->to.y + 40 - 10 * step});
        }
        Sleep(150);
        mover->drag->Arrived();
        return 0;
      },
      &mover, 0, nullptr);
  drag.Start();
  DWORD effect = DROPEFFECT_NONE;
  const HRESULT result = DoDragDrop(&drag, &drag, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
  if (thread != nullptr) {
    WaitForSingleObject(thread, 5000);
    CloseHandle(thread);
  }
  Log("drag ended: " + std::string(result == DRAGDROP_S_DROP ? "dropped" : "cancelled") + ", effect " +
      std::to_string(effect) + ", data fetched " + std::to_string(drag.fetched()) + " times");
  ServeDialogs(300);
}

void Soak::CloseModeless() {
  std::vector<HWND> windows;
  for (HWND window : PlayerWindows()) {
    if (window != main_ && ClassOf(window) == "#32770" && IsWindowEnabled(window)) windows.push_back(window);
  }
  if (windows.empty()) return;
  HWND window = OneOf(windows);
  if (GetDlgItem(window, IDC_TAG_WRITE) != nullptr && Chance(60)) {
    // The tag editor writes into the corpus' copies.
    Log("tag editor: write");
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_TAG_WRITE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_TAG_WRITE)));
    ServeDialogs(300);
    return;
  }
  Log("close a window");
  PostMessageA(window, WM_CLOSE, 0, 0);
  ServeDialogs(200);
}

void Soak::Step() {
  const int roll = Pick(100);
  if (roll < 18)
    MainCommand();
  else if (roll < 36)
    PlaylistCommand();
  else if (roll < 44)
    VideoCommand();
  else if (roll < 56)
    TitleKey();
  else if (roll < 64)
    ButtonClick();
  else if (roll < 72)
    KnobDrag();
  else if (roll < 78)
    EqualizerMove();
  else if (roll < 85)
    ListClick();
  else if (roll < 88)
    HeaderClick();
  else if (roll < 92)
    SecondStart();
  else if (roll < 95)
    Drop();
  else
    CloseModeless();
  ++steps_;
}

// --- Health --------------------------------------------------------------------

void Soak::Probe() {
  lastProbe_ = GetTickCount();
  const bool answered = Answers(main_);
  const unsigned long long ticks = UnixMainThreadTicks(unixPid_);
  const unsigned long long switches = UnixMainThreadSwitches(unixPid_);
  const bool working = (ticks != 0 && lastTicks_ != 0 && ticks >= lastTicks_ + kWorkingTicks) ||
                       (switches != 0 && lastSwitches_ != 0 && switches >= lastSwitches_ + kWorkingSwitches);
  lastTicks_ = ticks;
  lastSwitches_ = switches;
  if (answered) {
    lastAnswer_ = lastProbe_;
    lastProgress_ = lastProbe_;
  } else {
    const DWORD silentMs = lastProbe_ - lastAnswer_;
    longestSilenceMs_ = std::max(longestSilenceMs_, silentMs);
    if (working) {
      // Busy, not stuck: the main thread is still using processor time.
      lastProgress_ = lastProbe_;
      ++busyProbes_;
      Log("busy: no answer for " + std::to_string(silentMs / 1000) + " s, main thread working");
    }
    if (lastProbe_ - lastProgress_ > kHangMs) {
      Fail("the player gave no answer for " + std::to_string(silentMs / 1000) + " s (main thread idle for " +
           std::to_string((lastProbe_ - lastProgress_) / 1000) + " s)");
      DumpState();
    } else if (silentMs > kBusyLimitMs) {
      Fail("the player gave no answer for " + std::to_string(silentMs / 1000) + " s, its main thread working");
      DumpState();
    }
  }
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof(memory);
  GetProcessMemoryInfo(process_.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
  Sample sample{lastProbe_ - start_,
                memory.PrivateUsage,
                0,
                0,
                GetGuiResources(process_.hProcess, GR_GDIOBJECTS),
                GetGuiResources(process_.hProcess, GR_USEROBJECTS)};
  GetProcessHandleCount(process_.hProcess, &sample.handles);
  if (sample.privateBytes == 0) {
    sample.privateBytes = CommittedPrivateBytes(process_.hProcess);
    walkedMemory_ = true;
  }
  if (unixPid_ != 0) sample.unixAnonymous = UnixAnonymousBytes(unixPid_);
  if (sample.handles == 0 && unixPid_ != 0) {
    sample.handles = UnixDescriptors(unixPid_);
    unixFigures_ = true;
  }
  samples_.push_back(sample);
  char line[200];
  std::snprintf(line, sizeof(line), "probe: steps %ld, private %.1f MB, handles %lu, GDI %lu, USER %lu, Linux %.1f MB",
                steps_, sample.privateBytes / 1048576.0, static_cast<unsigned long>(sample.handles),
                static_cast<unsigned long>(sample.gdi), static_cast<unsigned long>(sample.user),
                sample.unixAnonymous / 1048576.0);
  Log(line);
  if (samples_.size() % 20 == 0) {
    std::printf("%s\n", line);
    std::fflush(stdout);
  }
}

bool Soak::Finish() {
  // Whatever is open is closed first, then the player as its exit command does.
  ServeDialogs(500);
  PostMessageA(main_, WM_COMMAND, IDM_EXIT, 0);
  const DWORD begin = GetTickCount();
  while (WaitForSingleObject(process_.hProcess, 100) == WAIT_TIMEOUT) {
    ServeOneDialog();
    if (GetTickCount() - begin > 60000) {
      Fail("the player did not end within 60 s of its exit command");
      DumpState();
      TerminateProcess(process_.hProcess, 97);
      return false;
    }
  }
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  if (code != 0) Fail("the player ended with exit code " + std::to_string(code));

  const std::string playlist = ReadFileBytes(player_ + "\\default.m3u");
  if (!FileExists(player_ + "\\default.m3u")) {
    Fail("no default.m3u after the player closed");
  } else {
    int rows = 0;
    std::istringstream lines(playlist);
    std::string line;
    while (std::getline(lines, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.find('\0') != std::string::npos) {
        Fail("default.m3u holds a NUL byte");
        break;
      }
      if (line.empty() || line[0] == '#') continue;
      ++rows;
    }
    std::printf("default.m3u: %d rows, %zu bytes\n", rows, playlist.size());
  }
  HKEY key = nullptr;
  DWORD values = 0;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, (std::string(kSettingsKey) + "\\Player").c_str(), 0, KEY_READ, &key) ==
      ERROR_SUCCESS) {
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
  }
  if (values == 0) Fail("no settings under HKCU\\" + std::string(kSettingsKey) + "\\Player after the player closed");
  std::printf("settings: %lu values under Player\n", static_cast<unsigned long>(values));
  return true;
}

int Soak::Run() {
  folder_ = ProgramFolder() + "\\soak";
  player_ = folder_ + "\\player";
  CreateDirectoryA(folder_.c_str(), nullptr);
  CreateDirectoryA(player_.c_str(), nullptr);
  log_.open(options_.log.empty() ? folder_ + "\\soak.log" : options_.log, std::ios::trunc);
  start_ = GetTickCount();
  std::printf("soak: seed %u, %d s (replay with --seed=%u --seconds=%d%s%s)\n", options_.seed, options_.seconds,
              options_.seed, options_.seconds, options_.drags ? "" : " --no-drags",
              options_.noVideo ? " --no-video" : "");
  std::fflush(stdout);

  // The player as users get it, with an empty playlist.
  const std::string bin = ProgramFolder();
  for (const char* file : {"Kestrun.exe", "Equalizer.ax"}) {
    if (!CopyFileA((bin + "\\" + file).c_str(), (player_ + "\\" + file).c_str(), FALSE)) {
      std::printf("FAIL: %s is not next to the soak driver\n", file);
      return 1;
    }
  }
  CopyFolder(bin + "\\Skin", player_ + "\\Skin");
  DeleteFileA((player_ + "\\default.m3u").c_str());
  WIN32_FIND_DATAA entry{};
  HANDLE search = FindFirstFileA((player_ + "\\Skin\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && entry.cFileName[0] != '.') ++skinCount_;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
  }
  corpus_ = MakeCorpus(folder_ + "\\corpus", bin + "\\testmedia", !options_.noVideo);

  SettingsBackup backup;
  if (!StartPlayer()) {
    std::printf("FAIL: the player did not show its main window\n");
    if (process_.hProcess) TerminateProcess(process_.hProcess, 96);
    return 1;
  }
  lastAnswer_ = GetTickCount();
  lastProgress_ = lastAnswer_;
  Probe();
  const DWORD runMs = static_cast<DWORD>(options_.seconds) * 1000;
  while (GetTickCount() - start_ < runMs && failures_.empty()) {
    if (!Alive()) {
      DWORD code = 0;
      GetExitCodeProcess(process_.hProcess, &code);
      char text[96];
      std::snprintf(text, sizeof(text), "the player ended by itself after %ld steps, exit code 0x%lx", steps_,
                    static_cast<unsigned long>(code));
      Fail(text);
      break;
    }
    main_ = MainWindow() != nullptr ? MainWindow() : main_;
    Step();
    if (GetTickCount() - lastProbe_ >= kProbePeriodMs) Probe();
  }
  const DWORD ranMs = GetTickCount() - start_;
  if (failures_.empty()) {
    // The last figures are taken with playback stopped: a playing graph holds its
    // buffers (several MB for a file with a large tag), which says nothing of growth.
    ServeDialogs(500);
    PostMessageA(main_, WM_COMMAND, IDM_STOP, 0);
    ServeDialogs(1500);
    Probe();
    Finish();
  } else if (Alive()) {
    TerminateProcess(process_.hProcess, 95);
  }

  // Figures: after warm-up (a quarter of the run, at most 5 minutes) and at the end.
  // Memory is compared at rest: the lowest sample in the minute after warm-up and in the
  // last minute (whose last sample has playback stopped), since any one sample may fall
  // while a graph holds its buffers.
  if (samples_.size() >= 2) {
    const DWORD warmMs = std::min<DWORD>(ranMs / 4, 300000);
    const Sample* warm = &samples_.front();
    for (const Sample& sample : samples_) {
      if (sample.atMs >= warmMs) {
        warm = &sample;
        break;
      }
    }
    const Sample& end = samples_.back();
    const auto lowest = [&](DWORD from, DWORD to, SIZE_T Sample::*figure) {
      SIZE_T least = 0;
      for (const Sample& sample : samples_) {
        if (sample.atMs < from || sample.atMs > to) continue;
        if (least == 0 || sample.*figure < least) least = sample.*figure;
      }
      return least;
    };
    const DWORD endFrom = end.atMs > warm->atMs + 60000 ? end.atMs - 60000 : end.atMs;
    const SIZE_T warmPrivate = lowest(warm->atMs, warm->atMs + 60000, &Sample::privateBytes);
    const SIZE_T endPrivate = lowest(endFrom, end.atMs, &Sample::privateBytes);
    const double growthMb = (static_cast<double>(endPrivate) - static_cast<double>(warmPrivate)) / 1048576.0;
    std::printf("steps: %ld in %.1f s (%.0f a minute); dialogs served %d, second starts %d\n", steps_, ranMs / 1000.0,
                steps_ * 60000.0 / std::max<DWORD>(ranMs, 1), dialogsServed_, secondStarts_);
    std::printf("private bytes at rest: %.1f MB after warm-up (%.0f s), %.1f MB at the end (growth %.1f MB)\n",
                warmPrivate / 1048576.0, warm->atMs / 1000.0, endPrivate / 1048576.0, growthMb);
    if (unixPid_ != 0) {
      const SIZE_T warmUnix = lowest(warm->atMs, warm->atMs + 60000, &Sample::unixAnonymous);
      const SIZE_T endUnix = lowest(endFrom, end.atMs, &Sample::unixAnonymous);
      std::printf(
          "Linux anonymous memory at rest: %.1f MB after warm-up, %.1f MB at the end (growth %.1f MB;\n"
          " includes what Wine's Linux-side libraries hold)\n",
          warmUnix / 1048576.0, endUnix / 1048576.0,
          (static_cast<double>(endUnix) - static_cast<double>(warmUnix)) / 1048576.0);
    }
    std::printf("handles: %lu after warm-up, %lu at the end; GDI %lu -> %lu; USER %lu -> %lu\n",
                static_cast<unsigned long>(warm->handles), static_cast<unsigned long>(end.handles),
                static_cast<unsigned long>(warm->gdi), static_cast<unsigned long>(end.gdi),
                static_cast<unsigned long>(warm->user), static_cast<unsigned long>(end.user));
    if (walkedMemory_) {
      std::printf("(no memory counters for another process: private bytes are its committed private regions)\n");
    }
    if (unixFigures_) {
      std::printf(
          "(no handle counts for another process: handles are the Linux process' open file descriptors;\n"
          " GDI and USER counts are not given)\n");
    }
    if (stuckDialogs_ > 0) std::printf("dialogs closed only by WM_CLOSE: %d\n", stuckDialogs_);
    std::printf("longest time without an answer: %.1f s; probes that found the player busy: %d\n",
                longestSilenceMs_ / 1000.0, busyProbes_);
    // Growth limits hold for long runs that went the whole way; a short run's warm-up is
    // too close to its start, and a run cut short by a failure has said why already.
    if (options_.seconds >= 600 && failures_.empty()) {
      if (growthMb > 10.0) Fail("private bytes grew by more than 10 MB after warm-up");
      if (std::abs(static_cast<long>(end.handles) - static_cast<long>(warm->handles)) > 50) {
        Fail("the handle count moved by more than 50 after warm-up");
      }
    }
  }
  std::printf("soak: seed %u: %s\n", options_.seed, failures_.empty() ? "passed" : "FAILED");
  return failures_.empty() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  options.seed = static_cast<unsigned>(GetTickCount() ^ GetCurrentProcessId());
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.rfind("--seed=", 0) == 0) {
      options.seed = static_cast<unsigned>(std::strtoul(argument.c_str() + 7, nullptr, 10));
    } else if (argument.rfind("--seconds=", 0) == 0) {
      options.seconds = std::max(5, std::atoi(argument.c_str() + 10));
    } else if (argument.rfind("--log=", 0) == 0) {
      options.log = argument.substr(6);
    } else if (argument == "--drags") {
      options.drags = true;  // the default; kept for older command lines
    } else if (argument == "--no-drags") {
      options.drags = false;
    } else if (argument == "--no-video") {
      options.noVideo = true;
    } else if (argument == "--trace-memory") {
      options.traceMemory = true;
    } else {
      std::fprintf(
          stderr,
          "usage: soak_driver [--seed=N] [--seconds=N] [--log=path] [--no-drags] [--no-video] [--trace-memory]\n");
      return 2;
    }
  }
  // The drags need OLE on this thread.
  const HRESULT ole = OleInitialize(nullptr);
  Soak soak(options);
  const int code = soak.Run();
  if (SUCCEEDED(ole)) OleUninitialize();
  return code;
}
