// Where Equalizer.ax's registration lands, against an in-memory registry whose
// machine-wide class root can be made to refuse writes, as it does for a standard
// account.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <utility>

#include "equalizer/filter/class_registration.h"

namespace kestrun::equalizer {
namespace {

constexpr wchar_t kFilterClass[] = L"{E4322820-88AC-ED99-7035-28DDFC327682}";
constexpr wchar_t kPageClass[] = L"{E4322822-88AC-ED99-7035-28DDFC327682}";
constexpr wchar_t kFilterKey[] = L"CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}";
constexpr wchar_t kFilterServerKey[] = L"CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}\\InprocServer32";
constexpr wchar_t kPageServerKey[] = L"CLSID\\{E4322822-88AC-ED99-7035-28DDFC327682}\\InprocServer32";
constexpr wchar_t kEntryKey[] = L"filter entry";

ServerModule Module(const std::wstring& path) {
  return {path, {{kFilterClass, L"Quenfold' Equalizer"}, {kPageClass, L"Quenfold' Equalizer Property Page"}}};
}

class FakeRegistry final : public ClassRegistry {
 public:
  bool machineRefuses = false;
  // Refuses removal too (keys a standard account cannot delete).
  bool machineLocked = false;
  std::map<std::pair<ClassScope, std::wstring>, std::map<std::wstring, std::wstring>> keys;

  RegistrationResult SetString(ClassScope scope, const std::wstring& keyPath, const std::wstring& name,
                               const std::wstring& value) override {
    if (scope == ClassScope::Machine && machineRefuses) return kRegistrationAccessDenied;
    keys[{scope, keyPath}][name] = value;
    return kRegistrationOk;
  }
  RegistrationResult DeleteTree(ClassScope scope, const std::wstring& keyPath) override {
    bool found = false;
    for (auto it = keys.begin(); it != keys.end();) {
      const bool below =
          it->first.first == scope && (it->first.second == keyPath || it->first.second.rfind(keyPath + L"\\", 0) == 0);
      if (!below) {
        ++it;
        continue;
      }
      if (scope == ClassScope::Machine && machineLocked) return kRegistrationAccessDenied;
      found = true;
      it = keys.erase(it);
    }
    return found ? kRegistrationOk : kRegistrationFileNotFound;
  }
  RegistrationResult WriteFilterEntry(ClassScope scope, bool add) override {
    if (add) return SetString(scope, kEntryKey, L"FriendlyName", L"Quenfold' Equalizer");
    return DeleteTree(scope, kEntryKey);
  }

  bool Has(ClassScope scope, const std::wstring& key) const { return keys.count({scope, key}) != 0; }
  std::wstring Value(ClassScope scope, const std::wstring& key, const std::wstring& name = L"") const {
    const auto found = keys.find({scope, key});
    if (found == keys.end()) return L"<no key>";
    const auto value = found->second.find(name);
    return value == found->second.end() ? L"<no value>" : value->second;
  }
  size_t Count(ClassScope scope) const {
    size_t count = 0;
    for (const auto& entry : keys) count += entry.first.first == scope;
    return count;
  }
};

TEST(StandardAccountRegistration, RefusedMachineRootPutsBothClassesAndTheFilterEntryUnderTheUser) {
  FakeRegistry registry;
  registry.machineRefuses = true;
  ClassScope landed = ClassScope::Machine;
  EXPECT_EQ(RegisterServer(registry, Module(L"C:\\Portable\\Equalizer.ax"), RegistrationPlace::MachineOrUser, &landed),
            kRegistrationOk)
      << "a refused machine root is not a failure when the user's classes take it";
  EXPECT_EQ(landed, ClassScope::User);
  EXPECT_EQ(registry.Count(ClassScope::Machine), 0u);
  EXPECT_EQ(registry.Value(ClassScope::User, kFilterKey), L"Quenfold' Equalizer");
  EXPECT_EQ(registry.Value(ClassScope::User, kFilterServerKey), L"C:\\Portable\\Equalizer.ax");
  EXPECT_EQ(registry.Value(ClassScope::User, kFilterServerKey, L"ThreadingModel"), L"Both");
  EXPECT_EQ(registry.Value(ClassScope::User, kPageServerKey), L"C:\\Portable\\Equalizer.ax");
  EXPECT_TRUE(registry.Has(ClassScope::User, kEntryKey)) << "the category entry goes per-user too";
}

TEST(StandardAccountRegistration, MovedCopyRewritesTheUsersServerPath) {
  FakeRegistry registry;
  registry.machineRefuses = true;
  ASSERT_EQ(RegisterServer(registry, Module(L"C:\\Old\\Equalizer.ax"), RegistrationPlace::MachineOrUser),
            kRegistrationOk);
  ASSERT_EQ(RegisterServer(registry, Module(L"D:\\New place\\Equalizer.ax"), RegistrationPlace::MachineOrUser),
            kRegistrationOk);
  EXPECT_EQ(registry.Value(ClassScope::User, kFilterServerKey), L"D:\\New place\\Equalizer.ax");
  EXPECT_EQ(registry.Value(ClassScope::User, kPageServerKey), L"D:\\New place\\Equalizer.ax");
}

TEST(StandardAccountRegistration, UnregisterRemovesTheUsersCopyAndSucceedsWithNothingMachineWide) {
  FakeRegistry registry;
  registry.machineRefuses = true;
  ASSERT_EQ(RegisterServer(registry, Module(L"C:\\P\\Equalizer.ax"), RegistrationPlace::MachineOrUser),
            kRegistrationOk);
  EXPECT_EQ(UnregisterServer(registry, Module(L"C:\\P\\Equalizer.ax"), RegistrationPlace::MachineOrUser),
            kRegistrationOk);
  EXPECT_EQ(registry.Count(ClassScope::User), 0u);
  EXPECT_EQ(UnregisterServer(registry, Module(L"C:\\P\\Equalizer.ax"), RegistrationPlace::MachineOrUser),
            kRegistrationOk)
      << "nothing registered is what unregistering wants";
}

TEST(StandardAccountRegistration, MachineCopyThatCannotBeRemovedIsReportedAfterTheUsersIsGone) {
  FakeRegistry registry;
  ASSERT_EQ(RegisterServer(registry, Module(L"C:\\P\\Equalizer.ax"), RegistrationPlace::MachineOrUser),
            kRegistrationOk);
  registry.keys[{ClassScope::User, kFilterServerKey}][L""] = L"C:\\P\\Equalizer.ax";
  registry.machineLocked = true;
  EXPECT_EQ(UnregisterServer(registry, Module(L"C:\\P\\Equalizer.ax"), RegistrationPlace::MachineOrUser),
            kRegistrationAccessDenied)
      << "a registration left behind is not reported as removed";
  EXPECT_EQ(registry.Count(ClassScope::User), 0u);
}

TEST(MachineRegistration, WritesMachineWideAndDropsAUserCopyThatWouldHideIt) {
  FakeRegistry registry;
  registry.keys[{ClassScope::User, kFilterServerKey}][L""] = L"C:\\Old\\Equalizer.ax";
  registry.keys[{ClassScope::User, kEntryKey}][L"FriendlyName"] = L"Quenfold' Equalizer";
  ClassScope landed = ClassScope::User;
  ASSERT_EQ(RegisterServer(registry, Module(L"C:\\P\\Equalizer.ax"), RegistrationPlace::MachineOrUser, &landed),
            kRegistrationOk);
  EXPECT_EQ(landed, ClassScope::Machine);
  EXPECT_EQ(registry.Value(ClassScope::Machine, kFilterServerKey), L"C:\\P\\Equalizer.ax");
  EXPECT_TRUE(registry.Has(ClassScope::Machine, kEntryKey));
  EXPECT_EQ(registry.Count(ClassScope::User), 0u);
}

TEST(PerUserInstall, UserOnlyNeverTouchesTheMachineRoot) {
  FakeRegistry registry;
  registry.keys[{ClassScope::Machine, L"CLSID\\{other}"}][L""] = L"another program";
  ClassScope landed = ClassScope::Machine;
  ASSERT_EQ(RegisterServer(registry, Module(L"C:\\Users\\u\\Equalizer.ax"), RegistrationPlace::UserOnly, &landed),
            kRegistrationOk);
  EXPECT_EQ(landed, ClassScope::User);
  EXPECT_EQ(registry.Count(ClassScope::Machine), 1u) << "an administrator's install stays out of the machine root";
  EXPECT_EQ(registry.Value(ClassScope::User, kFilterServerKey), L"C:\\Users\\u\\Equalizer.ax");

  registry.keys[{ClassScope::Machine, kFilterKey}][L""] = L"an administrator's own registration";
  ASSERT_EQ(UnregisterServer(registry, Module(L"C:\\Users\\u\\Equalizer.ax"), RegistrationPlace::UserOnly),
            kRegistrationOk);
  EXPECT_EQ(registry.Count(ClassScope::User), 0u);
  EXPECT_TRUE(registry.Has(ClassScope::Machine, kFilterKey));
}

// A failure other than a refusal (a full disk, a broken hive) is not hidden by
// writing somewhere else.
class FailingRegistry final : public ClassRegistry {
 public:
  std::set<ClassScope> written;
  RegistrationResult SetString(ClassScope scope, const std::wstring&, const std::wstring&,
                               const std::wstring&) override {
    written.insert(scope);
    return scope == ClassScope::Machine ? static_cast<RegistrationResult>(0x80070070u) : kRegistrationOk;
  }
  RegistrationResult DeleteTree(ClassScope, const std::wstring&) override { return kRegistrationFileNotFound; }
  RegistrationResult WriteFilterEntry(ClassScope, bool) override { return kRegistrationOk; }
};

TEST(MachineRegistration, OtherFailuresAreReturnedNotRedirected) {
  FailingRegistry registry;
  EXPECT_EQ(RegisterServer(registry, Module(L"C:\\P\\Equalizer.ax"), RegistrationPlace::MachineOrUser),
            static_cast<RegistrationResult>(0x80070070u));
  EXPECT_EQ(registry.written.count(ClassScope::User), 0u);
}

}  // namespace
}  // namespace kestrun::equalizer
