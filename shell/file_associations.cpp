#include "shell/file_associations.h"

#include "resources/shell_dialog_ids.h"

namespace kestrun::shell {

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

std::string ExtensionKey(std::string_view extension) {
  std::string key = ".";
  key += extension;
  return key;
}

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

std::string DefaultIconKey(std::string_view className) {
  std::string key(className);
  key += "\\DefaultIcon";
  return key;
}

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

bool isAssociated(ClassRoot& root, std::string_view extension) {
  const std::optional<std::string> current = root.ReadDefault(ExtensionKey(extension));
  return current && *current == ClassNameFor(extension);
}

bool associateExtension(ClassRoot& root, AssociationBackup& backup, std::string_view extension,
                        std::string_view modulePath) {
  if (extension.empty() || modulePath.empty()) return false;
  const std::string className = ClassNameFor(extension);
  const std::string extensionKey = ExtensionKey(extension);
  const std::optional<std::string> earlier = root.ReadDefault(extensionKey);
  if (earlier && *earlier == className) return true;  // ours already: nothing is rewritten
  // The earlier class is kept before it is replaced: one that cannot be kept would be
  // lost for good, so the extension stays as it is then.
  if (earlier && !earlier->empty() && !backup.Write(std::string(extension), *earlier)) return false;
  if (!root.WriteDefault(extensionKey, className)) return false;
  root.WriteDefault(ShellKey(className), kPlayVerb);
  root.WriteDefault(CommandKey(className), OpenCommand(modulePath));
  root.WriteDefault(DefaultIconKey(className), IconEntry(modulePath));
  return true;
}

bool restoreExtension(ClassRoot& root, AssociationBackup& backup, std::string_view extension) {
  const std::string name(extension);
  const std::string earlier = backup.Read(name);
  if (earlier == kNotChanged) return false;
  const std::string className = ClassNameFor(extension);
  const std::string extensionKey = ExtensionKey(extension);
  // Another program that took the extension over since keeps it.
  const std::optional<std::string> current = root.ReadDefault(extensionKey);
  if (!current || *current == className) {
    if (!root.WriteDefault(extensionKey, earlier)) return false;
  }
  root.DeleteTree(className);
  backup.Write(name, kNotChanged);
  return true;
}

}  // namespace kestrun::shell
