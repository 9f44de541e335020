// Associations in the registry: the real class root and the settings' backup, and the
// dialog against a scratch class root.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "resources/resource_ids.h"
#include "shell/association_dialog_win.h"
#include "shell/association_registry_win.h"
#include "shell/tests/modal_dialog_driver.h"

namespace kestrun::shell {
namespace {

constexpr char kBackupKey[] = "Software\\QuenfoldSoft\\Tovrin\\Registry";
constexpr char kScratchKey[] = "Software\\KestrunTests\\Classes";
constexpr char kModule[] = "C:\\Program Files\\Kestrun\\Kestrun.exe";

std::optional<std::string> DefaultText(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
  char text[512] = {};
  DWORD size = sizeof(text) - 1;
  DWORD type = 0;
  const LONG result = RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return std::nullopt;
  return std::string(text);
}

std::optional<std::string> BackupValue(const std::string& extension) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kBackupKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
  char text[512] = {};
  DWORD size = sizeof(text) - 1;
  const LONG result =
      RegQueryValueExA(key, extension.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return std::nullopt;
  return std::string(text);
}

bool KeyExists(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void SetDefault(HKEY root, const std::string& path, const std::string& text) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>(text.size() + 1));
  RegCloseKey(key);
}

// Extensions of the tests' own in the real class root, and a clean backup.
class ClassRootAssociations : public ::testing::Test {
 protected:
  void SetUp() override { CleanUp(); }
  void TearDown() override { CleanUp(); }
  void CleanUp() {
    for (const char* extension : {"kstnew", "kstold"}) {
      RegDeleteTreeA(HKEY_CLASSES_ROOT, ExtensionKey(extension).c_str());
      RegDeleteKeyA(HKEY_CLASSES_ROOT, ExtensionKey(extension).c_str());
      RegDeleteTreeA(HKEY_CLASSES_ROOT, ClassNameFor(extension).c_str());
      RegDeleteKeyA(HKEY_CLASSES_ROOT, ClassNameFor(extension).c_str());
    }
    RegDeleteTreeA(HKEY_CURRENT_USER, kBackupKey);
  }

  RegistryClassRoot root_;
  SettingsAssociationBackup backup_;
};

TEST_F(ClassRootAssociations, WithoutEarlierClassTheExtensionStaysOursAfterRestore) {
  EXPECT_FALSE(isAssociated(root_, "kstnew"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ".kstnew")) << "looking creates the empty key";
  ASSERT_TRUE(associateExtension(root_, backup_, "kstnew", kModule));
  EXPECT_TRUE(isAssociated(root_, "kstnew"));
  EXPECT_EQ(DefaultText(HKEY_CLASSES_ROOT, ".kstnew"), "KSRNkstnew");
  EXPECT_EQ(DefaultText(HKEY_CLASSES_ROOT, "KSRNkstnew\\shell"), std::string(kPlayVerb));
  EXPECT_EQ(DefaultText(HKEY_CLASSES_ROOT, CommandKey("KSRNkstnew")),
            "\"C:\\Program Files\\Kestrun\\Kestrun.exe\" \"%1\"");
  EXPECT_EQ(DefaultText(HKEY_CLASSES_ROOT, "KSRNkstnew\\DefaultIcon"), "C:\\Program Files\\Kestrun\\Kestrun.exe,1");
  EXPECT_EQ(BackupValue("kstnew"), std::nullopt);

  EXPECT_FALSE(restoreExtension(root_, backup_, "kstnew"));
  EXPECT_TRUE(isAssociated(root_, "kstnew"));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "KSRNkstnew\\shell"));
}

TEST_F(ClassRootAssociations, EarlierClassComesBackAndTheClassTreeGoes) {
  SetDefault(HKEY_CLASSES_ROOT, ".kstold", "OldPlayer.File");
  ASSERT_TRUE(associateExtension(root_, backup_, "kstold", kModule));
  EXPECT_EQ(BackupValue("kstold"), "OldPlayer.File");
  EXPECT_EQ(DefaultText(HKEY_CLASSES_ROOT, ".kstold"), "KSRNkstold");

  ASSERT_TRUE(restoreExtension(root_, backup_, "kstold"));
  EXPECT_EQ(DefaultText(HKEY_CLASSES_ROOT, ".kstold"), "OldPlayer.File");
  EXPECT_EQ(BackupValue("kstold"), kNotChanged);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "KSRNkstold")) << "shell, command and icon keys included";

  // A second restore does nothing.
  SetDefault(HKEY_CLASSES_ROOT, ".kstold", "ChosenLater");
  EXPECT_FALSE(restoreExtension(root_, backup_, "kstold"));
  EXPECT_EQ(DefaultText(HKEY_CLASSES_ROOT, ".kstold"), "ChosenLater");
  EXPECT_EQ(BackupValue("kstold"), kNotChanged);
}

// The dialog against a scratch class root.
class AssociationDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratchKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, kBackupKey);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &scratch_,
                              nullptr),
              ERROR_SUCCESS);
    root_.emplace(scratch_);
  }
  void TearDown() override {
    root_.reset();
    RegCloseKey(scratch_);
    RegDeleteTreeA(HKEY_CURRENT_USER, kScratchKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, kScratchKey);
    RegDeleteTreeA(HKEY_CURRENT_USER, kBackupKey);
  }

  // Opens the dialog, records its boxes, lets change() act on it, then presses button.
  std::map<int, bool> RunDialog(const std::function<void(HWND)>& change, int button) {
    std::map<int, bool> boxes;
    AssociationDialog dialog(*root_, backup_, kModule);
    const INT_PTR result = testing::ModalDriver::Run(
        IDC_ASSOC_WAV,
        [&](HWND window) {
          for (const AssociationRow& row : kAssociationRows) {
            boxes[row.controlId] = IsDlgButtonChecked(window, row.controlId) == BST_CHECKED;
          }
          change(window);
          SendMessageA(GetDlgItem(window, button), BM_CLICK, 0, 0);
        },
        [&] { return dialog.Show(GetModuleHandleA(nullptr), nullptr); });
    EXPECT_EQ(result, button);
    return boxes;
  }

  HKEY scratch_ = nullptr;
  std::optional<RegistryClassRoot> root_;
  SettingsAssociationBackup backup_;
};

TEST_F(AssociationDialogTest, BoxesShowTheClassRootAndOkAppliesThem) {
  SetDefault(scratch_, ".mp3", "KSRNmp3");
  SetDefault(scratch_, ".aif", "KSRNaif");  // only the aiff half decides the box
  SetDefault(scratch_, ".mpeg", "KSRNmpeg");
  SetDefault(scratch_, ".mpg", "KSRNmpg");
  SetDefault(scratch_, ".wav", "soundrec");
  auto boxes = RunDialog([](HWND) {}, IDCANCEL);
  for (const auto& [control, checked] : boxes) {
    const bool expected = control == IDC_ASSOC_MP3 || control == IDC_ASSOC_MPEG;
    EXPECT_EQ(checked, expected) << control;
  }
  EXPECT_TRUE(KeyExists(scratch_, ".tga")) << "opening the dialog creates the tested keys";

  // Check "aif,aiff" and "wav", uncheck "mp3"; OK applies.
  RunDialog(
      [](HWND window) {
        CheckDlgButton(window, IDC_ASSOC_AIFF, BST_CHECKED);
        CheckDlgButton(window, IDC_ASSOC_WAV, BST_CHECKED);
        CheckDlgButton(window, IDC_ASSOC_MP3, BST_UNCHECKED);
      },
      IDOK);
  EXPECT_EQ(DefaultText(scratch_, ".aif"), "KSRNaif");
  EXPECT_EQ(DefaultText(scratch_, ".aiff"), "KSRNaiff");
  EXPECT_EQ(DefaultText(scratch_, ".wav"), "KSRNwav");
  EXPECT_EQ(BackupValue("wav"), "soundrec");
  EXPECT_EQ(DefaultText(scratch_, CommandKey("KSRNaiff")), OpenCommand(kModule));
  EXPECT_EQ(DefaultText(scratch_, ".mp3"), "KSRNmp3") << "no earlier class: it stays the player's";
  EXPECT_FALSE(KeyExists(scratch_, ".kstnew"));

  boxes = RunDialog([](HWND window) { CheckDlgButton(window, IDC_ASSOC_WAV, BST_UNCHECKED); }, IDOK);
  EXPECT_TRUE(boxes[IDC_ASSOC_AIFF]);
  EXPECT_TRUE(boxes[IDC_ASSOC_WAV]);
  EXPECT_TRUE(boxes[IDC_ASSOC_MP3]) << "an extension that had no class is checked again";
  EXPECT_EQ(DefaultText(scratch_, ".wav"), "soundrec");
  EXPECT_EQ(BackupValue("wav"), kNotChanged);
  EXPECT_FALSE(KeyExists(scratch_, "KSRNwav"));
}

TEST_F(AssociationDialogTest, CancelChangesNothing) {
  RunDialog([](HWND window) { CheckDlgButton(window, IDC_ASSOC_BMP, BST_CHECKED); }, IDCANCEL);
  EXPECT_EQ(DefaultText(scratch_, ".bmp"), std::nullopt);
  EXPECT_FALSE(KeyExists(scratch_, "KSRNbmp"));
}

}  // namespace
}  // namespace kestrun::shell
