// The association logic's two stores in the registry: the file classes (the user's own
// under HKEY_CURRENT_USER\Software\Classes, the machine-wide ones, the merged view the
// shell reads, and Windows' own per-user choice of each type) and the backup in the
// settings' "Registry" subkey.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "shell/file_associations.h"

namespace kestrun::shell {

// A key that relative key paths are appended to: root\path\<relative>.
struct RegistryPlace {
  HKEY root;
  std::string path;  // empty: the relative path goes straight under root
};

class RegistryClassRoot final : public ClassRoot {
 public:
  // The real ones: HKCU\Software\Classes, HKLM\Software\Classes, HKEY_CLASSES_ROOT and
  // HKCU\...\Explorer\FileExts.
  RegistryClassRoot();
  // Any others (tests use scratch keys). Reading the merged view reads user, then
  // merged, as Windows' own merge does; Wine does not merge the user's classes into
  // HKEY_CLASSES_ROOT, so the user's are read first by hand.
  RegistryClassRoot(RegistryPlace user, RegistryPlace machine, RegistryPlace merged, RegistryPlace fileExts);

  std::optional<std::string> ReadDefault(const std::string& key) override;
  std::optional<std::string> ReadDefaultIn(Scope scope, const std::string& key) override;
  bool WriteDefault(Scope scope, const std::string& key, const std::string& text) override;
  bool WriteValueName(Scope scope, const std::string& key, const std::string& name) override;
  bool DeleteValue(Scope scope, const std::string& key, const std::string& name) override;
  bool DeleteTree(Scope scope, const std::string& key) override;
  std::optional<std::string> ReadUserChoice(std::string_view extension) override;

 private:
  const RegistryPlace& PlaceOf(Scope scope) const { return scope == Scope::User ? user_ : machine_; }

  RegistryPlace user_;
  RegistryPlace machine_;
  RegistryPlace merged_;
  RegistryPlace fileExts_;
};

// HKEY_CURRENT_USER\Software\QuenfoldSoft\Tovrin\Registry, one value per extension.
class SettingsAssociationBackup final : public AssociationBackup {
 public:
  std::string Read(const std::string& extension) override;
  bool Write(const std::string& extension, const std::string& className) override;
};

// The running program's full path, or "" when it does not fit a path buffer.
std::string ModulePath();

// Tells the shell that associations changed, so icons and verbs are read again.
void NotifyAssociationsChanged();

// Opens Windows' own settings of default programs, where a type's "UserChoice" is made.
// False when neither the settings page nor the older control panel page opened.
bool OpenDefaultAppsSettings(HWND owner);

}  // namespace kestrun::shell
