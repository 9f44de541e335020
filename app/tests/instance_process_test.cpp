// The real Kestrun.exe in a folder the code page cannot name, and second starts that
// hand their paths to a running player that is busy.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

#include "app/instance_handoff_win.h"
#include "app/tests/kestrun_process.h"
#include "platform/testing/temp_dir.h"
#include "platform/testing/wide_files_win.h"

namespace kestrun::testing {
namespace {

namespace fs = std::filesystem;

constexpr DWORD kPlayTimeoutMs = 30000;

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

// A copy of the player with what it finds next to itself, in folder (made here).
fs::path CopyPlayer(const fs::path& folder) {
  const fs::path built = WidePath(BinaryDirectory());
  fs::create_directories(folder);
  fs::copy_file(built / "Kestrun.exe", folder / "Kestrun.exe");
  fs::copy_file(built / "Equalizer.ax", folder / "Equalizer.ax");
  fs::copy(built / "Skin", folder / "Skin", fs::copy_options::recursive);
  return folder / "Kestrun.exe";
}

TEST(ProgramFolder, PlayerInAFolderTheCodePageLacksFindsItsFilesAndSavesItsPlaylistThere) {
  // "é" and "Å" have no code in code page 932: the folder's ANSI name would hold "?".
  TempDir dir;
  const fs::path folder = fs::path(WidePath(dir.path())) / L"Jos\u00E9_\u00C5lborg";
  const fs::path exe = CopyPlayer(folder);
  KestrunProcess player;
  ASSERT_TRUE(player.StartProgramWide(exe.wstring(), WidePath(Quoted(MediaPath("tone.wav")))));
  ASSERT_TRUE(player.WaitForMainWindow());
  EXPECT_TRUE(WaitUntil([&] { return player.Caption() == "tone.wav"; }, kPlayTimeoutMs)) << player.Caption();
  EXPECT_EQ(player.Close(), 0);
  // The close saves the playlist next to the program; with a "?" folder nothing was written.
  EXPECT_TRUE(fs::exists(folder / "default.m3u"));
}

// Holds the player's user-interface thread still, as a long graph build or a slow
// disk does, until released.
class BusyPlayer {
 public:
  explicit BusyPlayer(HWND main) {
    thread_ = OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(main, nullptr));
    if (thread_ != nullptr && SuspendThread(thread_) == static_cast<DWORD>(-1)) Release();
  }
  ~BusyPlayer() { Release(); }
  BusyPlayer(const BusyPlayer&) = delete;
  BusyPlayer& operator=(const BusyPlayer&) = delete;
  bool busy() const { return thread_ != nullptr; }
  void Release() {
    if (thread_ == nullptr) return;
    ResumeThread(thread_);
    CloseHandle(thread_);
    thread_ = nullptr;
  }

 private:
  HANDLE thread_ = nullptr;
};

TEST(Handoff, QuickStartsWhileThePlayerIsBusyAreAllTakenAndTheLastPlays) {
  KestrunProcess first;
  ASSERT_TRUE(first.Start(""));
  ASSERT_TRUE(first.WaitForMainWindow());
  ASSERT_TRUE(WaitUntil([&] { return first.TitleText() == "Quenfold' Ambrel"; }, kPlayTimeoutMs));

  // Seven starts at once, as Explorer starts one process per file of a selection, then
  // one more that comes last; all of them while the player cannot answer.
  const std::vector<std::string> files = {"tone.mp3", "tone.wav",  "short.wav", "tone.mp3",
                                          "tone.wav", "short.wav", "tone.mp3",  "tone.wav"};
  std::vector<std::unique_ptr<KestrunProcess>> starts;
  BusyPlayer busy(first.mainWindow());
  ASSERT_TRUE(busy.busy());
  for (std::size_t i = 0; i < files.size(); ++i) {
    if (i + 1 == files.size()) Sleep(3000);  // the seven have sent by now
    starts.push_back(std::make_unique<KestrunProcess>());
    ASSERT_TRUE(starts.back()->Start(Quoted(MediaPath(files[i]))));
  }
  Sleep(1500);
  busy.Release();

  for (auto& start : starts) EXPECT_EQ(start->WaitForExit(20000), 0);
  EXPECT_TRUE(WaitUntil([&] { return first.Caption() == files.back(); }, kPlayTimeoutMs)) << first.Caption();
  EXPECT_TRUE(WaitUntil([&] { return first.TimeText().find("/00:03") != std::string::npos; }, 5000))
      << first.TimeText();
  EXPECT_EQ(first.Close(), 0);
}

TEST(Handoff, PathLongerThanAnAtomNameReachesTheRunningPlayerWhole) {
  // 258 bytes in all, with a name that is not 8.3: an atom holds at most 255 and a short
  // form would show another name.
  TempDir dir;
  const std::string name = "a tone handed over by its long name.wav";
  const std::size_t folderLength = 258 - dir.path().size() - 2 - name.size();
  const std::string folder = dir.File(std::string(folderLength, 'f'));
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
  const std::string path = folder + "\\" + name;
  ASSERT_EQ(path.size(), 258u);
  ASSERT_TRUE(WriteBytes(path, ReadBytes(MediaPath("tone.wav"))));

  KestrunProcess first;
  ASSERT_TRUE(first.Start(""));
  ASSERT_TRUE(first.WaitForMainWindow());
  KestrunProcess second;
  ASSERT_TRUE(second.Start(Quoted(path)));
  EXPECT_EQ(second.WaitForExit(20000), 0);
  EXPECT_TRUE(WaitUntil([&] { return first.Caption() == name; }, kPlayTimeoutMs)) << first.Caption();
  EXPECT_EQ(first.Close(), 0);
}

// What a running player takes from WM_COPYDATA: only its own records, whole.
TEST(Handoff, OnlyWholeHandoffRecordsAreTakenAsPaths) {
  // A real record, learned from what a second start sends to a window of ours.
  struct Capture {
    COPYDATASTRUCT record{};
    std::wstring bytes;
  } capture;
  HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&capture));
  SetWindowLongPtrW(window, GWLP_WNDPROC,
                    reinterpret_cast<LONG_PTR>(+[](HWND w, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                      if (message != WM_COPYDATA) return DefWindowProcW(w, message, wParam, lParam);
                      auto* c = reinterpret_cast<Capture*>(GetWindowLongPtrW(w, GWLP_USERDATA));
                      const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
                      c->record = *data;
                      c->bytes.assign(static_cast<const wchar_t*>(data->lpData), data->cbData / sizeof(wchar_t));
                      return TRUE;
                    }));
  const std::wstring path = L"C:\\M\u00FCller \u00C5lborg\\\U00020BB7.mp3";
  EXPECT_EQ(app::SendHandoff({window}, path), 1);
  DestroyWindow(window);

  COPYDATASTRUCT record = capture.record;
  std::wstring bytes = capture.bytes;
  record.lpData = bytes.data();
  EXPECT_EQ(app::HandoffPathFromCopyData(&record), path);

  std::wstring withEnd = bytes + L'\0';
  COPYDATASTRUCT terminated = record;
  terminated.lpData = withEnd.data();
  terminated.cbData += sizeof(wchar_t);
  EXPECT_EQ(app::HandoffPathFromCopyData(&terminated), path);

  COPYDATASTRUCT foreign = record;
  foreign.dwData += 1;
  COPYDATASTRUCT oddSize = record;
  oddSize.cbData -= 1;
  COPYDATASTRUCT empty = record;
  empty.cbData = 0;
  COPYDATASTRUCT noData = record;
  noData.lpData = nullptr;
  std::wstring inner = bytes;
  inner[3] = L'\0';
  COPYDATASTRUCT nulInside = record;
  nulInside.lpData = inner.data();
  std::wstring huge(40000, L'a');
  COPYDATASTRUCT tooLong = record;
  tooLong.lpData = huge.data();
  tooLong.cbData = static_cast<DWORD>(huge.size() * sizeof(wchar_t));
  for (const COPYDATASTRUCT* refused : {&foreign, &oddSize, &empty, &noData, &nulInside, &tooLong}) {
    EXPECT_EQ(app::HandoffPathFromCopyData(refused), std::nullopt);
  }
  EXPECT_EQ(app::HandoffPathFromCopyData(nullptr), std::nullopt);
}

}  // namespace
}  // namespace kestrun::testing
