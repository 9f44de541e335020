// The release packages as a user meets them under Wine: the installer run silently,
// the installed player playing a file, the uninstaller leaving the user's registry as
// it was; and the portable ZIP unpacked into a folder with a space and Japanese
// characters, registering its filter and playing.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tests/kestrun_process.h"
#include "shell/association_registry_win.h"
#include "shell/file_associations.h"

namespace kestrun::testing {
namespace {

constexpr char kEqualizerClass[] = "CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}";
constexpr DWORD kPlayTimeoutMs = 30000;

std::string PackageFolder() { return BinaryDirectory() + "\\..\\package"; }

// Every key and value below a key, as text, in the order the registry lists them.
void DumpKey(HKEY root, const std::string& path, std::string& out) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  out += "[" + path + "]\n";
  for (DWORD i = 0;; ++i) {
    char name[512];
    DWORD nameSize = sizeof(name);
    BYTE data[2048];
    DWORD dataSize = sizeof(data);
    DWORD type = 0;
    if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
    out += std::string(name, nameSize) + "=" + std::to_string(type) + ":" +
           std::string(reinterpret_cast<char*>(data), dataSize) + "\n";
  }
  std::vector<std::string> children;
  for (DWORD i = 0;; ++i) {
    char name[512];
    DWORD nameSize = sizeof(name);
    if (RegEnumKeyExA(key, i, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    children.emplace_back(name, nameSize);
  }
  RegCloseKey(key);
  for (const auto& child : children) DumpKey(root, path + "\\" + child, out);
}

// What the player and its packages may touch in the user's registry.
std::string PlayerRegistry() {
  std::string dump;
  DumpKey(HKEY_CURRENT_USER, "Software\\QuenfoldSoft", dump);
  DumpKey(HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}", dump);
  DumpKey(HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{E4322822-88AC-ED99-7035-28DDFC327682}", dump);
  DumpKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrun", dump);
  DumpKey(HKEY_CLASSES_ROOT, kEqualizerClass, dump);
  DumpKey(HKEY_CLASSES_ROOT, ".wav", dump);
  DumpKey(HKEY_CLASSES_ROOT, "KSRNwav", dump);
  return dump;
}

// Starts a program and waits for it; its exit code, or -1.
int RunAndWait(const std::string& commandLine, DWORD timeoutMs = 120000) {
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return -1;
  }
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Plays the tone with the player at exe and closes it the user's way.
void PlaysTheTone(const std::string& exe) {
  KestrunProcess player;
  ASSERT_TRUE(player.StartProgram(exe, "\"" + MediaPath("tone.wav") + "\""));
  ASSERT_TRUE(player.WaitForMainWindow());
  EXPECT_TRUE(WaitUntil([&] { return player.Caption() == "tone.wav"; }, kPlayTimeoutMs)) << player.Caption();
  EXPECT_TRUE(WaitUntil([&] { return player.TimeText().find("/00:03") != std::string::npos; }, 10000))
      << player.TimeText();
  EXPECT_EQ(player.Close(), 0);
}

// Starts from a user who never had the player: no settings, no filter registered.
void ForgetThePlayer() {
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QuenfoldSoft");
  RegDeleteTreeA(HKEY_CLASSES_ROOT, kEqualizerClass);
  RegDeleteTreeA(HKEY_CLASSES_ROOT, "KSRNwav");
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}");
}

TEST(Installer, InstallsPlaysAndUninstallsWithoutATrace) {
  ForgetThePlayer();
  // .wav names a class of another program before the install.
  ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, ".wav", REG_SZ, "OtherPlayer.wav", 15), ERROR_SUCCESS);
  const std::string before = PlayerRegistry();
  char base[MAX_PATH] = {};
  GetTempPathA(sizeof(base), base);
  const std::string folder = std::string(base) + "Kestrun Install Test";
  const std::string setup = PackageFolder() + "\\" KESTRUN_PACKAGE_NAME "-setup.exe";
  ASSERT_TRUE(Exists(setup)) << setup;

  // Silent, per user, into a folder whose path holds a space (/D comes last, unquoted).
  ASSERT_EQ(RunAndWait("\"" + setup + "\" /S /D=" + folder), 0);
  for (const char* file : {"\\Kestrun.exe", "\\Equalizer.ax", "\\Skin\\default\\skin.bmp", "\\Uninstall.exe",
                           "\\readme.txt", "\\LICENSE.txt"}) {
    EXPECT_TRUE(Exists(folder + file)) << file;
  }
  PlaysTheTone(folder + "\\Kestrun.exe");
  // The user lets the installed player take .wav, which had a class of its own before.
  shell::RegistryClassRoot classes;
  shell::SettingsAssociationBackup backup;
  ASSERT_TRUE(shell::associateExtension(classes, backup, "wav", folder + "\\Kestrun.exe"));
  ASSERT_TRUE(shell::isAssociated(classes, "wav"));

  // _?= keeps the uninstaller in place, so this process can wait for it.
  EXPECT_EQ(RunAndWait("\"" + folder + "\\Uninstall.exe\" /S _?=" + folder), 0);
  EXPECT_FALSE(Exists(folder + "\\Kestrun.exe"));
  EXPECT_FALSE(Exists(folder + "\\Skin"));
  DeleteFileA((folder + "\\Uninstall.exe").c_str());
  DeleteFileA((folder + "\\default.m3u").c_str());
  RemoveDirectoryA(folder.c_str());
  EXPECT_EQ(PlayerRegistry(), before) << "the uninstaller leaves the player's registry as before the install";
}

TEST(PortableZip, UnpackedIntoAJapaneseFolderRegistersItsFilterAndPlays) {
  ForgetThePlayer();
  const std::string folder = PackageFolder() + "\\ポータブル テスト\\" KESTRUN_PACKAGE_NAME;
  ASSERT_TRUE(Exists(folder + "\\Kestrun.exe")) << folder;
  PlaysTheTone(folder + "\\Kestrun.exe");

  // The first start registered the filter next to the program.
  char server[MAX_PATH * 2] = {};
  LONG size = sizeof(server);
  ASSERT_EQ(RegQueryValueA(HKEY_CLASSES_ROOT, (std::string(kEqualizerClass) + "\\InprocServer32").c_str(), server,
                           &size),
            ERROR_SUCCESS);
  char expected[MAX_PATH * 2] = {};
  GetFullPathNameA((folder + "\\Equalizer.ax").c_str(), sizeof(expected), expected, nullptr);
  EXPECT_EQ(lstrcmpiA(server, expected), 0) << server << " vs " << expected;
  ForgetThePlayer();
}

}  // namespace
}  // namespace kestrun::testing
