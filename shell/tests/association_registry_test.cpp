// Associations in the registry: the real classes of this user and the machine, the
// settings' backup, and the dialog against scratch keys, driven with the real pointer.
//
// Wine lets every write through, so a user without administrator rights is played by a
// class root that refuses the machine-wide classes (and, where a test says so, some of
// the user's own keys) in front of the real registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "resources/resource_ids.h"
#include "shell/association_dialog_win.h"
#include "shell/association_registry_win.h"
#include "platform/testing/real_input_win.h"

namespace kestrun::shell {
namespace {

using Scope = ClassRoot::Scope;

constexpr char kBackupKey[] = "Software\\QuenfoldSoft\\Tovrin\\Registry";
constexpr char kUserClasses[] = "Software\\Classes";
constexpr char kMachineClasses[] = "Software\\Classes";
constexpr char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr char kScratchKey[] = "Software\\KestrunTests";
constexpr char kModule[] = "C:\\Program Files\\Kestrun\\Kestrun.exe";
// The control that holds a message box's text.
constexpr int kMessageBoxText = 0xFFFF;

std::string Under(const char* parent, const std::string& path) { return std::string(parent) + "\\" + path; }

std::optional<std::string> ValueText(HKEY root, const std::string& path, const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
  char text[512] = {};
  DWORD size = sizeof(text) - 1;
  DWORD type = 0;
  const LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return std::nullopt;
  return std::string(text, type == REG_NONE ? 0 : strlen(text));
}

std::optional<std::string> DefaultText(HKEY root, const std::string& path) { return ValueText(root, path, nullptr); }

std::optional<std::string> BackupValue(const std::string& extension) {
  return ValueText(HKEY_CURRENT_USER, kBackupKey, extension.c_str());
}

bool KeyExists(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void SetValue(HKEY root, const std::string& path, const char* name, const std::string& text) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
}

void SetDefault(HKEY root, const std::string& path, const std::string& text) { SetValue(root, path, nullptr, text); }

void DeleteKeyTree(HKEY root, const std::string& path) {
  RegDeleteTreeA(root, path.c_str());
  RegDeleteKeyA(root, path.c_str());
}

// A user without administrator rights in front of a real class root: machine-wide
// writes are refused (and counted), and so are writes to the user's keys listed.
class StandardAccountClassRoot final : public ClassRoot {
 public:
  explicit StandardAccountClassRoot(ClassRoot& real) : real_(real) {}

  std::optional<std::string> ReadDefault(const std::string& key) override { return real_.ReadDefault(key); }
  std::optional<std::string> ReadDefaultIn(Scope scope, const std::string& key) override {
    return real_.ReadDefaultIn(scope, key);
  }
  bool WriteDefault(Scope scope, const std::string& key, const std::string& text) override {
    return Allowed(scope, key) && real_.WriteDefault(scope, key, text);
  }
  bool WriteValueName(Scope scope, const std::string& key, const std::string& name) override {
    return Allowed(scope, key) && real_.WriteValueName(scope, key, name);
  }
  bool DeleteValue(Scope scope, const std::string& key, const std::string& name) override {
    return Allowed(scope, key) && real_.DeleteValue(scope, key, name);
  }
  bool DeleteTree(Scope scope, const std::string& key) override {
    return Allowed(scope, key) && real_.DeleteTree(scope, key);
  }
  std::optional<std::string> ReadUserChoice(std::string_view extension) override {
    return real_.ReadUserChoice(extension);
  }

  std::set<std::string> refusedUserKeys;
  int machineAttempts = 0;

 private:
  bool Allowed(Scope scope, const std::string& key) {
    if (scope == Scope::Machine) {
      ++machineAttempts;
      return false;
    }
    return refusedUserKeys.count(key) == 0;
  }

  ClassRoot& real_;
};

// Extensions of the tests' own in the real classes of this user and of the machine,
// and a clean backup.
class ClassRootAssociations : public ::testing::Test {
 protected:
  void SetUp() override { CleanUp(); }
  void TearDown() override { CleanUp(); }
  void CleanUp() {
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      for (const char* extension : {"kstnew", "kstold"}) {
        DeleteKeyTree(hive, Under(kUserClasses, ExtensionKey(extension)));
        DeleteKeyTree(hive, Under(kUserClasses, ClassNameFor(extension)));
      }
    }
    DeleteKeyTree(HKEY_CURRENT_USER, Under(kFileExts, ".wma"));
    RegDeleteTreeA(HKEY_CURRENT_USER, kBackupKey);
  }

  RegistryClassRoot real_;
  StandardAccountClassRoot root_{real_};
  SettingsAssociationBackup backup_;
};

TEST_F(ClassRootAssociations, WithoutEarlierClassTheExtensionStaysOursAfterRestore) {
  EXPECT_FALSE(isAssociated(root_, "kstnew"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Under(kUserClasses, ".kstnew"))) << "looking writes nothing";
  ASSERT_TRUE(associateExtension(root_, backup_, "kstnew", kModule));
  EXPECT_TRUE(isAssociated(root_, "kstnew"));
  EXPECT_TRUE(isAssociated(real_, "kstnew")) << "the player's own class root reads the user's classes";
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, Under(kUserClasses, ".kstnew")), "KSRNkstnew");
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, Under(kUserClasses, "KSRNkstnew\\shell")), std::string(kPlayVerb));
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, Under(kUserClasses, CommandKey("KSRNkstnew"))),
            "\"C:\\Program Files\\Kestrun\\Kestrun.exe\" \"%1\"");
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, Under(kUserClasses, "KSRNkstnew\\DefaultIcon")),
            "C:\\Program Files\\Kestrun\\Kestrun.exe,1");
  EXPECT_EQ(ValueText(HKEY_CURRENT_USER, Under(kUserClasses, ".kstnew\\OpenWithProgids"), "KSRNkstnew"), "");
  EXPECT_EQ(BackupValue("kstnew"), std::nullopt);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Under(kMachineClasses, ".kstnew")));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Under(kMachineClasses, "KSRNkstnew")));
  EXPECT_EQ(root_.machineAttempts, 0);

  EXPECT_EQ(restoreExtension(root_, backup_, "kstnew"), RestoreResult::NothingKept);
  EXPECT_TRUE(isAssociated(root_, "kstnew"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Under(kUserClasses, "KSRNkstnew\\shell")));
}

TEST_F(ClassRootAssociations, EarlierMachineWideClassComesBackAndTheUsersClassTreeGoes) {
  SetDefault(HKEY_LOCAL_MACHINE, Under(kMachineClasses, ".kstold"), "OldPlayer.File");
  ASSERT_TRUE(associateExtension(root_, backup_, "kstold", kModule, "%s file"));
  EXPECT_EQ(BackupValue("kstold"), "OldPlayer.File");
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, Under(kUserClasses, ".kstold")), "KSRNkstold");
  EXPECT_EQ(DefaultText(HKEY_LOCAL_MACHINE, Under(kMachineClasses, ".kstold")), "OldPlayer.File");
  // Explorer's type name, and the "open" verb beside the player's own.
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, Under(kUserClasses, "KSRNkstold")), "KSTOLD file");
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, Under(kUserClasses, OpenVerbCommandKey("KSRNkstold"))),
            "\"C:\\Program Files\\Kestrun\\Kestrun.exe\" \"%1\"");

  ASSERT_EQ(restoreExtension(root_, backup_, "kstold"), RestoreResult::Restored);
  EXPECT_EQ(real_.ReadDefault(".kstold"), "OldPlayer.File");
  EXPECT_EQ(ValueText(HKEY_CURRENT_USER, Under(kUserClasses, ".kstold"), ""), std::nullopt)
      << "the machine's class was copied into the user's own";
  EXPECT_EQ(BackupValue("kstold"), kNotChanged);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, Under(kUserClasses, "KSRNkstold")))
      << "shell, command and icon keys included";
  EXPECT_EQ(ValueText(HKEY_CURRENT_USER, Under(kUserClasses, ".kstold\\OpenWithProgids"), "KSRNkstold"), std::nullopt);

  // A second restore does nothing.
  SetDefault(HKEY_CURRENT_USER, Under(kUserClasses, ".kstold"), "ChosenLater");
  EXPECT_EQ(restoreExtension(root_, backup_, "kstold"), RestoreResult::NothingKept);
  EXPECT_EQ(real_.ReadDefault(".kstold"), "ChosenLater");
  EXPECT_EQ(BackupValue("kstold"), kNotChanged);
}

TEST_F(ClassRootAssociations, MachineWideClassOfAnEarlierVersionIsGivenBackForThisUserWithoutRights) {
  SetDefault(HKEY_LOCAL_MACHINE, Under(kMachineClasses, ".kstold"), "KSRNkstold");
  SetDefault(HKEY_LOCAL_MACHINE, Under(kMachineClasses, CommandKey("KSRNkstold")), OpenCommand("C:\\old\\K.exe"));
  SetValue(HKEY_CURRENT_USER, kBackupKey, "kstold", "OldPlayer.File");
  ASSERT_TRUE(isAssociated(root_, "kstold"));

  EXPECT_EQ(restoreExtension(root_, backup_, "kstold"), RestoreResult::Restored);
  EXPECT_FALSE(isAssociated(root_, "kstold"));
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, Under(kUserClasses, ".kstold")), "OldPlayer.File");
  EXPECT_EQ(DefaultText(HKEY_LOCAL_MACHINE, Under(kMachineClasses, ".kstold")), "KSRNkstold") << "not writable";
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, Under(kMachineClasses, "KSRNkstold")));

  // With the rights to, the machine-wide entries are given back as well.
  SetValue(HKEY_CURRENT_USER, kBackupKey, "kstold", "OldPlayer.File");
  DeleteKeyTree(HKEY_CURRENT_USER, Under(kUserClasses, ".kstold"));
  EXPECT_EQ(restoreExtension(real_, backup_, "kstold"), RestoreResult::Restored);
  EXPECT_EQ(DefaultText(HKEY_LOCAL_MACHINE, Under(kMachineClasses, ".kstold")), "OldPlayer.File");
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Under(kMachineClasses, "KSRNkstold")));
}

TEST_F(ClassRootAssociations, WindowsOwnChoiceIsReadFromTheUsersFileExts) {
  EXPECT_TRUE(RowsDecidedByWindows(real_, kModule).empty());
  SetValue(HKEY_CURRENT_USER, Under(kFileExts, ".wma\\UserChoice"), "ProgId", "WMP11.AssocFile.WMA");
  EXPECT_EQ(real_.ReadUserChoice("wma"), "WMP11.AssocFile.WMA");
  EXPECT_EQ(JoinBoxTexts(RowsDecidedByWindows(real_, kModule)), "wma");
  SetValue(HKEY_CURRENT_USER, Under(kFileExts, ".wma\\UserChoice"), "ProgId", "Applications\\Kestrun.exe");
  EXPECT_TRUE(RowsDecidedByWindows(real_, kModule).empty()) << "the user chose the player in Windows";
}

// The dialog against scratch keys standing for the user's classes, the machine's and
// Windows' own choices, with a user without administrator rights.
class AssociationDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CleanUp();
    real_.emplace(RegistryPlace{HKEY_CURRENT_USER, Under(kScratchKey, "User")},
                  RegistryPlace{HKEY_CURRENT_USER, Under(kScratchKey, "Machine")},
                  RegistryPlace{HKEY_CURRENT_USER, Under(kScratchKey, "Machine")},
                  RegistryPlace{HKEY_CURRENT_USER, Under(kScratchKey, "FileExts")});
    root_.emplace(*real_);
  }
  void TearDown() override { CleanUp(); }
  static void CleanUp() {
    DeleteKeyTree(HKEY_CURRENT_USER, kScratchKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, kBackupKey);
  }
  static std::string UserKey(const std::string& path) { return Under(kScratchKey, "User\\" + path); }
  static std::string MachineKey(const std::string& path) { return Under(kScratchKey, "Machine\\" + path); }

  struct Run {
    INT_PTR result = 0;
    std::map<int, bool> boxes;  // as the dialog opened
    std::string message;        // the warning after OK, if one came
  };

  // Opens the dialog on this thread while actions(dialog) acts on it from another, as
  // a user would; a warning box that follows OK is read and closed.
  Run RunDialog(const std::function<void(HWND)>& actions) {
    Run run;
    AssociationDialog dialog(*root_, backup_, kModule);
    dialog.SetDefaultAppsOpener([this](HWND) {
      ++defaultAppsOpened_;
      return true;
    });
    const DWORD thread = GetCurrentThreadId();
    std::thread user([&] {
      HWND window = kestrun::testing::WaitForThreadDialog(thread, IDC_ASSOC_WAV);
      if (window == nullptr) return;
      SetForegroundWindow(window);
      // A user sees the dialog before clicking: it is on the screen (its OK button's
      // text painted) and the pointer has come to rest over it.
      RECT okRect{};
      GetWindowRect(GetDlgItem(window, IDOK), &okRect);
      kestrun::testing::WaitUntil(
          [&] { return kestrun::testing::DarkPixels(kestrun::testing::ScreenPixels(okRect)) > 0; }, 5000);
      RECT frame{};
      GetWindowRect(window, &frame);
      kestrun::testing::MoveTo({(frame.left + frame.right) / 2, frame.top + 4});
      Sleep(300);
      for (const AssociationRow& row : kAssociationRows) {
        run.boxes[row.controlId] = SendMessageA(GetDlgItem(window, row.controlId), BM_GETCHECK, 0, 0) == BST_CHECKED;
      }
      actions(window);
      // A warning after OK: another window of this thread with a message box's text.
      HWND warning = nullptr;
      kestrun::testing::WaitUntil(
          [&] {
            warning = kestrun::testing::FindThreadDialog(thread, kMessageBoxText, window);
            return warning != nullptr || !IsWindow(window);
          },
          10000);
      if (warning != nullptr) {
        char text[512] = {};
        GetDlgItemTextA(warning, kMessageBoxText, text, sizeof(text));
        run.message = text;
        PostMessageA(warning, WM_COMMAND, IDOK, 0);
      }
    });
    run.result = dialog.Show(GetModuleHandleA(nullptr), nullptr);
    user.join();
    return run;
  }

  // Clicks a control of the dialog with the real pointer and waits for its check state
  // to change; the state as the user then sees it.
  static bool ClickBox(HWND dialog, int control) {
    HWND box = GetDlgItem(dialog, control);
    const LRESULT before = SendMessageA(box, BM_GETCHECK, 0, 0);
    kestrun::testing::ClickCentreOf(box);
    kestrun::testing::WaitUntil([&] { return SendMessageA(box, BM_GETCHECK, 0, 0) != before; }, 3000);
    return SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED;
  }

  std::optional<RegistryClassRoot> real_;
  std::optional<StandardAccountClassRoot> root_;
  SettingsAssociationBackup backup_;
  std::atomic<int> defaultAppsOpened_{0};
};

TEST_F(AssociationDialogTest, BoxesShowTheClassRootAndRealClicksThenOkApplyThemPerUser) {
  SetDefault(HKEY_CURRENT_USER, UserKey(".mp3"), "KSRNmp3");
  SetDefault(HKEY_CURRENT_USER, MachineKey(".aif"), "KSRNaif");    // only the aiff half decides the box
  SetDefault(HKEY_CURRENT_USER, MachineKey(".mpeg"), "KSRNmpeg");  // an earlier version's machine-wide entry
  SetDefault(HKEY_CURRENT_USER, MachineKey(".mpg"), "KSRNmpg");
  SetDefault(HKEY_CURRENT_USER, MachineKey(".wav"), "soundrec");
  Run run = RunDialog([](HWND window) { PostMessageA(window, WM_COMMAND, IDCANCEL, 0); });
  EXPECT_EQ(run.result, IDCANCEL);
  for (const auto& [control, checked] : run.boxes) {
    const bool expected = control == IDC_ASSOC_MP3 || control == IDC_ASSOC_MPEG;
    EXPECT_EQ(checked, expected) << control;
  }
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UserKey(".tga"))) << "opening the dialog writes nothing";

  // Check "aif,aiff" and "wav", uncheck "mp3" with the pointer; OK applies.
  std::map<int, bool> clicked;
  run = RunDialog([&](HWND window) {
    for (int control : {IDC_ASSOC_AIFF, IDC_ASSOC_WAV, IDC_ASSOC_MP3}) clicked[control] = ClickBox(window, control);
    kestrun::testing::ClickCentreOf(GetDlgItem(window, IDOK));
  });
  EXPECT_EQ(run.result, IDOK);
  EXPECT_EQ(run.message, "");
  EXPECT_EQ(clicked, (std::map<int, bool>{{IDC_ASSOC_AIFF, true}, {IDC_ASSOC_WAV, true}, {IDC_ASSOC_MP3, false}}));
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, UserKey(".aif")), "KSRNaif");
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, UserKey(".aiff")), "KSRNaiff");
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, UserKey(".wav")), "KSRNwav");
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, MachineKey(".wav")), "soundrec") << "the machine's stays as it was";
  EXPECT_EQ(BackupValue("wav"), "soundrec");
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, UserKey(CommandKey("KSRNaiff"))), OpenCommand(kModule));
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, UserKey(CommandKey("KSRNmpg"))), OpenCommand(kModule))
      << "a checked box rewrites its class per user";
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, UserKey(ApplicationCommandKey(kModule))), OpenCommand(kModule));
  EXPECT_EQ(ValueText(HKEY_CURRENT_USER, UserKey(SupportedTypesKey(kModule)), ".tga"), "");
  // A type without a box is offered under "Open with" and keeps its own default.
  EXPECT_EQ(ValueText(HKEY_CURRENT_USER, UserKey(SupportedTypesKey(kModule)), ".flac"), "");
  EXPECT_EQ(ValueText(HKEY_CURRENT_USER, UserKey(OpenWithProgidsKey("flac")), "KSRNflac"), "");
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, UserKey(CommandKey("KSRNflac"))), OpenCommand(kModule));
  EXPECT_NE(DefaultText(HKEY_CURRENT_USER, UserKey(".flac")), std::optional<std::string>("KSRNflac"));
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, UserKey(".mp3")), "KSRNmp3") << "no earlier class: it stays the player's";
  EXPECT_EQ(root_->machineAttempts, 0);

  run = RunDialog([&](HWND window) {
    ClickBox(window, IDC_ASSOC_WAV);
    kestrun::testing::ClickCentreOf(GetDlgItem(window, IDOK));
  });
  EXPECT_TRUE(run.boxes[IDC_ASSOC_AIFF]);
  EXPECT_TRUE(run.boxes[IDC_ASSOC_WAV]);
  EXPECT_TRUE(run.boxes[IDC_ASSOC_MP3]) << "an extension that had no class is checked again";
  EXPECT_EQ(real_->ReadDefault(".wav"), "soundrec");
  EXPECT_EQ(BackupValue("wav"), kNotChanged);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UserKey("KSRNwav")));
}

TEST_F(AssociationDialogTest, CancelChangesNothing) {
  const Run run = RunDialog([](HWND window) {
    ClickBox(window, IDC_ASSOC_BMP);
    kestrun::testing::ClickCentreOf(GetDlgItem(window, IDCANCEL));
  });
  EXPECT_EQ(run.result, IDCANCEL);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UserKey(".bmp")));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UserKey("KSRNbmp")));
}

TEST_F(AssociationDialogTest, RealClickAtTheCentreOfEveryBoxChecksIt) {
  std::map<int, bool> clicked;
  std::map<int, int> topmost;
  int darkBefore = -1;
  int darkAfter = -1;
  RunDialog([&](HWND window) {
    // The square of the "rmi" box as the screen shows it, at the left of the control
    // (the text comes after it). The box has the focus neither before nor after, so its
    // focus frame does not count.
    HWND rmi = GetDlgItem(window, IDC_ASSOC_RMI);
    RECT square{};
    GetWindowRect(rmi, &square);
    square.right = square.left + std::min<LONG>(square.bottom - square.top, GetSystemMetrics(SM_CXMENUCHECK));
    darkBefore = kestrun::testing::DarkPixels(kestrun::testing::ScreenPixels(square));
    for (const AssociationRow& row : kAssociationRows) {
      // The topmost control at the box's centre, by z-order alone: a group box above the
      // boxes takes their clicks wherever hit-testing does not look through it.
      POINT centre = kestrun::testing::CentreOf(GetDlgItem(window, row.controlId));
      ScreenToClient(window, &centre);
      topmost[row.controlId] = GetDlgCtrlID(ChildWindowFromPointEx(window, centre, CWP_SKIPINVISIBLE));
      clicked[row.controlId] = ClickBox(window, row.controlId);
    }
    // The pointer leaves the boxes, and the box is drawn afresh as the user would see it
    // uncovered (Wine may paint a box that the pointer leaves quickly in its old state).
    RECT frame{};
    GetWindowRect(window, &frame);
    kestrun::testing::MoveTo({(frame.left + frame.right) / 2, frame.top + 4});
    InvalidateRect(rmi, nullptr, TRUE);
    kestrun::testing::WaitUntil(
        [&] { return kestrun::testing::DarkPixels(kestrun::testing::ScreenPixels(square)) > darkBefore + 4; }, 3000);
    darkAfter = kestrun::testing::DarkPixels(kestrun::testing::ScreenPixels(square));
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  });
  for (const AssociationRow& row : kAssociationRows) {
    EXPECT_TRUE(clicked[row.controlId]) << row.boxText;
    EXPECT_EQ(topmost[row.controlId], row.controlId) << row.boxText << " lies under another control";
  }
  EXPECT_GT(darkAfter, darkBefore + 4) << "the check mark shows on the screen";
}

TEST_F(AssociationDialogTest, TypesThatCouldNotBeChangedAreNamedAfterOk) {
  root_->refusedUserKeys = {".mp3", ".midi"};
  const Run run = RunDialog([&](HWND window) {
    for (int control : {IDC_ASSOC_MP3, IDC_ASSOC_MIDI, IDC_ASSOC_TGA}) ClickBox(window, control);
    kestrun::testing::ClickCentreOf(GetDlgItem(window, IDOK));
  });
  EXPECT_EQ(run.result, IDOK);
  EXPECT_EQ(run.message, std::string(kAssociationsNotChangedMessage) + "\nmp3、mid,midi");
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, UserKey(".tga")), "KSRNtga");
  EXPECT_EQ(DefaultText(HKEY_CURRENT_USER, UserKey(".mp3")), std::nullopt);
}

TEST_F(AssociationDialogTest, TypesThatWindowsOwnSettingDecidesAreNamedWithAWayThere) {
  SetValue(HKEY_CURRENT_USER, Under(kScratchKey, "FileExts\\.mp3\\UserChoice"), "ProgId", "WMP11.AssocFile.MP3");
  SetValue(HKEY_CURRENT_USER, Under(kScratchKey, "FileExts\\.jpeg\\UserChoice"), "ProgId", "PhotoViewer.jpeg");
  SetValue(HKEY_CURRENT_USER, Under(kScratchKey, "FileExts\\.wav\\UserChoice"), "ProgId", "KSRNwav");
  bool noteShown = false;
  std::string types;
  RunDialog([&](HWND window) {
    noteShown = IsWindowVisible(GetDlgItem(window, IDC_ASSOC_WINDOWS_CHOICE)) &&
                IsWindowVisible(GetDlgItem(window, IDC_ASSOC_DEFAULT_APPS));
    char text[256] = {};
    GetDlgItemTextA(window, IDC_ASSOC_WINDOWS_CHOICE_TYPES, text, sizeof(text));
    types = text;
    kestrun::testing::ClickCentreOf(GetDlgItem(window, IDC_ASSOC_DEFAULT_APPS));
    kestrun::testing::WaitUntil([&] { return defaultAppsOpened_ > 0; }, 3000);
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_TRUE(noteShown);
  EXPECT_EQ(types, "mp3、jpg,jpeg");
  EXPECT_EQ(defaultAppsOpened_, 1);
}

TEST_F(AssociationDialogTest, WithoutWindowsChoicesTheNoteIsGoneAndOkStaysInside) {
  bool noteShown = true;
  bool okInside = false;
  RunDialog([&](HWND window) {
    noteShown = IsWindowVisible(GetDlgItem(window, IDC_ASSOC_WINDOWS_CHOICE)) ||
                IsWindowVisible(GetDlgItem(window, IDC_ASSOC_DEFAULT_APPS));
    RECT client{};
    RECT ok{};
    RECT tga{};
    GetClientRect(window, &client);
    GetWindowRect(GetDlgItem(window, IDOK), &ok);
    GetWindowRect(GetDlgItem(window, IDC_ASSOC_TGA), &tga);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&ok), 2);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&tga), 2);
    okInside = ok.top > tga.bottom && ok.bottom <= client.bottom && client.bottom - ok.bottom < ok.bottom - ok.top;
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  });
  EXPECT_FALSE(noteShown);
  EXPECT_TRUE(okInside) << "the dialog closes up over the note's space";
}

}  // namespace
}  // namespace kestrun::shell
