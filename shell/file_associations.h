// File-type associations: the player's own file class "KSRN" + extension among the
// user's classes, the backup of the class an extension named before, and the player's
// entry for "Open with".
//
// The logic here works on two small interfaces (the classes and the backup), so it runs
// against the registry in the player and against memory in the tests.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

// Types the player opens that have no box: they are offered under "Open with" (the
// program's SupportedTypes, and the player's class in each one's OpenWithProgids)
// but never made the player's by default.
inline constexpr std::array<const char*, 8> kOpenWithOnlyExtensions = {"flac", "m4a",  "m4b", "mp4",
                                                                       "aac",  "opus", "ogg", "oga"};

// "KSRN" + extension.
std::string ClassNameFor(std::string_view extension);
// The name under which the backup keeps the user's own class of an extension (the
// value in the user's classes, apart from what the machine-wide ones give): e + ".user".
std::string UserClassBackupName(std::string_view extension);
// The type name of the player's class of an extension, shown in Explorer's Type column:
// typeNameFormat with its "%s" replaced by the extension in capitals ("MP3"); empty
// when the format is empty.
std::string TypeNameFor(std::string_view typeNameFormat, std::string_view extension);
// Key paths below a class root, all relative.
std::string ExtensionKey(std::string_view extension);        // "." + e
std::string OpenWithProgidsKey(std::string_view extension);  // "." + e\OpenWithProgids
std::string ShellKey(std::string_view className);            // class\shell
std::string CommandKey(std::string_view className);          // class\shell\<verb>\command
std::string OpenVerbCommandKey(std::string_view className);  // class\shell\open\command
std::string DefaultIconKey(std::string_view className);      // class\DefaultIcon
// The program's entry for "Open with": Applications\<program file name>.
std::string ApplicationKey(std::string_view modulePath);
std::string ApplicationCommandKey(std::string_view modulePath);  // ...\shell\open\command
std::string SupportedTypesKey(std::string_view modulePath);      // ...\SupportedTypes
// The open command: the module path and "%1" both quoted, so a program under a folder
// with spaces and a media path with spaces both arrive whole.
std::string OpenCommand(std::string_view modulePath);
// Icon 1 of the program file.
std::string IconEntry(std::string_view modulePath);

// The file classes as the shell sees them. Windows merges the user's own classes
// (HKEY_CURRENT_USER\Software\Classes), which every user may write, over the
// machine-wide ones, which only an administrator may change; the user's win. The player
// writes only the user's own; it touches machine-wide entries only to take back what an
// earlier version of it put there.
class ClassRoot {
 public:
  enum class Scope { User, Machine };

  virtual ~ClassRoot() = default;
  // The default text of key in the merged view (the user's own first); nullopt when the
  // key has no default text or does not exist. Creates nothing.
  virtual std::optional<std::string> ReadDefault(const std::string& key) = 0;
  // The default text of key in one scope only.
  virtual std::optional<std::string> ReadDefaultIn(Scope scope, const std::string& key) = 0;
  // Creates key if needed and sets its default text. False on failure.
  virtual bool WriteDefault(Scope scope, const std::string& key, const std::string& text) = 0;
  // Adds a value named name with no text to key (creating it): the shell reads such
  // lists (OpenWithProgids, SupportedTypes) by their value names. False on failure.
  virtual bool WriteValueName(Scope scope, const std::string& key, const std::string& name) = 0;
  // Removes the value name from key; an empty name removes the key's default text.
  // False when it existed and could not be removed.
  virtual bool DeleteValue(Scope scope, const std::string& key, const std::string& name) = 0;
  // Removes key with everything below it. False when it existed and could not be removed.
  virtual bool DeleteTree(Scope scope, const std::string& key) = 0;
  // The class that the user chose for the extension in Windows' own settings (its
  // "UserChoice"), which wins over every class root; nullopt when there is none.
  virtual std::optional<std::string> ReadUserChoice(std::string_view extension) = 0;
};

// Where the earlier class of each extension is kept.
class AssociationBackup {
 public:
  virtual ~AssociationBackup() = default;
  // The kept class, or kNotChanged when nothing is kept.
  virtual std::string Read(const std::string& extension) = 0;
  virtual bool Write(const std::string& extension, const std::string& className) = 0;
};

// True when "." + e names the player's class in the merged view (byte-wise,
// case-sensitive).
bool isAssociated(ClassRoot& root, std::string_view extension);

// Makes the extension the player's among the user's classes: backs up a different
// earlier class (as the merged view shows it, and apart from that the user's own value,
// "" when the user had none), writes the class's type name (TypeNameFor), its verbs
// (the player's default verb and "open", which programs that ask for "open" use), their
// command and its icon (always, so a program that moved repairs its class), then points
// "." + e at "KSRN" + e and lists the class under the extension's OpenWithProgids. The
// class is complete before the extension names it. An earlier class that cannot be
// backed up is not replaced, so it is never lost. False when the extension is not
// wholly the player's afterwards.
bool associateExtension(ClassRoot& root, AssociationBackup& backup, std::string_view extension,
                        std::string_view modulePath, std::string_view typeNameFormat = {});

enum class RestoreResult {
  NothingKept,  // no backup: an extension that had no class stays the player's
  Restored,     // the earlier class is back (or another program's class was kept)
  Failed,       // the extension still names the player's class
};

// Puts the user's own earlier value back among the user's classes (removing the
// user's value when there was none, so a machine-wide class shows through again
// instead of becoming the user's for good), and the backed-up class machine-wide where
// an earlier version of the player had written it there and that is allowed; removes
// the player's class tree and its OpenWithProgids entry; the backup then reads
// kNotChanged. A backup made without the user's own value (by an earlier version)
// gives the backed-up class back to the user unless the machine-wide classes name it
// already. An extension that meanwhile names another program's class keeps it.
RestoreResult restoreExtension(ClassRoot& root, AssociationBackup& backup, std::string_view extension);

// Lists the program under "Open with" for every extension of the table and of
// kOpenWithOnlyExtensions, with its own open command; each of the latter also gets
// the player's class and lists it in its OpenWithProgids, leaving the type's default
// as it is. False when an entry could not be written.
bool registerApplication(ClassRoot& root, std::string_view modulePath, std::string_view typeNameFormat = {});
// Removes that entry, and the classes and OpenWithProgids entries of
// kOpenWithOnlyExtensions. False when it stayed.
bool unregisterApplication(ClassRoot& root, std::string_view modulePath);

// Applies the dialog's boxes in table order (checked[i] for kAssociationRows[i]):
// associates every extension of a checked row and restores those of the others, then
// registers the program for "Open with" while any box is checked and removes that
// entry otherwise. Returns the rows whose extensions could not all be changed.
std::vector<const AssociationRow*> ApplyAssociationChoices(ClassRoot& root, AssociationBackup& backup,
                                                           const std::array<bool, kAssociationRowCount>& checked,
                                                           std::string_view modulePath,
                                                           std::string_view typeNameFormat = {});

// The rows with an extension for which Windows' own setting names a class other than
// the player's: Windows opens those types with its choice, whatever the class root says.
std::vector<const AssociationRow*> RowsDecidedByWindows(ClassRoot& root, std::string_view modulePath);

// The rows' box texts joined with the Japanese list comma ("wav、mid,midi"): box
// texts hold commas of their own.
std::string JoinBoxTexts(const std::vector<const AssociationRow*>& rows);

}  // namespace kestrun::shell
