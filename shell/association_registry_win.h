// The association logic's two stores in the registry: a class root (HKEY_CLASSES_ROOT
// in the player, a scratch key in tests) and the backup in the settings' "Registry"
// subkey.
#pragma once

#include <windows.h>

#include <string>

#include "shell/file_associations.h"

namespace kestrun::shell {

class RegistryClassRoot final : public ClassRoot {
 public:
  explicit RegistryClassRoot(HKEY root = HKEY_CLASSES_ROOT) : root_(root) {}

  std::optional<std::string> ReadDefault(const std::string& key) override;
  bool WriteDefault(const std::string& key, const std::string& text) override;
  bool DeleteTree(const std::string& key) override;

 private:
  HKEY root_;
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

}  // namespace kestrun::shell
