#include "shell/file_associations.h"

#include "resources/shell_dialog_ids.h"

namespace kestrun::shell {
namespace {

constexpr char kListSeparator[] = "、";

// The file name of a module path: the part after the last backslash or slash.
std::string_view FileName(std::string_view path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

const char kPlayVerb[] = "再生(&P)";

const std::array<AssociationRow, kAssociationRowCount> kAssociationRows = {{
    {IDC_ASSOC_WAV, "wav", {"wav", ""}, "wav"},
    {IDC_ASSOC_MP3, "mp3", {"mp3", ""}, "mp3"},
    {IDC_ASSOC_MPA, "mpa", {"mpa", ""}, "mpa"},
    {IDC_ASSOC_MP2, "mp2", {"mp2", ""}, "mp2"},
    {IDC_ASSOC_AU, "au", {"au", ""}, "au"},
    {IDC_ASSOC_AIFF, "aif,aiff", {"aif", "aiff"}, "aiff"},
    {IDC_ASSOC_SND, "snd", {"snd", ""}, "snd"},
    {IDC_ASSOC_MIDI, "mid,midi", {"mid", "midi"}, "mid"},
    {IDC_ASSOC_RMI, "rmi", {"rmi", ""}, "rmi"},
    {IDC_ASSOC_AVI, "avi", {"avi", ""}, "avi"},
    {IDC_ASSOC_QT, "qt", {"qt", ""}, "qt"},
    {IDC_ASSOC_MOV, "mov", {"mov", ""}, "mov"},
    {IDC_ASSOC_MPEG, "mpg,mpeg", {"mpeg", "mpg"}, "mpg"},
    {IDC_ASSOC_M1V, "m1v", {"m1v", ""}, "m1v"},
    {IDC_ASSOC_WMA, "wma", {"wma", ""}, "wma"},
    {IDC_ASSOC_WMV, "wmv", {"wmv", ""}, "wmv"},
    {IDC_ASSOC_ASF, "asf", {"asf", ""}, "asf"},
    {IDC_ASSOC_BMP, "bmp", {"bmp", ""}, "bmp"},
    {IDC_ASSOC_JPEG, "jpg,jpeg", {"jpg", "jpeg"}, "jpg"},
    {IDC_ASSOC_TGA, "tga", {"tga", ""}, "tga"},
}};

std::string ClassNameFor(std::string_view extension) {
  std::string name = kClassPrefix;
  name += extension;
  return name;
}

std::string UserClassBackupName(std::string_view extension) {
  std::string name(extension);
  name += ".user";
  return name;
}

std::string TypeNameFor(std::string_view typeNameFormat, std::string_view extension) {
  std::string upper(extension);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  std::string name(typeNameFormat);
  const std::size_t slot = name.find("%s");
  if (slot != std::string::npos) name.replace(slot, 2, upper);
  return name;
}

std::string ExtensionKey(std::string_view extension) {
  std::string key = ".";
  key += extension;
  return key;
}

std::string OpenWithProgidsKey(std::string_view extension) { return ExtensionKey(extension) + "\\OpenWithProgids"; }

std::string ShellKey(std::string_view className) {
  std::string key(className);
  key += "\\shell";
  return key;
}

std::string CommandKey(std::string_view className) {
  std::string key = ShellKey(className);
  key += "\\";
  key += kPlayVerb;
  key += "\\command";
  return key;
}

std::string OpenVerbCommandKey(std::string_view className) { return ShellKey(className) + "\\open\\command"; }

std::string DefaultIconKey(std::string_view className) {
  std::string key(className);
  key += "\\DefaultIcon";
  return key;
}

std::string ApplicationKey(std::string_view modulePath) {
  std::string key = "Applications\\";
  key += FileName(modulePath);
  return key;
}

std::string ApplicationCommandKey(std::string_view modulePath) {
  return ApplicationKey(modulePath) + "\\shell\\open\\command";
}

std::string SupportedTypesKey(std::string_view modulePath) { return ApplicationKey(modulePath) + "\\SupportedTypes"; }

std::string OpenCommand(std::string_view modulePath) {
  std::string command = "\"";
  command += modulePath;
  command += "\" \"%1\"";
  return command;
}

std::string IconEntry(std::string_view modulePath) {
  std::string entry(modulePath);
  entry += ",1";
  return entry;
}

namespace {

// The player's class: its type name (when there is one), its default verb and the
// "open" verb with the same command, and its icon.
bool WriteOwnClass(ClassRoot& root, const std::string& className, std::string_view extension,
                   std::string_view modulePath, std::string_view typeNameFormat) {
  constexpr ClassRoot::Scope kUser = ClassRoot::Scope::User;
  const std::string typeName = TypeNameFor(typeNameFormat, extension);
  return (typeName.empty() || root.WriteDefault(kUser, className, typeName)) &&
         root.WriteDefault(kUser, ShellKey(className), kPlayVerb) &&
         root.WriteDefault(kUser, CommandKey(className), OpenCommand(modulePath)) &&
         root.WriteDefault(kUser, OpenVerbCommandKey(className), OpenCommand(modulePath)) &&
         root.WriteDefault(kUser, DefaultIconKey(className), IconEntry(modulePath));
}

}  // namespace

bool isAssociated(ClassRoot& root, std::string_view extension) {
  const std::optional<std::string> current = root.ReadDefault(ExtensionKey(extension));
  return current && *current == ClassNameFor(extension);
}

bool associateExtension(ClassRoot& root, AssociationBackup& backup, std::string_view extension,
                        std::string_view modulePath, std::string_view typeNameFormat) {
  if (extension.empty() || modulePath.empty()) return false;
  constexpr ClassRoot::Scope kUser = ClassRoot::Scope::User;
  const std::string className = ClassNameFor(extension);
  const std::string extensionKey = ExtensionKey(extension);
  const std::optional<std::string> earlier = root.ReadDefault(extensionKey);
  const bool ours = earlier && *earlier == className;
  // The earlier class is kept before it is replaced: one that cannot be kept would be
  // lost for good, so the extension stays as it is then. The user's own value is kept
  // apart from it ("" for none): only that goes back into the user's classes, so a
  // class the user merely saw from the machine-wide ones never becomes the user's.
  if (!ours && earlier && !earlier->empty()) {
    const std::string own = root.ReadDefaultIn(kUser, extensionKey).value_or("");
    if (!backup.Write(UserClassBackupName(extension), own) || !backup.Write(std::string(extension), *earlier)) {
      return false;
    }
  }
  // The class is written whole (again, when it is ours already: the program may have
  // moved) before the extension names it, so the extension never names a class
  // without a command.
  if (!WriteOwnClass(root, className, extension, modulePath, typeNameFormat)) {
    // A class of ours that an extension still names stays, however incomplete;
    // otherwise nothing of it is left behind.
    if (!ours && root.ReadDefaultIn(kUser, extensionKey) != className) root.DeleteTree(kUser, className);
    return false;
  }
  // The user's own entry: it wins over a machine-wide one, and it is what a user
  // without administrator rights may write.
  if (!root.WriteDefault(kUser, extensionKey, className)) return false;
  return root.WriteValueName(kUser, OpenWithProgidsKey(extension), className);
}

RestoreResult restoreExtension(ClassRoot& root, AssociationBackup& backup, std::string_view extension) {
  constexpr ClassRoot::Scope kUser = ClassRoot::Scope::User;
  constexpr ClassRoot::Scope kMachine = ClassRoot::Scope::Machine;
  const std::string name(extension);
  const std::string earlier = backup.Read(name);
  if (earlier == kNotChanged) return RestoreResult::NothingKept;
  const std::string className = ClassNameFor(extension);
  const std::string extensionKey = ExtensionKey(extension);
  // Another program that took the extension over since keeps it.
  const std::optional<std::string> current = root.ReadDefault(extensionKey);
  if (!current || *current == className) {
    std::string own = backup.Read(UserClassBackupName(extension));
    if (own == kNotChanged) {
      // Kept without the user's own value: the class goes back to the user unless the
      // machine-wide classes give it already.
      own = root.ReadDefaultIn(kMachine, extensionKey) == earlier ? "" : earlier;
    }
    const bool putBack =
        own.empty() ? root.DeleteValue(kUser, extensionKey, "") : root.WriteDefault(kUser, extensionKey, own);
    if (!putBack) return RestoreResult::Failed;
  }
  // An earlier version of the player wrote the machine-wide classes; what it wrote there
  // is given back where that is allowed. Where it is not, the user's own entry above
  // already decides for this user, and the machine-wide class stays for the extension
  // that still names it.
  const bool machineNamesUs = root.ReadDefaultIn(kMachine, extensionKey) == className;
  if (!machineNamesUs || root.WriteDefault(kMachine, extensionKey, earlier)) root.DeleteTree(kMachine, className);
  root.DeleteValue(kUser, OpenWithProgidsKey(extension), className);
  root.DeleteTree(kUser, className);
  backup.Write(name, kNotChanged);
  backup.Write(UserClassBackupName(extension), kNotChanged);
  return RestoreResult::Restored;
}

bool registerApplication(ClassRoot& root, std::string_view modulePath, std::string_view typeNameFormat) {
  constexpr ClassRoot::Scope kUser = ClassRoot::Scope::User;
  if (modulePath.empty()) return false;
  bool written = root.WriteDefault(kUser, ApplicationCommandKey(modulePath), OpenCommand(modulePath));
  const std::string supportedTypes = SupportedTypesKey(modulePath);
  for (const AssociationRow& row : kAssociationRows) {
    for (const char* extension : row.extensions) {
      if (extension[0] == '\0') continue;
      written = root.WriteValueName(kUser, supportedTypes, ExtensionKey(extension)) && written;
    }
  }
  for (const char* extension : kOpenWithOnlyExtensions) {
    const std::string className = ClassNameFor(extension);
    // The class is whole before a list names it.
    const bool classWritten = WriteOwnClass(root, className, extension, modulePath, typeNameFormat);
    written = classWritten && root.WriteValueName(kUser, OpenWithProgidsKey(extension), className) && written;
    written = root.WriteValueName(kUser, supportedTypes, ExtensionKey(extension)) && written;
  }
  return written;
}

bool unregisterApplication(ClassRoot& root, std::string_view modulePath) {
  constexpr ClassRoot::Scope kUser = ClassRoot::Scope::User;
  if (modulePath.empty()) return false;
  bool removed = true;
  for (const char* extension : kOpenWithOnlyExtensions) {
    const std::string className = ClassNameFor(extension);
    removed = root.DeleteValue(kUser, OpenWithProgidsKey(extension), className) && removed;
    removed = root.DeleteTree(kUser, className) && removed;
  }
  return root.DeleteTree(kUser, ApplicationKey(modulePath)) && removed;
}

std::vector<const AssociationRow*> ApplyAssociationChoices(ClassRoot& root, AssociationBackup& backup,
                                                           const std::array<bool, kAssociationRowCount>& checked,
                                                           std::string_view modulePath,
                                                           std::string_view typeNameFormat) {
  std::vector<const AssociationRow*> failed;
  bool anyChecked = false;
  for (std::size_t i = 0; i < kAssociationRows.size(); ++i) {
    const AssociationRow& row = kAssociationRows[i];
    anyChecked = anyChecked || checked[i];
    bool rowChanged = true;
    for (const char* extension : row.extensions) {
      if (extension[0] == '\0') continue;
      const bool changed = checked[i] ? associateExtension(root, backup, extension, modulePath, typeNameFormat)
                                      : restoreExtension(root, backup, extension) != RestoreResult::Failed;
      rowChanged = rowChanged && changed;
    }
    if (!rowChanged) failed.push_back(&row);
  }
  // The entry under "Open with" is not tied to one type, so its failure names none;
  // the program still opens every type it was associated with above.
  if (anyChecked) {
    registerApplication(root, modulePath, typeNameFormat);
  } else {
    unregisterApplication(root, modulePath);
  }
  return failed;
}

std::vector<const AssociationRow*> RowsDecidedByWindows(ClassRoot& root, std::string_view modulePath) {
  const std::string application = ApplicationKey(modulePath);
  std::vector<const AssociationRow*> rows;
  for (const AssociationRow& row : kAssociationRows) {
    for (const char* extension : row.extensions) {
      if (extension[0] == '\0') continue;
      const std::optional<std::string> choice = root.ReadUserChoice(extension);
      if (choice && !choice->empty() && *choice != ClassNameFor(extension) && *choice != application) {
        rows.push_back(&row);
        break;
      }
    }
  }
  return rows;
}

std::string JoinBoxTexts(const std::vector<const AssociationRow*>& rows) {
  std::string text;
  for (const AssociationRow* row : rows) {
    if (!text.empty()) text += kListSeparator;
    text += row->boxText;
  }
  return text;
}

}  // namespace kestrun::shell
