#include "shell/association_registry_win.h"

#include <shlobj.h>

#include "platform/limits.h"
#include "platform/win32_handles.h"
#include "settings/settings_store.h"

namespace kestrun::shell {
namespace {

// Class names are key names: at most 255 characters.
constexpr DWORD kClassNameCapacity = 260;

platform::RegistryKey CreateKey(HKEY root, const std::string& path) {
  platform::RegistryKey key;
  char emptyClass[] = "";
  if (RegCreateKeyExA(root, path.c_str(), 0, emptyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      key.put(), nullptr) != ERROR_SUCCESS) {
    key.reset();
  }
  return key;
}

}  // namespace

std::optional<std::string> RegistryClassRoot::ReadDefault(const std::string& path) {
  platform::RegistryKey key = CreateKey(root_, path);
  // A user who may not write the class root can still see what it holds.
  if (!key && RegOpenKeyExA(root_, path.c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ) || size > kClassNameCapacity) {
    return std::nullopt;
  }
  char text[kClassNameCapacity + 1] = {};
  size = kClassNameCapacity;
  if (RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::string(text);
}

bool RegistryClassRoot::WriteDefault(const std::string& path, const std::string& text) {
  platform::RegistryKey key = CreateKey(root_, path);
  if (!key) return false;
  return RegSetValueExA(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool RegistryClassRoot::DeleteTree(const std::string& path) {
  const LONG tree = RegDeleteTreeA(root_, path.c_str());
  if (tree == ERROR_FILE_NOT_FOUND) return true;
  if (tree != ERROR_SUCCESS) return false;
  // RegDeleteTreeA empties the key; the key itself goes separately.
  const LONG key = RegDeleteKeyA(root_, path.c_str());
  return key == ERROR_SUCCESS || key == ERROR_FILE_NOT_FOUND;
}

std::string SettingsAssociationBackup::Read(const std::string& extension) {
  char text[kClassNameCapacity] = {};
  settings::ReadSettingString(settings::kRegistrySubkey, extension.c_str(), text, sizeof(text), kNotChanged);
  return text;
}

bool SettingsAssociationBackup::Write(const std::string& extension, const std::string& className) {
  if (settings::OpenSettingsKey(settings::kProductKey) == nullptr) return false;
  const bool written =
      settings::WriteSettingString(settings::kRegistrySubkey, extension.c_str(), className.c_str());
  settings::CloseSettingsKey();
  return written;
}

std::string ModulePath() {
  char path[platform::kPathCapacity] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
  // A cut path would name another program.
  if (length == 0 || length >= sizeof(path)) return {};
  return std::string(path, length);
}

void NotifyAssociationsChanged() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

}  // namespace kestrun::shell
