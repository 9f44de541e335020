// Opening a media file through the player's association: the shell runs the
// association's command, whose second instance hands the path to the running player.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include "app/tests/kestrun_process.h"
#include "platform/testing/temp_dir.h"
#include "shell/association_registry_win.h"

namespace kestrun::testing {
namespace {

std::optional<std::string> ClassRootDefault(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
  char text[1024] = {};
  DWORD size = sizeof(text) - 1;
  const LONG result = RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return std::nullopt;
  return std::string(text);
}

// Puts ".wav" back as it was before the test, whatever the test left: in the user's
// classes and in the class root that Wine's shell reads.
class WavAssociationGuard {
 public:
  WavAssociationGuard() : earlier_(ClassRootDefault(".wav")) {}
  ~WavAssociationGuard() {
    shell::RegistryClassRoot root;
    shell::SettingsAssociationBackup backup;
    shell::restoreExtension(root, backup, "wav");
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Classes\\.wav");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Classes\\.wav");
    root.DeleteTree(shell::ClassRoot::Scope::User, "KSRNwav");
    shell::RegistryClassRoot wineShell = WineShellClassRoot();
    if (earlier_) {
      wineShell.WriteDefault(shell::ClassRoot::Scope::User, ".wav", *earlier_);
    } else {
      HKEY key = nullptr;
      if (RegOpenKeyExA(HKEY_CLASSES_ROOT, ".wav", 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, nullptr);
        RegCloseKey(key);
      }
    }
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ".wav\\OpenWithProgids");
    RegDeleteKeyA(HKEY_CLASSES_ROOT, ".wav\\OpenWithProgids");
    wineShell.DeleteTree(shell::ClassRoot::Scope::User, "KSRNwav");
  }

  // Wine does not merge the user's classes into HKEY_CLASSES_ROOT, which its shell
  // reads; this class root writes "the user's classes" there instead.
  static shell::RegistryClassRoot WineShellClassRoot() {
    return shell::RegistryClassRoot({HKEY_CLASSES_ROOT, ""}, {HKEY_LOCAL_MACHINE, "Software\\Classes"},
                                    {HKEY_CLASSES_ROOT, ""}, {HKEY_CURRENT_USER, "Software\\KestrunTests\\NoChoices"});
  }

 private:
  std::optional<std::string> earlier_;
};

TEST(AssociationLaunch, MediaPathWithSpacesReachesTheRunningPlayerWhole) {
  // The program that the association starts sits under a folder with spaces, and so
  // does the media file.
  TempDir scratch;
  const std::string programDirectory = scratch.File("Program Files Kestrun");
  const std::string mediaDirectory = scratch.File("My Music");
  ASSERT_TRUE(CreateDirectoryA(programDirectory.c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(mediaDirectory.c_str(), nullptr));
  const std::string program = programDirectory + "\\Kestrun.exe";
  const std::string media = mediaDirectory + "\\my tone.wav";
  ASSERT_TRUE(CopyFileA((BinaryDirectory() + "\\Kestrun.exe").c_str(), program.c_str(), FALSE));
  ASSERT_TRUE(CopyFileA(MediaPath("tone.wav").c_str(), media.c_str(), FALSE));

  WavAssociationGuard guard;
  shell::RegistryClassRoot root;
  shell::SettingsAssociationBackup backup;
  ASSERT_TRUE(shell::associateExtension(root, backup, "wav", program));
  EXPECT_TRUE(shell::isAssociated(root, "wav"));
  // What Windows would read through its merged class root, put where Wine's shell reads.
  shell::RegistryClassRoot wineShell = WavAssociationGuard::WineShellClassRoot();
  ASSERT_TRUE(shell::associateExtension(wineShell, backup, "wav", program));
  shell::NotifyAssociationsChanged();
  // Wine quotes an unquoted program path by itself, so the text is checked as well.
  EXPECT_EQ(root.ReadDefaultIn(shell::ClassRoot::Scope::User, shell::CommandKey("KSRNwav")),
            "\"" + program + "\" \"%1\"");

  KestrunProcess player;
  ASSERT_TRUE(player.Start(""));
  ASSERT_TRUE(player.WaitForMainWindow());
  ASSERT_TRUE(WaitUntil([&] { return player.TitleText() == "Quenfold' Ambrel"; }, 30000));

  SHELLEXECUTEINFOA open{};
  open.cbSize = sizeof(open);
  open.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
  open.lpFile = media.c_str();
  open.nShow = SW_SHOWNORMAL;
  ASSERT_TRUE(ShellExecuteExA(&open)) << GetLastError();
  if (open.hProcess != nullptr) {
    EXPECT_EQ(WaitForSingleObject(open.hProcess, 15000), WAIT_OBJECT_0) << "the second instance hands over and ends";
    CloseHandle(open.hProcess);
  }
  EXPECT_TRUE(WaitUntil([&] { return player.Caption() == "my tone.wav"; }, 30000)) << player.Caption();
  EXPECT_EQ(player.Close(), 0);
}

}  // namespace
}  // namespace kestrun::testing
