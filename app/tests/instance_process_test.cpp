// The real Kestrun.exe in a folder the code page cannot name, and second starts that
// hand their paths to a running player that is busy.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

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

}  // namespace
}  // namespace kestrun::testing
