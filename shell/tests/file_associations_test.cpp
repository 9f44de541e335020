#include "shell/file_associations.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace kestrun::shell {
namespace {

// A class root in memory: key paths with their default texts. Keys are created on
// read, as the registry's create semantics do.
class MemoryClassRoot : public ClassRoot {
 public:
  std::optional<std::string> ReadDefault(const std::string& key) override {
    keys.insert(key);
    auto found = defaults.find(key);
    if (found == defaults.end()) return std::nullopt;
    return found->second;
  }
  bool WriteDefault(const std::string& key, const std::string& text) override {
    if (failWritesTo.count(key) != 0) return false;
    keys.insert(key);
    defaults[key] = text;
    ++writes;
    return true;
  }
  bool DeleteTree(const std::string& key) override {
    const std::string prefix = key + "\\";
    for (auto it = keys.begin(); it != keys.end();) {
      it = (*it == key || it->rfind(prefix, 0) == 0) ? keys.erase(it) : std::next(it);
    }
    for (auto it = defaults.begin(); it != defaults.end();) {
      it = (it->first == key || it->first.rfind(prefix, 0) == 0) ? defaults.erase(it) : std::next(it);
    }
    return true;
  }
  bool HasKeyUnder(const std::string& key) const {
    for (const auto& k : keys) {
      if (k == key || k.rfind(key + "\\", 0) == 0) return true;
    }
    return false;
  }

  std::set<std::string> keys;
  std::map<std::string, std::string> defaults;
  std::set<std::string> failWritesTo;
  int writes = 0;
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

TEST(AssociationCommand, QuotesTheProgramAndThePathSoSpacesSurvive) {
  EXPECT_EQ(OpenCommand(kModule), "\"C:\\Program Files\\Kestrun\\Kestrun.exe\" \"%1\"");
  EXPECT_EQ(IconEntry(kModule), "C:\\Program Files\\Kestrun\\Kestrun.exe,1");
  EXPECT_EQ(CommandKey("KSRNmp3"), std::string("KSRNmp3\\shell\\") + kPlayVerb + "\\command");
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
  EXPECT_TRUE(root.keys.count(".mp3")) << "reading creates the empty key";
  ASSERT_TRUE(associateExtension(root, backup, "mp3", kModule));
  EXPECT_TRUE(isAssociated(root, "mp3"));
  EXPECT_EQ(root.defaults["KSRNmp3\\shell"], kPlayVerb);
  EXPECT_EQ(root.defaults[CommandKey("KSRNmp3")], OpenCommand(kModule));
  EXPECT_EQ(root.defaults["KSRNmp3\\DefaultIcon"], IconEntry(kModule));
  EXPECT_TRUE(backup.values.empty());

  // Without a backup a restore leaves the extension to the player.
  EXPECT_FALSE(restoreExtension(root, backup, "mp3"));
  EXPECT_TRUE(isAssociated(root, "mp3"));
}

TEST(AssociateExtension, EarlierClassIsKeptAndPutBackOnce) {
  MemoryClassRoot root;
  MemoryBackup backup;
  root.defaults[".wav"] = "soundrec";
  ASSERT_TRUE(associateExtension(root, backup, "wav", kModule));
  EXPECT_EQ(backup.values["wav"], "soundrec");
  EXPECT_EQ(root.defaults[".wav"], "KSRNwav");

  ASSERT_TRUE(restoreExtension(root, backup, "wav"));
  EXPECT_EQ(root.defaults[".wav"], "soundrec");
  EXPECT_EQ(backup.values["wav"], kNotChanged);
  EXPECT_FALSE(root.HasKeyUnder("KSRNwav")) << "the whole class tree goes";

  // A second restore does nothing, even if the user set something else meanwhile.
  root.defaults[".wav"] = "other";
  EXPECT_FALSE(restoreExtension(root, backup, "wav"));
  EXPECT_EQ(root.defaults[".wav"], "other");
}

TEST(AssociateExtension, AnExtensionAlreadyOursIsNotRewritten) {
  MemoryClassRoot root;
  MemoryBackup backup;
  ASSERT_TRUE(associateExtension(root, backup, "avi", "C:\\old\\Kestrun.exe"));
  const int writes = root.writes;
  ASSERT_TRUE(associateExtension(root, backup, "avi", kModule));
  EXPECT_EQ(root.writes, writes);
  EXPECT_EQ(root.defaults[CommandKey("KSRNavi")], OpenCommand("C:\\old\\Kestrun.exe"));
  EXPECT_TRUE(backup.values.empty()) << "our own class is never backed up as the earlier one";
}

TEST(AssociateExtension, EarlierClassThatCannotBeBackedUpIsNotReplaced) {
  MemoryClassRoot root;
  MemoryBackup backup;
  backup.failWrites = true;
  root.defaults[".mov"] = "QuickTime.mov";
  EXPECT_FALSE(associateExtension(root, backup, "mov", kModule));
  EXPECT_EQ(root.defaults[".mov"], "QuickTime.mov");
  EXPECT_FALSE(root.HasKeyUnder("KSRNmov"));
}

TEST(AssociateExtension, ExtensionKeyThatCannotBeWrittenGetsNoClass) {
  MemoryClassRoot root;
  MemoryBackup backup;
  root.failWritesTo.insert(".tga");
  EXPECT_FALSE(associateExtension(root, backup, "tga", kModule));
  EXPECT_FALSE(root.HasKeyUnder("KSRNtga"));
  EXPECT_FALSE(associateExtension(root, backup, "tga", ""));
}

TEST(RestoreExtension, AnotherProgramThatTookTheExtensionOverKeepsIt) {
  MemoryClassRoot root;
  MemoryBackup backup;
  root.defaults[".mid"] = "midfile";
  ASSERT_TRUE(associateExtension(root, backup, "mid", kModule));
  root.defaults[".mid"] = "OtherPlayer.mid";
  EXPECT_TRUE(restoreExtension(root, backup, "mid"));
  EXPECT_EQ(root.defaults[".mid"], "OtherPlayer.mid");
  EXPECT_FALSE(root.HasKeyUnder("KSRNmid"));
  EXPECT_EQ(backup.values["mid"], kNotChanged);
}

}  // namespace
}  // namespace kestrun::shell
