// File-type associations: the player's own file class "KSRN" + extension in the
// class root, and the backup of the class an extension named before.
//
// The logic here works on two small interfaces (the class root and the backup), so it
// runs against the registry in the player and against memory in the tests.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace kestrun::shell {

// The backup value of an extension that has no earlier class to put back.
inline constexpr char kNotChanged[] = "notChanged";
inline constexpr char kClassPrefix[] = "KSRN";

// The default verb of the player's classes ("再生(&P)", in the program's code page).
extern const char kPlayVerb[];

// One check box of the association dialog.
struct AssociationRow {
  int controlId;
  const char* boxText;
  // Processed in this order; the second is empty for single-extension rows.
  std::array<const char*, 2> extensions;
  // The box is checked when this one is associated.
  const char* testExtension;
};

inline constexpr std::size_t kAssociationRowCount = 20;
extern const std::array<AssociationRow, kAssociationRowCount> kAssociationRows;

// "KSRN" + extension.
std::string ClassNameFor(std::string_view extension);
// Key paths below the class root, all relative.
std::string ExtensionKey(std::string_view extension);        // "." + e
std::string ShellKey(std::string_view className);            // class\shell
std::string CommandKey(std::string_view className);          // class\shell\<verb>\command
std::string DefaultIconKey(std::string_view className);      // class\DefaultIcon
// The open command: the module path and "%1" both quoted, so a program under a folder
// with spaces and a media path with spaces both arrive whole.
std::string OpenCommand(std::string_view modulePath);
// Icon 1 of the program file.
std::string IconEntry(std::string_view modulePath);

// The class root (HKEY_CLASSES_ROOT in the player).
class ClassRoot {
 public:
  virtual ~ClassRoot() = default;
  // The default value of key, creating the key when it is missing; nullopt when the
  // key has no default text (or cannot be read).
  virtual std::optional<std::string> ReadDefault(const std::string& key) = 0;
  // Creates key if needed and sets its default text. False on failure.
  virtual bool WriteDefault(const std::string& key, const std::string& text) = 0;
  // Removes key with everything below it. False when it existed and could not be removed.
  virtual bool DeleteTree(const std::string& key) = 0;
};

// Where the earlier class of each extension is kept.
class AssociationBackup {
 public:
  virtual ~AssociationBackup() = default;
  // The kept class, or kNotChanged when nothing is kept.
  virtual std::string Read(const std::string& extension) = 0;
  virtual bool Write(const std::string& extension, const std::string& className) = 0;
};

// True when "." + e names the player's class (byte-wise, case-sensitive).
bool isAssociated(ClassRoot& root, std::string_view extension);

// Makes the extension the player's: backs up a different earlier class, points "." + e
// at "KSRN" + e and writes the class's verb, command and icon. An extension that
// already names the class is left as it is. An earlier class that cannot be backed up
// is not replaced, so it is never lost. False when the extension was not taken over.
bool associateExtension(ClassRoot& root, AssociationBackup& backup, std::string_view extension,
                        std::string_view modulePath);

// Puts the backed-up class back and removes the player's class tree; the backup then
// reads kNotChanged. Nothing happens without a backup (an extension that had no class
// stays the player's). An extension that meanwhile names another program's class keeps
// it. True when the backup was used.
bool restoreExtension(ClassRoot& root, AssociationBackup& backup, std::string_view extension);

}  // namespace kestrun::shell
