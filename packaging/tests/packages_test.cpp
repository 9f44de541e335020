// The release packages as a user meets them under Wine: the installer run silently,
// the installed player playing a file, the uninstaller leaving the user's registry as
// it was; and the portable ZIP unpacked into a folder with a space and Japanese
// characters, registering its filter and playing.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tests/kestrun_process.h"
#include "platform/testing/temp_dir.h"
#include "shell/association_registry_win.h"
#include "shell/file_associations.h"

namespace kestrun::testing {
namespace {

constexpr char kEqualizerClass[] = "CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}";
constexpr DWORD kPlayTimeoutMs = 30000;
// Where the player registers its filter: the user's own classes.
constexpr char kUserFilterServer[] = "Software\\Classes\\CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}\\InprocServer32";
// The 32-bit filter's class in the user's 32-bit view, where the installer registers it.
constexpr char kUserX86FilterClass[] = "Software\\Classes\\Wow6432Node\\CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}";
// The filter's property page, a class of its own that every registration writes beside it.
constexpr char kPageClass[] = "CLSID\\{E4322822-88AC-ED99-7035-28DDFC327682}";
constexpr char kUserPageClass[] = "Software\\Classes\\CLSID\\{E4322822-88AC-ED99-7035-28DDFC327682}";
constexpr char kUserX86PageClass[] = "Software\\Classes\\Wow6432Node\\CLSID\\{E4322822-88AC-ED99-7035-28DDFC327682}";
constexpr WORD kMachineX86 = 0x014C;
constexpr WORD kMachineX64 = 0x8664;

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
  DumpKey(HKEY_CURRENT_USER, kUserPageClass, dump);
  DumpKey(HKEY_CURRENT_USER, kUserX86FilterClass, dump);
  DumpKey(HKEY_CURRENT_USER, kUserX86PageClass, dump);
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

// The machine a module was built for, from its PE header; 0 when it is none.
WORD PeMachine(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  IMAGE_DOS_HEADER dos{};
  DWORD read = 0;
  WORD machine = 0;
  if (ReadFile(file, &dos, sizeof dos, &read, nullptr) && read == sizeof dos && dos.e_magic == IMAGE_DOS_SIGNATURE &&
      SetFilePointer(file, dos.e_lfanew + 4, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER) {
    if (!ReadFile(file, &machine, sizeof machine, &read, nullptr) || read != sizeof machine) machine = 0;
  }
  CloseHandle(file);
  return machine;
}

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
// The page class goes too: a copy registered by an earlier run (a portable folder)
// left it naming that copy, and an uninstall rightly removes it with the filter.
void ForgetThePlayer() {
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\QuenfoldSoft");
  RegDeleteTreeA(HKEY_CLASSES_ROOT, kEqualizerClass);
  RegDeleteTreeA(HKEY_CLASSES_ROOT, kPageClass);
  RegDeleteTreeA(HKEY_CLASSES_ROOT, "KSRNwav");
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}");
  RegDeleteTreeA(HKEY_CURRENT_USER, kUserX86FilterClass);
  RegDeleteTreeA(HKEY_CURRENT_USER, kUserPageClass);
  RegDeleteTreeA(HKEY_CURRENT_USER, kUserX86PageClass);
  // An install a failed run did not take back.
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrun");
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
                           "\\readme.txt", "\\LICENSE.txt", "\\x86\\Equalizer.ax"}) {
    EXPECT_TRUE(Exists(folder + file)) << file;
  }
  EXPECT_EQ(PeMachine(folder + "\\Equalizer.ax"), kMachineX64);
  EXPECT_EQ(PeMachine(folder + "\\x86\\Equalizer.ax"), kMachineX86);
  PlaysTheTone(folder + "\\Kestrun.exe");
  // The user lets the installed player take .wav, which had a class of its own before.
  shell::RegistryClassRoot classes;
  shell::SettingsAssociationBackup backup;
  ASSERT_TRUE(shell::associateExtension(classes, backup, "wav", folder + "\\Kestrun.exe"));
  ASSERT_TRUE(shell::isAssociated(classes, "wav"));

  // _?= keeps the uninstaller in place, so this process can wait for it.
  EXPECT_EQ(RunAndWait("\"" + folder + "\\Uninstall.exe\" /S _?=" + folder), 0);
  EXPECT_FALSE(Exists(folder + "\\Kestrun.exe"));
  EXPECT_FALSE(Exists(folder + "\\Skin")) << "no skin of the user's own: the folder goes";
  EXPECT_FALSE(Exists(folder + "\\x86"));
  DeleteFileA((folder + "\\Uninstall.exe").c_str());
  DeleteFileA((folder + "\\default.m3u").c_str());
  RemoveDirectoryA(folder.c_str());
  EXPECT_EQ(PlayerRegistry(), before) << "the uninstaller leaves the player's registry as before the install";
}

std::string SetupProgram() { return PackageFolder() + "\\" KESTRUN_PACKAGE_NAME "-setup.exe"; }

// A folder of that name in the temporary folder (not made here).
std::string TempFolderNamed(const char* name) {
  char base[MAX_PATH] = {};
  GetTempPathA(sizeof(base), base);
  return std::string(base) + name;
}

// Installs silently into folder; the installer's exit code.
int InstallInto(const std::string& folder) { return RunAndWait("\"" + SetupProgram() + "\" /S /D=" + folder); }

// Uninstalls silently (_?= keeps the uninstaller in place, so this process can wait
// for it) and removes what stays by design: the uninstaller and the playlist.
void UninstallFrom(const std::string& folder) {
  EXPECT_EQ(RunAndWait("\"" + folder + "\\Uninstall.exe\" /S _?=" + folder), 0);
  DeleteFileA((folder + "\\Uninstall.exe").c_str());
  DeleteFileA((folder + "\\default.m3u").c_str());
  RemoveDirectoryA(folder.c_str());
}

// The file's last-write time, or 0 when it cannot be read.
ULONGLONG WriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// Gives a file the last-write time of 1 January 2001, as an older version would have.
bool MakeOld(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  SYSTEMTIME when{};
  when.wYear = 2001;
  when.wMonth = 1;
  when.wDay = 1;
  FILETIME old{};
  const bool set = SystemTimeToFileTime(&when, &old) && SetFileTime(file, nullptr, nullptr, &old);
  CloseHandle(file);
  return set;
}

// Installing over an installed copy that is running: the installer closes the player
// its normal way (it saves), replaces the files it holds and ends silently with 0;
// the new copy then starts and plays.
TEST(Installer, UpgradeOverARunningPlayerClosesItAndReplacesItsFiles) {
  ForgetThePlayer();
  const std::string folder = TempFolderNamed("Kestrun Upgrade Test");
  ASSERT_EQ(InstallInto(folder), 0);
  const std::string exe = folder + "\\Kestrun.exe";
  const std::string filter = folder + "\\Equalizer.ax";
  const ULONGLONG shipped = WriteTime(exe);
  ASSERT_NE(shipped, 0u);
  ASSERT_TRUE(MakeOld(exe));
  ASSERT_TRUE(MakeOld(filter));
  const ULONGLONG old = WriteTime(exe);
  ASSERT_NE(old, shipped);

  KestrunProcess player;
  ASSERT_TRUE(player.StartProgram(exe, "\"" + MediaPath("tone.wav") + "\""));
  ASSERT_TRUE(player.WaitForMainWindow());
  ASSERT_TRUE(WaitUntil([&] { return player.Caption() == "tone.wav"; }, kPlayTimeoutMs)) << player.Caption();

  EXPECT_EQ(InstallInto(folder), 0);
  // Exit code 0: the player's own close sequence ran, not an end from outside.
  EXPECT_EQ(player.WaitForExit(10000), 0) << "the installer closed the running player";
  EXPECT_EQ(WriteTime(exe), shipped) << "Kestrun.exe replaced";
  EXPECT_NE(WriteTime(filter), old) << "Equalizer.ax replaced";
  PlaysTheTone(exe);
  UninstallFrom(folder);
  ForgetThePlayer();
}

// The list of installed programs shows the install's size, in KB.
TEST(Installer, UninstallEntryGivesTheSizeInKilobytes) {
  ForgetThePlayer();
  const std::string folder = TempFolderNamed("Kestrun Size Test");
  ASSERT_EQ(InstallInto(folder), 0);
  DWORD kilobytes = 0;
  DWORD size = sizeof(kilobytes);
  EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrun",
                         "EstimatedSize", RRF_RT_REG_DWORD, nullptr, &kilobytes, &size),
            ERROR_SUCCESS);
  WIN32_FILE_ATTRIBUTE_DATA exe{};
  ASSERT_TRUE(GetFileAttributesExA((folder + "\\Kestrun.exe").c_str(), GetFileExInfoStandard, &exe));
  // At least the program itself, and not absurdly more than what was shipped.
  EXPECT_GE(kilobytes, exe.nFileSizeLow / 1024);
  EXPECT_LT(kilobytes, 200u * 1024u);
  UninstallFrom(folder);
  ForgetThePlayer();
}

// The installer names its product and version in its own version resource.
TEST(Installer, CarriesTheProductVersion) {
  const std::string setup = PackageFolder() + "\\" KESTRUN_PACKAGE_NAME "-setup.exe";
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(setup.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "no version resource";
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(setup.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  const std::string version = std::to_string(HIWORD(fixed->dwProductVersionMS)) + "." +
                              std::to_string(LOWORD(fixed->dwProductVersionMS)) + "." +
                              std::to_string(HIWORD(fixed->dwProductVersionLS));
  // The package name is "Kestrun-<version>".
  EXPECT_EQ("Kestrun-" + version, KESTRUN_PACKAGE_NAME);
  EXPECT_EQ(LOWORD(fixed->dwProductVersionLS), 0);
}

// A class-root key's default text, or "<none>" when the key or its default is missing.
std::string DefaultText(HKEY root, const std::string& path) {
  char text[512] = {};
  DWORD size = sizeof(text);
  if (RegGetValueA(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text, &size) != ERROR_SUCCESS) return "<none>";
  return text;
}

bool KeyExists(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void SetDefault(HKEY root, const std::string& path, const std::string& text) {
  ASSERT_EQ(RegSetKeyValueA(root, path.c_str(), nullptr, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1)),
            ERROR_SUCCESS)
      << path;
}

// What the player writes for one file type in the user's own classes: the extension
// naming its class, the class with verb, command and icon, the class among the
// extension's "Open with" classes, and its entry under Applications.
void AssociatePerUser(const std::string& extension, const std::string& exe) {
  const std::string classes = "Software\\Classes\\";
  const std::string className = "KSRN" + extension;
  SetDefault(HKEY_CURRENT_USER, classes + "." + extension, className);
  SetDefault(HKEY_CURRENT_USER, classes + className + "\\shell\\open\\command", "\"" + exe + "\" \"%1\"");
  SetDefault(HKEY_CURRENT_USER, classes + className + "\\DefaultIcon", exe + ",1");
  ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, (classes + "." + extension + "\\OpenWithProgids").c_str(),
                            className.c_str(), REG_NONE, nullptr, 0),
            ERROR_SUCCESS);
  SetDefault(HKEY_CURRENT_USER, classes + "Applications\\Kestrun.exe\\shell\\open\\command", "\"" + exe + "\" \"%1\"");
  ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, (classes + "Applications\\Kestrun.exe\\SupportedTypes").c_str(),
                            ("." + extension).c_str(), REG_SZ, "", 1),
            ERROR_SUCCESS);
}

void ForgetTheTypes() {
  for (const char* extension : {"mid", "mp3", "avi"}) {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string(".") + extension).c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("KSRN") + extension).c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, (std::string("Software\\Classes\\.") + extension).c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, (std::string("Software\\Classes\\KSRN") + extension).c_str());
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Classes\\Applications\\Kestrun.exe");
}

// The uninstaller walks every file type the player offers, not only those with a
// backup; gives back a type only while it still names the player's class; removes
// only the skins it installed; and closes a running player the way its own close
// does, so the player saves before its files go.
TEST(Uninstaller, GivesBackEveryTypeKeepsOthersAndUserSkinsAndClosesThePlayer) {
  ForgetThePlayer();
  ForgetTheTypes();
  char base[MAX_PATH] = {};
  GetTempPathA(sizeof(base), base);
  const std::string folder = std::string(base) + "Kestrun Uninstall Test";
  const std::string setup = PackageFolder() + "\\" KESTRUN_PACKAGE_NAME "-setup.exe";
  ASSERT_EQ(RunAndWait("\"" + setup + "\" /S /D=" + folder), 0);
  const std::string exe = folder + "\\Kestrun.exe";

  // The install registered the filter for this user alone.
  char server[MAX_PATH * 2] = {};
  DWORD size = sizeof(server);
  EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER,
                         "Software\\Classes\\CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}\\InprocServer32", nullptr,
                         RRF_RT_REG_SZ, nullptr, server, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(lstrcmpiA(server, (folder + "\\Equalizer.ax").c_str()), 0) << server;
  // And the 32-bit filter for 32-bit programs, in the user's 32-bit view.
  size = sizeof(server);
  EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, (std::string(kUserX86FilterClass) + "\\InprocServer32").c_str(), nullptr,
                         RRF_RT_REG_SZ, nullptr, server, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(lstrcmpiA(server, (folder + "\\x86\\Equalizer.ax").c_str()), 0) << server;

  // .mid had no class before the player took it, per user and machine-wide (no
  // backup is recorded for it). .mp3 was the player's, then another program took it.
  AssociatePerUser("mid", exe);
  AssociatePerUser("mp3", exe);
  SetDefault(HKEY_CLASSES_ROOT, ".mid", "KSRNmid");
  SetDefault(HKEY_CLASSES_ROOT, "KSRNmid\\shell\\open\\command", "\"" + exe + "\" \"%1\"");
  SetDefault(HKEY_CURRENT_USER, "Software\\Classes\\.mp3", "OtherPlayer.mp3");
  // .avi names another program's class and was never the player's.
  SetDefault(HKEY_CURRENT_USER, "Software\\Classes\\.avi", "OtherPlayer.avi");

  // A skin of the user's own, and a picture the user added to a shipped skin.
  const std::string ownSkin = folder + "\\Skin\\mine";
  // A run that stopped half-way may have left it (and the install) behind.
  ASSERT_TRUE(CreateDirectoryA(ownSkin.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  ASSERT_TRUE(kestrun::testing::WriteBytes(ownSkin + "\\skin.bmp", "BM user's own"));
  ASSERT_TRUE(kestrun::testing::WriteBytes(folder + "\\Skin\\default\\mine.bmp", "BM user's own"));

  // The player is running and playing.
  KestrunProcess player;
  ASSERT_TRUE(player.StartProgram(exe, "\"" + MediaPath("tone.wav") + "\""));
  ASSERT_TRUE(player.WaitForMainWindow());
  ASSERT_TRUE(WaitUntil([&] { return player.Caption() == "tone.wav"; }, kPlayTimeoutMs)) << player.Caption();

  EXPECT_EQ(RunAndWait("\"" + folder + "\\Uninstall.exe\" /S _?=" + folder), 0);
  // Exit code 0 is the end of the player's own message loop, after its close
  // sequence has saved; a process ended from outside reports another code.
  EXPECT_EQ(player.WaitForExit(10000), 0) << "the uninstaller closed the player its normal way";
  EXPECT_FALSE(Exists(exe));

  // No earlier class: the value goes, and with it the key the player made.
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\.mid"));
  EXPECT_EQ(DefaultText(HKEY_CLASSES_ROOT, ".mid"), "<none>");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\KSRNmid"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "KSRNmid"));
  // Taken over since: left to the other program; only the player's own parts go.
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, "Software\\Classes\\.mp3"), "OtherPlayer.mp3");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\KSRNmp3"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\.mp3\\OpenWithProgids"));
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, "Software\\Classes\\.avi"), "OtherPlayer.avi");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\Applications\\Kestrun.exe"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kUserX86FilterClass));

  // Shipped skins go; the user's own stay.
  EXPECT_FALSE(Exists(folder + "\\Skin\\default\\skin.bmp"));
  EXPECT_TRUE(Exists(ownSkin + "\\skin.bmp"));
  EXPECT_TRUE(Exists(folder + "\\Skin\\default\\mine.bmp"));

  DeleteFileA((ownSkin + "\\skin.bmp").c_str());
  RemoveDirectoryA(ownSkin.c_str());
  DeleteFileA((folder + "\\Skin\\default\\mine.bmp").c_str());
  RemoveDirectoryA((folder + "\\Skin\\default").c_str());
  RemoveDirectoryA((folder + "\\Skin").c_str());
  DeleteFileA((folder + "\\Uninstall.exe").c_str());
  DeleteFileA((folder + "\\default.m3u").c_str());
  RemoveDirectoryA(folder.c_str());
  ForgetTheTypes();
}

// A portable folder moved (or another copy run): the registration still names a
// working copy elsewhere, and the marker says "registered". The player registers its
// own copy instead of using the other one.
TEST(PortableZip, CopyRegisteredElsewhereRegistersItselfAtItsOwnPlace) {
  ForgetThePlayer();
  const std::string folder = PackageFolder() + "\\ポータブル テスト\\" KESTRUN_PACKAGE_NAME;
  const std::string elsewhere = BinaryDirectory() + "\\Equalizer.ax";
  ASSERT_TRUE(Exists(elsewhere));
  const std::string serverKey = std::string(kEqualizerClass) + "\\InprocServer32";
  ASSERT_EQ(RegSetValueA(HKEY_CLASSES_ROOT, serverKey.c_str(), REG_SZ, elsewhere.c_str(),
                         static_cast<DWORD>(elsewhere.size())),
            ERROR_SUCCESS);
  ASSERT_EQ(
      RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\QuenfoldSoft\\Tovrin\\Player", "RegisterEQ", REG_SZ, "004", 4),
      ERROR_SUCCESS);
  PlaysTheTone(folder + "\\Kestrun.exe");

  // Registered for this user (whose classes win over the machine's), never for the
  // whole machine from a folder of the user's.
  char server[MAX_PATH * 2] = {};
  DWORD size = sizeof(server);
  ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, kUserFilterServer, nullptr, RRF_RT_REG_SZ, nullptr, server, &size),
            ERROR_SUCCESS);
  char expected[MAX_PATH * 2] = {};
  GetFullPathNameA((folder + "\\Equalizer.ax").c_str(), sizeof(expected), expected, nullptr);
  EXPECT_EQ(lstrcmpiA(server, expected), 0) << server << " vs " << expected;
  ForgetThePlayer();
}

TEST(PortableZip, UnpackedIntoAJapaneseFolderRegistersItsFilterAndPlays) {
  ForgetThePlayer();
  const std::string folder = PackageFolder() + "\\ポータブル テスト\\" KESTRUN_PACKAGE_NAME;
  ASSERT_TRUE(Exists(folder + "\\Kestrun.exe")) << folder;
  EXPECT_EQ(PeMachine(folder + "\\x86\\Equalizer.ax"), kMachineX86) << "the ZIP carries the 32-bit filter";
  PlaysTheTone(folder + "\\Kestrun.exe");

  // The first start registered the filter next to the program, for this user.
  char server[MAX_PATH * 2] = {};
  DWORD size = sizeof(server);
  ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, kUserFilterServer, nullptr, RRF_RT_REG_SZ, nullptr, server, &size),
            ERROR_SUCCESS);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kEqualizerClass)) << "registered for the whole machine";
  char expected[MAX_PATH * 2] = {};
  GetFullPathNameA((folder + "\\Equalizer.ax").c_str(), sizeof(expected), expected, nullptr);
  EXPECT_EQ(lstrcmpiA(server, expected), 0) << server << " vs " << expected;
  ForgetThePlayer();
}

}  // namespace
}  // namespace kestrun::testing
