#include "shell/file_associations.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "resources/shell_dialog_ids.h"

namespace kestrun::shell {
namespace {

using Scope = ClassRoot::Scope;

// One hive of classes in memory: key paths with their default texts and value names.
struct MemoryHive {
  std::set<std::string> keys;
  std::map<std::string, std::string> defaults;
  std::map<std::string, std::set<std::string>> valueNames;
  // Keys whose writes fail (as a key the user may not change), or every write.
  std::set<std::string> failWritesTo;
  bool refuseWrites = false;
  int writes = 0;
  int refusedWrites = 0;

  bool Writable(const std::string& key) {
    if (refuseWrites || failWritesTo.count(key) != 0) {
      ++refusedWrites;
      return false;
    }
    ++writes;
    return true;
  }
  void AddKey(const std::string& key) {
    // Creating a key creates its parents, as the registry does.
    for (std::size_t slash = key.find('\\'); slash != std::string::npos; slash = key.find('\\', slash + 1)) {
      keys.insert(key.substr(0, slash));
    }
    keys.insert(key);
  }
  bool HasKeyUnder(const std::string& key) const {
    for (const auto& k : keys) {
      if (k == key || k.rfind(key + "\\", 0) == 0) return true;
    }
    return false;
  }
  std::optional<std::string> Default(const std::string& key) const {
    auto found = defaults.find(key);
    if (found == defaults.end()) return std::nullopt;
    return found->second;
  }
};

// The user's and the machine's classes, merged the way Windows merges them, and the
// user's choices in Windows' own settings.
class MemoryClassRoot : public ClassRoot {
 public:
  std::optional<std::string> ReadDefault(const std::string& key) override {
    if (auto own = user.Default(key)) return own;
    return machine.Default(key);
  }
  std::optional<std::string> ReadDefaultIn(Scope scope, const std::string& key) override {
    return Hive(scope).Default(key);
  }
  bool WriteDefault(Scope scope, const std::string& key, const std::string& text) override {
    MemoryHive& hive = Hive(scope);
    if (!hive.Writable(key)) return false;
    hive.AddKey(key);
    hive.defaults[key] = text;
    return true;
  }
  bool WriteValueName(Scope scope, const std::string& key, const std::string& name) override {
    MemoryHive& hive = Hive(scope);
    if (!hive.Writable(key)) return false;
    hive.AddKey(key);
    hive.valueNames[key].insert(name);
    return true;
  }
  bool DeleteValue(Scope scope, const std::string& key, const std::string& name) override {
    MemoryHive& hive = Hive(scope);
    if (name.empty()) {
      if (hive.defaults.count(key) == 0) return true;
      if (!hive.Writable(key)) return false;
      hive.defaults.erase(key);
      return true;
    }
    auto found = hive.valueNames.find(key);
    if (found == hive.valueNames.end() || found->second.count(name) == 0) return true;
    if (!hive.Writable(key)) return false;
    found->second.erase(name);
    return true;
  }
  bool DeleteTree(Scope scope, const std::string& key) override {
    MemoryHive& hive = Hive(scope);
    if (!hive.HasKeyUnder(key)) return true;
    if (!hive.Writable(key)) return false;
    const std::string prefix = key + "\\";
    auto under = [&](const std::string& k) { return k == key || k.rfind(prefix, 0) == 0; };
    for (auto it = hive.keys.begin(); it != hive.keys.end();) it = under(*it) ? hive.keys.erase(it) : std::next(it);
    for (auto it = hive.defaults.begin(); it != hive.defaults.end();) {
      it = under(it->first) ? hive.defaults.erase(it) : std::next(it);
    }
    for (auto it = hive.valueNames.begin(); it != hive.valueNames.end();) {
      it = under(it->first) ? hive.valueNames.erase(it) : std::next(it);
    }
    return true;
  }
  std::optional<std::string> ReadUserChoice(std::string_view extension) override {
    auto found = userChoices.find(std::string(extension));
    if (found == userChoices.end()) return std::nullopt;
    return found->second;
  }

  MemoryHive& Hive(Scope scope) { return scope == Scope::User ? user : machine; }

  MemoryHive user;
  MemoryHive machine;
  std::map<std::string, std::string> userChoices;
};

// A standard account: the machine-wide classes can be read but not written.
class StandardAccountRoot : public MemoryClassRoot {
 public:
  StandardAccountRoot() { machine.refuseWrites = true; }
};

class MemoryBackup : public AssociationBackup {
 public:
  std::string Read(const std::string& extension) override {
    auto found = values.find(extension);
    return found == values.end() ? kNotChanged : found->second;
  }
  bool Write(const std::string& extension, const std::string& className) override {
    if (failWrites) return false;
    values[extension] = className;
    return true;
  }
  std::map<std::string, std::string> values;
  bool failWrites = false;
};

constexpr char kModule[] = "C:\\Program Files\\Kestrun\\Kestrun.exe";

std::array<bool, kAssociationRowCount> AllChecked(bool checked) {
  std::array<bool, kAssociationRowCount> boxes{};
  boxes.fill(checked);
  return boxes;
}

std::array<bool, kAssociationRowCount> Checked(std::initializer_list<int> controls) {
  std::array<bool, kAssociationRowCount> boxes{};
  for (std::size_t i = 0; i < kAssociationRows.size(); ++i) {
    for (int control : controls) boxes[i] = boxes[i] || kAssociationRows[i].controlId == control;
  }
  return boxes;
}

std::set<std::string> BoxTexts(const std::vector<const AssociationRow*>& rows) {
  std::set<std::string> texts;
  for (const AssociationRow* row : rows) texts.insert(row->boxText);
  return texts;
}

TEST(AssociationCommand, QuotesTheProgramAndThePathSoSpacesSurvive) {
  EXPECT_EQ(OpenCommand(kModule), "\"C:\\Program Files\\Kestrun\\Kestrun.exe\" \"%1\"");
  EXPECT_EQ(IconEntry(kModule), "C:\\Program Files\\Kestrun\\Kestrun.exe,1");
  EXPECT_EQ(CommandKey("KSRNmp3"), std::string("KSRNmp3\\shell\\") + kPlayVerb + "\\command");
}

TEST(AssociationCommand, OpenWithEntryIsNamedAfterTheProgramFileNotItsFolder) {
  EXPECT_EQ(ApplicationKey(kModule), "Applications\\Kestrun.exe");
  EXPECT_EQ(ApplicationCommandKey("D:/portable/Kestrun.exe"), "Applications\\Kestrun.exe\\shell\\open\\command");
  EXPECT_EQ(SupportedTypesKey("Kestrun.exe"), "Applications\\Kestrun.exe\\SupportedTypes");
  EXPECT_EQ(OpenWithProgidsKey("mp3"), ".mp3\\OpenWithProgids");
}

TEST(AssociationRows, EveryExtensionOnceAndEachBoxTestsOneOfItsOwn) {
  std::set<std::string> seen;
  std::set<int> controls;
  for (const AssociationRow& row : kAssociationRows) {
    EXPECT_TRUE(controls.insert(row.controlId).second) << row.boxText;
    bool testsOwn = false;
    for (const char* extension : row.extensions) {
      if (extension[0] == '\0') continue;
      EXPECT_TRUE(seen.insert(extension).second) << extension;
      testsOwn = testsOwn || std::string(extension) == row.testExtension;
    }
    EXPECT_TRUE(testsOwn) << row.boxText;
  }
  EXPECT_EQ(seen.size(), 24u);
}

TEST(AssociateExtension, WithoutEarlierClassWritesTheWholeClassAndNoBackup) {
  MemoryClassRoot root;
  MemoryBackup backup;
  EXPECT_FALSE(isAssociated(root, "mp3"));
  EXPECT_TRUE(root.user.keys.empty()) << "looking writes nothing: an empty key of the user's would mask the machine's";
  ASSERT_TRUE(associateExtension(root, backup, "mp3", kModule));
  EXPECT_TRUE(isAssociated(root, "mp3"));
  EXPECT_EQ(root.user.defaults["KSRNmp3\\shell"], kPlayVerb);
  EXPECT_EQ(root.user.defaults[CommandKey("KSRNmp3")], OpenCommand(kModule));
  EXPECT_EQ(root.user.defaults["KSRNmp3\\DefaultIcon"], IconEntry(kModule));
  EXPECT_EQ(root.user.valueNames[".mp3\\OpenWithProgids"], std::set<std::string>{"KSRNmp3"});
  EXPECT_TRUE(backup.values.empty());

  // Without a backup a restore leaves the extension to the player.
  EXPECT_EQ(restoreExtension(root, backup, "mp3"), RestoreResult::NothingKept);
  EXPECT_TRUE(isAssociated(root, "mp3"));
}

TEST(AssociateExtension, EarlierClassIsKeptAndPutBackOnce) {
  MemoryClassRoot root;
  MemoryBackup backup;
  root.machine.defaults[".wav"] = "soundrec";
  ASSERT_TRUE(associateExtension(root, backup, "wav", kModule));
  EXPECT_EQ(backup.values["wav"], "soundrec");
  EXPECT_EQ(root.ReadDefault(".wav"), "KSRNwav");

  ASSERT_EQ(restoreExtension(root, backup, "wav"), RestoreResult::Restored);
  EXPECT_EQ(root.ReadDefault(".wav"), "soundrec");
  EXPECT_EQ(backup.values["wav"], kNotChanged);
  EXPECT_FALSE(root.user.HasKeyUnder("KSRNwav")) << "the whole class tree goes";
  EXPECT_EQ(root.user.valueNames[".wav\\OpenWithProgids"].count("KSRNwav"), 0u);

  // A second restore does nothing, even if the user set something else meanwhile.
  root.user.defaults[".wav"] = "other";
  EXPECT_EQ(restoreExtension(root, backup, "wav"), RestoreResult::NothingKept);
  EXPECT_EQ(root.ReadDefault(".wav"), "other");
}

TEST(AssociateExtension, AMovedProgramRewritesTheCommandAndIconOfItsOwnClass) {
  MemoryClassRoot root;
  MemoryBackup backup;
  ASSERT_TRUE(associateExtension(root, backup, "avi", "C:\\old\\Kestrun.exe"));
  ASSERT_TRUE(associateExtension(root, backup, "avi", kModule));
  EXPECT_EQ(root.user.defaults[CommandKey("KSRNavi")], OpenCommand(kModule));
  EXPECT_EQ(root.user.defaults[DefaultIconKey("KSRNavi")], IconEntry(kModule));
  EXPECT_TRUE(backup.values.empty()) << "our own class is never backed up as the earlier one";
}

TEST(AssociateExtension, EarlierClassThatCannotBeBackedUpIsNotReplaced) {
  MemoryClassRoot root;
  MemoryBackup backup;
  backup.failWrites = true;
  root.machine.defaults[".mov"] = "QuickTime.mov";
  EXPECT_FALSE(associateExtension(root, backup, "mov", kModule));
  EXPECT_EQ(root.ReadDefault(".mov"), "QuickTime.mov");
  EXPECT_FALSE(root.user.HasKeyUnder("KSRNmov"));
}

TEST(AssociateExtension, ExtensionKeyThatCannotBeWrittenIsReportedAndNamesNothing) {
  MemoryClassRoot root;
  MemoryBackup backup;
  root.user.failWritesTo.insert(".tga");
  EXPECT_FALSE(associateExtension(root, backup, "tga", kModule));
  EXPECT_FALSE(isAssociated(root, "tga"));
  EXPECT_FALSE(associateExtension(root, backup, "tga", ""));
}

TEST(AssociateExtension, ExtensionNeverNamesAClassWhoseCommandWasNotWritten) {
  MemoryClassRoot root;
  MemoryBackup backup;
  root.machine.defaults[".mpa"] = "OtherPlayer.mpa";
  root.user.failWritesTo.insert(CommandKey("KSRNmpa"));
  EXPECT_FALSE(associateExtension(root, backup, "mpa", kModule));
  EXPECT_EQ(root.ReadDefault(".mpa"), "OtherPlayer.mpa");
  EXPECT_FALSE(root.user.HasKeyUnder("KSRNmpa")) << "no half-written class is left behind";
}

TEST(RestoreExtension, AnotherProgramThatTookTheExtensionOverKeepsIt) {
  MemoryClassRoot root;
  MemoryBackup backup;
  root.machine.defaults[".mid"] = "midfile";
  ASSERT_TRUE(associateExtension(root, backup, "mid", kModule));
  root.user.defaults[".mid"] = "OtherPlayer.mid";
  EXPECT_EQ(restoreExtension(root, backup, "mid"), RestoreResult::Restored);
  EXPECT_EQ(root.ReadDefault(".mid"), "OtherPlayer.mid");
  EXPECT_FALSE(root.user.HasKeyUnder("KSRNmid"));
  EXPECT_EQ(backup.values["mid"], kNotChanged);
}

// A user without administrator rights: nothing may go to the machine-wide classes.
TEST(StandardAccount, EveryAssociationAndTheOpenWithEntryLandPerUser) {
  StandardAccountRoot root;
  MemoryBackup backup;
  root.machine.defaults[".wav"] = "soundrec";
  root.machine.defaults[".jpg"] = "jpegfile";
  const auto failed = ApplyAssociationChoices(root, backup, AllChecked(true), kModule);
  EXPECT_TRUE(failed.empty()) << JoinBoxTexts(failed);
  EXPECT_EQ(root.machine.writes, 0);
  EXPECT_EQ(root.machine.refusedWrites, 0) << "the player does not even try the machine-wide classes";
  for (const AssociationRow& row : kAssociationRows) {
    for (const char* extension : row.extensions) {
      if (extension[0] == '\0') continue;
      EXPECT_TRUE(isAssociated(root, extension)) << extension;
      EXPECT_EQ(root.user.Default(ExtensionKey(extension)), ClassNameFor(extension));
      EXPECT_EQ(root.user.Default(CommandKey(ClassNameFor(extension))), OpenCommand(kModule));
      EXPECT_EQ(root.user.valueNames[OpenWithProgidsKey(extension)].count(ClassNameFor(extension)), 1u);
      EXPECT_EQ(root.user.valueNames[SupportedTypesKey(kModule)].count(ExtensionKey(extension)), 1u);
    }
  }
  // The types without a box: offered under "Open with", their default untouched.
  for (const char* extension : kOpenWithOnlyExtensions) {
    EXPECT_FALSE(isAssociated(root, extension)) << extension;
    EXPECT_EQ(root.user.valueNames[OpenWithProgidsKey(extension)], std::set<std::string>{ClassNameFor(extension)});
    EXPECT_EQ(root.user.Default(CommandKey(ClassNameFor(extension))), OpenCommand(kModule));
    EXPECT_EQ(root.user.valueNames[SupportedTypesKey(kModule)].count(ExtensionKey(extension)), 1u);
  }
  EXPECT_EQ(root.user.valueNames[SupportedTypesKey(kModule)].size(), 24u + kOpenWithOnlyExtensions.size());
  EXPECT_EQ(root.user.Default(ApplicationCommandKey(kModule)), OpenCommand(kModule));
  EXPECT_EQ(backup.values, (std::map<std::string, std::string>{
                               {"wav", "soundrec"}, {"wav.user", ""}, {"jpg", "jpegfile"}, {"jpg.user", ""}}));

  // Unchecking everything gives the earlier classes back and removes the entry.
  EXPECT_TRUE(ApplyAssociationChoices(root, backup, AllChecked(false), kModule).empty());
  EXPECT_EQ(root.ReadDefault(".wav"), "soundrec");
  EXPECT_EQ(root.ReadDefault(".jpg"), "jpegfile");
  EXPECT_TRUE(isAssociated(root, "mp3")) << "a type that had no class stays the player's";
  EXPECT_FALSE(root.user.HasKeyUnder(ApplicationKey(kModule)));
  for (const char* extension : kOpenWithOnlyExtensions) {
    EXPECT_FALSE(root.user.HasKeyUnder(ClassNameFor(extension))) << extension;
    EXPECT_EQ(root.user.valueNames[OpenWithProgidsKey(extension)].count(ClassNameFor(extension)), 0u);
  }
  EXPECT_EQ(root.machine.writes, 0);
}

TEST(StandardAccount, FailureReportNamesExactlyTheTypesThatStayedAsTheyWere) {
  StandardAccountRoot root;
  MemoryBackup backup;
  root.user.failWritesTo = {".mp3", ".midi", DefaultIconKey("KSRNjpeg")};
  // ".au" was taken by an earlier version machine-wide and should now go back; this
  // user may write neither the machine-wide key nor (here) the own one.
  root.machine.defaults[".au"] = "KSRNau";
  backup.values["au"] = "aufile";
  root.user.failWritesTo.insert(".au");
  const auto failed = ApplyAssociationChoices(
      root, backup, Checked({IDC_ASSOC_MP3, IDC_ASSOC_MIDI, IDC_ASSOC_JPEG, IDC_ASSOC_WAV, IDC_ASSOC_TGA}), kModule);
  EXPECT_EQ(BoxTexts(failed), (std::set<std::string>{"mp3", "mid,midi", "jpg,jpeg", "au"}));
  EXPECT_EQ(JoinBoxTexts(failed), "mp3、au、mid,midi、jpg,jpeg") << "table order";
  EXPECT_TRUE(isAssociated(root, "wav"));
  EXPECT_TRUE(isAssociated(root, "tga"));
  EXPECT_TRUE(isAssociated(root, "mid")) << "the half of a row that could be written is";
  EXPECT_FALSE(isAssociated(root, "jpeg"));
  EXPECT_EQ(root.machine.writes, 0);
}

TEST(StandardAccount, MachineWideAssociationOfAnEarlierVersionIsGivenBackForThisUser) {
  StandardAccountRoot root;
  MemoryBackup backup;
  root.machine.defaults[".wav"] = "KSRNwav";
  root.machine.defaults[CommandKey("KSRNwav")] = OpenCommand("C:\\old\\Kestrun.exe");
  root.machine.AddKey(CommandKey("KSRNwav"));
  backup.values["wav"] = "soundrec";
  ASSERT_TRUE(isAssociated(root, "wav"));

  EXPECT_EQ(restoreExtension(root, backup, "wav"), RestoreResult::Restored);
  EXPECT_EQ(root.ReadDefault(".wav"), "soundrec");
  EXPECT_EQ(backup.values["wav"], kNotChanged);
  EXPECT_EQ(root.machine.writes, 0);
  EXPECT_TRUE(root.machine.HasKeyUnder("KSRNwav")) << "the machine-wide extension still names it";
}

TEST(Administrator, MachineWideAssociationOfAnEarlierVersionIsGivenBackEverywhere) {
  MemoryClassRoot root;
  MemoryBackup backup;
  root.machine.defaults[".wav"] = "KSRNwav";
  root.machine.AddKey(CommandKey("KSRNwav"));
  backup.values["wav"] = "soundrec";
  EXPECT_EQ(restoreExtension(root, backup, "wav"), RestoreResult::Restored);
  EXPECT_EQ(root.machine.Default(".wav"), "soundrec");
  EXPECT_FALSE(root.machine.HasKeyUnder("KSRNwav"));
  EXPECT_EQ(root.ReadDefault(".wav"), "soundrec");
}

// What the user saw came from the machine-wide classes: giving it back must not copy
// it into the user's own, where it would hide every later machine-wide change.
TEST(RestoreExtension, GivesBackTheUsersOwnValueExactly) {
  MemoryClassRoot root;
  MemoryBackup backup;
  root.machine.defaults[".mp3"] = "WMP11.AssocFile.MP3";
  ASSERT_TRUE(associateExtension(root, backup, "mp3", kModule));
  ASSERT_EQ(restoreExtension(root, backup, "mp3"), RestoreResult::Restored);
  EXPECT_EQ(root.user.Default(".mp3"), std::nullopt) << "the user had no value of their own";
  EXPECT_EQ(root.ReadDefault(".mp3"), "WMP11.AssocFile.MP3");
  root.machine.defaults[".mp3"] = "NewPlayer.mp3";
  EXPECT_EQ(root.ReadDefault(".mp3"), "NewPlayer.mp3") << "a later machine-wide change shows through";

  // The user's own class, hiding a machine-wide one, goes back as it was.
  root.user.defaults[".wma"] = "MyPlayer.wma";
  root.machine.defaults[".wma"] = "WMP11.AssocFile.WMA";
  ASSERT_TRUE(associateExtension(root, backup, "wma", kModule));
  ASSERT_EQ(restoreExtension(root, backup, "wma"), RestoreResult::Restored);
  EXPECT_EQ(root.user.Default(".wma"), "MyPlayer.wma");
  EXPECT_EQ(backup.Read("wma.user"), kNotChanged);
}

// Kept by an earlier version, with only the class the merged view showed.
TEST(RestoreExtension, BackupWithoutTheUsersOwnValueGivesTheMachinesClassNoUserCopy) {
  MemoryClassRoot root;
  MemoryBackup backup;
  root.machine.defaults[".avi"] = "avifile";
  root.user.defaults[".avi"] = "KSRNavi";
  backup.values["avi"] = "avifile";
  ASSERT_EQ(restoreExtension(root, backup, "avi"), RestoreResult::Restored);
  EXPECT_EQ(root.user.Default(".avi"), std::nullopt);
  EXPECT_EQ(root.ReadDefault(".avi"), "avifile");
  // One the machine-wide classes do not name is the user's own.
  root.user.defaults[".mov"] = "KSRNmov";
  backup.values["mov"] = "QuickTime.mov";
  ASSERT_EQ(restoreExtension(root, backup, "mov"), RestoreResult::Restored);
  EXPECT_EQ(root.user.Default(".mov"), "QuickTime.mov");
}

// Explorer's Type column shows the class's default text; programs that ask for the
// "open" verb find one beside the player's own default verb.
TEST(AssociateExtension, ClassHasATypeNameAndAnOpenVerb) {
  MemoryClassRoot root;
  MemoryBackup backup;
  ASSERT_TRUE(associateExtension(root, backup, "mp3", kModule, "%s \x83\x74\x83\x40\x83\x43\x83\x8b"));
  EXPECT_EQ(root.user.Default("KSRNmp3"), "MP3 \x83\x74\x83\x40\x83\x43\x83\x8b");
  EXPECT_EQ(root.user.Default(OpenVerbCommandKey("KSRNmp3")), OpenCommand(kModule));
  EXPECT_EQ(root.user.Default(ShellKey("KSRNmp3")), kPlayVerb) << "the player's verb stays the default";
  EXPECT_EQ(TypeNameFor("", "wav"), "");
  EXPECT_EQ(TypeNameFor("%s file", "m1v"), "M1V file");
  EXPECT_TRUE(registerApplication(root, kModule, "%s type"));
  EXPECT_EQ(root.user.Default("KSRNflac"), "FLAC type");
  EXPECT_EQ(root.user.Default(OpenVerbCommandKey("KSRNflac")), OpenCommand(kModule));
}

TEST(WindowsChoice, TypesChosenInWindowsSettingsForAnotherProgramAreNamed) {
  MemoryClassRoot root;
  root.userChoices = {{"mp3", "WMP11.AssocFile.MP3"},
                      {"midi", "OtherPlayer.midi"},
                      {"wav", "KSRNwav"},
                      {"aif", "Applications\\Kestrun.exe"},
                      {"bmp", ""}};
  const auto rows = RowsDecidedByWindows(root, kModule);
  EXPECT_EQ(JoinBoxTexts(rows), "mp3、mid,midi") << "the player's own choices and empty ones say nothing";
  root.userChoices.clear();
  EXPECT_TRUE(RowsDecidedByWindows(root, kModule).empty());
}

}  // namespace
}  // namespace kestrun::shell
