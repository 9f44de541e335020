// Registration for a standard account under Wine: the real registry behind the
// registration logic with a machine-wide class root that refuses writes, and the
// per-user install (regsvr32 /n /i:user) end to end, the filter then created from
// the module's own class factory in a real graph. Wine does not merge the user's
// classes into the class root, so COM creation of a per-user class is not checked
// to succeed here.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <string>
#include <vector>

#include "equalizer/filter/class_registration.h"
#include "equalizer/filter/class_registry_win.h"
#include "equalizer/filter/tests/com_helpers.h"
#include "platform/testing/temp_dir.h"
#include "platform/win32_handles_win.h"

namespace kestrun::equalizer::testing {
namespace {

constexpr wchar_t kFilterClass[] = L"{E4322820-88AC-ED99-7035-28DDFC327682}";
constexpr wchar_t kPageClass[] = L"{E4322822-88AC-ED99-7035-28DDFC327682}";
constexpr wchar_t kFilterServerKey[] = L"CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}\\InprocServer32";
constexpr wchar_t kPageServerKey[] = L"CLSID\\{E4322822-88AC-ED99-7035-28DDFC327682}\\InprocServer32";
constexpr wchar_t kFilterClassKey[] = L"CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}";
constexpr wchar_t kScratchClasses[] = L"Software\\Kestrun registration test classes";
constexpr DWORD kMeritDoNotUse = 0x00200000;

// The user's classes of this test's own bitness, where its module registers.
std::wstring UserClasses() { return UserClassesKeyPath() + L"\\"; }

// Keys below the user's root are read as the filter writes them (see
// kUserClassesAccess); the machine's with the system's own redirection.
platform::RegistryKey OpenForReading(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  const REGSAM view = root == HKEY_CURRENT_USER ? kUserClassesAccess : 0;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) key = nullptr;
  return platform::RegistryKey(key);
}

bool KeyExists(HKEY root, const std::wstring& path) { return OpenForReading(root, path).get() != nullptr; }

std::wstring ReadString(HKEY root, const std::wstring& path, const wchar_t* name = nullptr) {
  wchar_t value[MAX_PATH * 2] = {};
  DWORD bytes = sizeof value - sizeof(wchar_t);
  DWORD type = 0;
  const platform::RegistryKey key = OpenForReading(root, path);
  if (!key.get() || RegGetValueW(key.get(), nullptr, name, RRF_RT_REG_SZ, &type, value, &bytes) != ERROR_SUCCESS) {
    return L"<missing>";
  }
  return value;
}

std::vector<BYTE> ReadBinary(HKEY root, const std::wstring& path, const wchar_t* name) {
  std::vector<BYTE> data(4096);
  DWORD bytes = static_cast<DWORD>(data.size());
  const platform::RegistryKey key = OpenForReading(root, path);
  if (!key.get() ||
      RegGetValueW(key.get(), nullptr, name, RRF_RT_REG_BINARY, nullptr, data.data(), &bytes) != ERROR_SUCCESS) {
    return {};
  }
  data.resize(bytes);
  return data;
}

ServerModule ThisModule() {
  return {Module().path, {{kFilterClass, L"Quenfold' Equalizer"}, {kPageClass, L"Quenfold' Equalizer Property Page"}}};
}

// The filter's mapper data, minimal: the tests read only its header.
const FilterSetup kTestSetup = {&CLSID_Equalizer, L"Quenfold' Equalizer", kMeritDoNotUse, 0, nullptr};

// The real registry, except that the machine's class root refuses every write, as
// it does for a standard account on Windows.
class RefusingMachineRoot final : public ClassRegistry {
 public:
  explicit RefusingMachineRoot(ClassRegistry& real) : real_(real) {}
  RegistrationResult SetString(ClassScope scope, const std::wstring& keyPath, const std::wstring& name,
                               const std::wstring& value) override {
    if (scope == ClassScope::Machine) return kRegistrationAccessDenied;
    return real_.SetString(scope, keyPath, name, value);
  }
  RegistrationResult DeleteTree(ClassScope scope, const std::wstring& keyPath) override {
    return real_.DeleteTree(scope, keyPath);
  }
  RegistrationResult WriteFilterEntry(ClassScope scope, bool add) override {
    if (scope == ClassScope::Machine && add) return kRegistrationAccessDenied;
    return real_.WriteFilterEntry(scope, add);
  }

 private:
  ClassRegistry& real_;
};

class StandardAccount : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ASSERT_NE(Module().module, nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratchClasses);
    // No machine-wide registration to fall back on.
    ASSERT_EQ(Module().unregisterServer(), S_OK);
    ASSERT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kFilterClassKey));
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratchClasses);
    // Leaves the prefix registered machine-wide for the other tests.
    EXPECT_EQ(Module().registerServer(), S_OK);
    EXPECT_EQ(Module().canUnloadNow(), S_OK);
    CoUninitialize();
  }
};

TEST_F(StandardAccount, RefusedMachineRootPutsTheClassesAndTheMapperRecordUnderTheUser) {
  // Wine lets every registry write through, even on a key opened for reading; the
  // machine's root refuses here the way it does for a standard account.
  HKEY machine = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Classes", 0, KEY_READ, &machine), ERROR_SUCCESS);
  HKEY user = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_CURRENT_USER, kScratchClasses, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &user, nullptr),
      ERROR_SUCCESS);
  {
    Win32ClassRegistry real(machine, user, kTestSetup);
    RefusingMachineRoot registry(real);
    ClassScope landed = ClassScope::Machine;
    EXPECT_EQ(RegisterServer(registry, ThisModule(), RegistrationPlace::MachineOrUser, &landed), S_OK);
    EXPECT_EQ(landed, ClassScope::User);
  }
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kFilterClassKey)) << "nothing landed machine-wide";
  const std::wstring scratch = std::wstring(kScratchClasses) + L"\\";
  EXPECT_EQ(lstrcmpiW(ReadString(HKEY_CURRENT_USER, scratch + kFilterServerKey).c_str(), Module().path.c_str()), 0);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, scratch + kFilterServerKey, L"ThreadingModel"), L"Both");
  EXPECT_EQ(lstrcmpiW(ReadString(HKEY_CURRENT_USER, scratch + kPageServerKey).c_str(), Module().path.c_str()), 0);

  // The category entry as the system's mapper would have written it.
  const std::wstring entry = scratch + kFilterCategoryInstanceKey + kFilterClass;
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, entry, L"FriendlyName"), L"Quenfold' Equalizer");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, entry, L"CLSID"), kFilterClass);
  const std::vector<BYTE> record = ReadBinary(HKEY_CURRENT_USER, entry, L"FilterData");
  ASSERT_GE(record.size(), 8u);
  const DWORD merit = record[4] | record[5] << 8 | record[6] << 16 | static_cast<DWORD>(record[7]) << 24;
  EXPECT_EQ(merit, kMeritDoNotUse);

  {
    Win32ClassRegistry real(machine, user, kTestSetup);
    RefusingMachineRoot registry(real);
    EXPECT_EQ(UnregisterServer(registry, ThisModule(), RegistrationPlace::MachineOrUser), S_OK);
  }
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, scratch + kFilterClassKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, entry));
  RegCloseKey(user);
  RegCloseKey(machine);
}

TEST_F(StandardAccount, PerUserInstallRegistersForTheUserAloneAndTheModuleServesARealGraph) {
  ASSERT_EQ(Regsvr32(L"/s /n /i:user"), 0u);
  const std::wstring userServer = UserClasses() + kFilterServerKey;
  EXPECT_EQ(lstrcmpiW(ReadString(HKEY_CURRENT_USER, userServer).c_str(), Module().path.c_str()), 0);
  EXPECT_EQ(lstrcmpiW(ReadString(HKEY_CURRENT_USER, UserClasses() + kPageServerKey).c_str(), Module().path.c_str()), 0);
  const std::wstring entry = UserClasses() + kFilterCategoryInstanceKey + kFilterClass;
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, entry, L"FriendlyName"), L"Quenfold' Equalizer");
  EXPECT_FALSE(ReadBinary(HKEY_CURRENT_USER, entry, L"FilterData").empty());
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(L"Software\\Classes\\") + kFilterClassKey))
      << "a per-user install leaves the machine's classes alone";

  // Windows would create the class through COM now; Wine 8 does not look in the
  // user's classes. Either way, the module's own factory needs no registration.
  ComPtr<IBaseFilter> viaCom;
  const HRESULT com = CoCreateInstance(CLSID_Equalizer, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&viaCom));
  EXPECT_TRUE(com == S_OK || com == REGDB_E_CLASSNOTREG) << std::hex << com;
  viaCom.Reset();

  ComPtr<IBaseFilter> filter = CreateEqualizer();
  ASSERT_TRUE(filter);
  kestrun::testing::TempDir temp;
  const std::wstring wav = Widen(temp.File("per-user.wav"));
  const auto input = TestSignal(44100 / 2, 21);
  ASSERT_TRUE(WriteWav(wav, PcmFormat{}, input));
  {
    GrabberGraph graph;
    ASSERT_EQ(graph.Build(filter.Get(), wav), S_OK);
    ASSERT_TRUE(graph.RunToCompletion());
    EXPECT_TRUE(graph.collector.Joined() == input) << "the switches are off: the stream passes unchanged";
    graph.Release();
  }
  EXPECT_EQ(filter.Detach()->Release(), 0u);

  ASSERT_EQ(Regsvr32(L"/u /s /n /i:user"), 0u);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UserClasses() + kFilterClassKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, entry));
}

TEST_F(StandardAccount, MachineRegistrationRemovesAUserCopyThatWouldHideIt) {
  ASSERT_EQ(Regsvr32(L"/s /n /i:user"), 0u);
  ASSERT_TRUE(KeyExists(HKEY_CURRENT_USER, UserClasses() + kFilterClassKey));
  const std::vector<BYTE> userRecord =
      ReadBinary(HKEY_CURRENT_USER, UserClasses() + kFilterCategoryInstanceKey + kFilterClass, L"FilterData");
  ASSERT_EQ(Regsvr32(L"/s"), 0u);
  // The per-user record is the one the system's mapper writes, pins and all.
  EXPECT_EQ(ReadBinary(HKEY_CLASSES_ROOT, std::wstring(kFilterCategoryInstanceKey) + kFilterClass, L"FilterData"),
            userRecord);
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, kFilterClassKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UserClasses() + kFilterClassKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UserClasses() + kFilterCategoryInstanceKey + kFilterClass));
}

#if !defined(_WIN64)
// The 32-bit filter registered for a user beside the 64-bit one (the installer
// registers both): each in its own view of the user's classes, so registering or
// unregistering the 32-bit module leaves the 64-bit registration as it was.
TEST_F(StandardAccount, ThirtyTwoBitUserRegistrationLeavesTheSixtyFourBitOneAlone) {
  BOOL wow64 = FALSE;
  if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) GTEST_SKIP() << "not on 64-bit Windows";
  const std::wstring sixtyFourBitServer = std::wstring(L"Software\\Classes\\") + kFilterServerKey;
  const std::wstring sixtyFourBitModule = L"C:\\Program Files\\Kestrun\\Equalizer.ax";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, sixtyFourBitServer.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const platform::RegistryKey server(key);
  ASSERT_EQ(RegSetValueExW(server.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(sixtyFourBitModule.c_str()),
                           static_cast<DWORD>((sixtyFourBitModule.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
  auto sixtyFourBitEntry = [&] {
    wchar_t value[MAX_PATH] = {};
    DWORD bytes = sizeof value - sizeof(wchar_t);
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, sixtyFourBitServer.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &opened) !=
        ERROR_SUCCESS) {
      return std::wstring(L"<missing>");
    }
    const platform::RegistryKey entry(opened);
    if (RegGetValueW(entry.get(), nullptr, nullptr, RRF_RT_REG_SZ, nullptr, value, &bytes) != ERROR_SUCCESS) {
      return std::wstring(L"<missing>");
    }
    return std::wstring(value);
  };

  ASSERT_EQ(Regsvr32(L"/s /n /i:user"), 0u);
  EXPECT_EQ(lstrcmpiW(ReadString(HKEY_CURRENT_USER, UserClasses() + kFilterServerKey).c_str(), Module().path.c_str()),
            0);
  EXPECT_EQ(sixtyFourBitEntry(), sixtyFourBitModule);
  ASSERT_EQ(Regsvr32(L"/u /s /n /i:user"), 0u);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UserClasses() + kFilterClassKey));
  EXPECT_EQ(sixtyFourBitEntry(), sixtyFourBitModule);

  RegDeleteTreeW(server.get(), nullptr);
  RegDeleteKeyExW(HKEY_CURRENT_USER,
                  (std::wstring(L"Software\\Classes\\") + kFilterClassKey + L"\\InprocServer32").c_str(),
                  KEY_WOW64_64KEY, 0);
  RegDeleteKeyExW(HKEY_CURRENT_USER, (std::wstring(L"Software\\Classes\\") + kFilterClassKey).c_str(), KEY_WOW64_64KEY,
                  0);
}
#endif

}  // namespace
}  // namespace kestrun::equalizer::testing
