#include "shell/association_registry_win.h"

#include <shellapi.h>
#include <shlobj.h>

#include <utility>

#include "platform/shell_path_win.h"
#include "platform/win32_handles_win.h"
#include "settings/settings_store_win.h"

namespace kestrun::shell {
namespace {

// Class names are key names: at most 255 characters.
constexpr DWORD kClassNameCapacity = 260;

constexpr char kUserClasses[] = "Software\\Classes";
constexpr char kMachineClasses[] = "Software\\Classes";
constexpr char kFileExts[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr char kUserChoiceProgId[] = "ProgId";
// Windows 8 and later; older ones have the control panel page below.
constexpr char kDefaultAppsSettings[] = "ms-settings:defaultapps";
constexpr char kControlPanel[] = "control.exe";
constexpr char kDefaultProgramsPage[] = "/name Microsoft.DefaultPrograms /page pageDefaultProgram";

std::string FullPath(const RegistryPlace& place, const std::string& relative) {
  if (place.path.empty()) return relative;
  if (relative.empty()) return place.path;
  return place.path + "\\" + relative;
}

platform::RegistryKey CreateKey(const RegistryPlace& place, const std::string& relative) {
  platform::RegistryKey key;
  char emptyClass[] = "";
  if (RegCreateKeyExA(place.root, FullPath(place, relative).c_str(), 0, emptyClass, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
    key.reset();
  }
  return key;
}

// A string value of an existing key; nullopt when the key or the value is missing, or
// the value is no text that fits a class name.
std::optional<std::string> ReadText(const RegistryPlace& place, const std::string& relative, const char* valueName) {
  platform::RegistryKey key;
  if (RegOpenKeyExA(place.root, FullPath(place, relative).c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.get(), valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || size > kClassNameCapacity) {
    return std::nullopt;
  }
  char text[kClassNameCapacity + 1] = {};
  size = kClassNameCapacity;
  if (RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::string(text);
}

}  // namespace

RegistryClassRoot::RegistryClassRoot()
    : RegistryClassRoot({HKEY_CURRENT_USER, kUserClasses}, {HKEY_LOCAL_MACHINE, kMachineClasses},
                        {HKEY_CLASSES_ROOT, ""}, {HKEY_CURRENT_USER, kFileExts}) {}

RegistryClassRoot::RegistryClassRoot(RegistryPlace user, RegistryPlace machine, RegistryPlace merged,
                                     RegistryPlace fileExts)
    : user_(std::move(user)),
      machine_(std::move(machine)),
      merged_(std::move(merged)),
      fileExts_(std::move(fileExts)) {}

std::optional<std::string> RegistryClassRoot::ReadDefault(const std::string& key) {
  if (std::optional<std::string> own = ReadText(user_, key, nullptr)) return own;
  return ReadText(merged_, key, nullptr);
}

std::optional<std::string> RegistryClassRoot::ReadDefaultIn(Scope scope, const std::string& key) {
  return ReadText(PlaceOf(scope), key, nullptr);
}

bool RegistryClassRoot::WriteDefault(Scope scope, const std::string& path, const std::string& text) {
  platform::RegistryKey key = CreateKey(PlaceOf(scope), path);
  if (!key) return false;
  return RegSetValueExA(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool RegistryClassRoot::WriteValueName(Scope scope, const std::string& path, const std::string& name) {
  platform::RegistryKey key = CreateKey(PlaceOf(scope), path);
  if (!key) return false;
  return RegSetValueExA(key.get(), name.c_str(), 0, REG_NONE, nullptr, 0) == ERROR_SUCCESS;
}

bool RegistryClassRoot::DeleteValue(Scope scope, const std::string& path, const std::string& name) {
  platform::RegistryKey key;
  const LONG opened =
      RegOpenKeyExA(PlaceOf(scope).root, FullPath(PlaceOf(scope), path).c_str(), 0, KEY_SET_VALUE, key.put());
  if (opened == ERROR_FILE_NOT_FOUND) return true;
  if (opened != ERROR_SUCCESS) return false;
  const LONG deleted = RegDeleteValueA(key.get(), name.c_str());
  return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

bool RegistryClassRoot::DeleteTree(Scope scope, const std::string& path) {
  const RegistryPlace& place = PlaceOf(scope);
  const std::string full = FullPath(place, path);
  const LONG tree = RegDeleteTreeA(place.root, full.c_str());
  if (tree == ERROR_FILE_NOT_FOUND) return true;
  if (tree != ERROR_SUCCESS) return false;
  // RegDeleteTreeA empties the key; the key itself goes separately.
  const LONG key = RegDeleteKeyA(place.root, full.c_str());
  return key == ERROR_SUCCESS || key == ERROR_FILE_NOT_FOUND;
}

std::optional<std::string> RegistryClassRoot::ReadUserChoice(std::string_view extension) {
  return ReadText(fileExts_, ExtensionKey(extension) + "\\UserChoice", kUserChoiceProgId);
}

std::string SettingsAssociationBackup::Read(const std::string& extension) {
  char text[kClassNameCapacity] = {};
  settings::ReadSettingString(settings::kRegistrySubkey, extension.c_str(), text, sizeof(text), kNotChanged);
  return text;
}

bool SettingsAssociationBackup::Write(const std::string& extension, const std::string& className) {
  if (settings::OpenSettingsKey(settings::kProductKey) == nullptr) return false;
  const bool written = settings::WriteSettingString(settings::kRegistrySubkey, extension.c_str(), className.c_str());
  settings::CloseSettingsKey();
  return written;
}

std::string ModulePath() {
  // A path cut or holding "?" would name another program: such a path is empty.
  return platform::ModuleAnsiPath(nullptr).path;
}

void NotifyAssociationsChanged() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

bool OpenDefaultAppsSettings(HWND owner) {
  // ShellExecute answers a value above 32 on success.
  if (reinterpret_cast<INT_PTR>(ShellExecuteA(owner, "open", kDefaultAppsSettings, nullptr, nullptr, SW_SHOWNORMAL)) >
      32) {
    return true;
  }
  return reinterpret_cast<INT_PTR>(
             ShellExecuteA(owner, "open", kControlPanel, kDefaultProgramsPage, nullptr, SW_SHOWNORMAL)) > 32;
}

}  // namespace kestrun::shell
