// Self-registration through the system's registration tool, as the player runs it,
// and through the filter's own IAMovieSetup.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>

#include <string>

#include "equalizer/filter/tests/com_helpers.h"

namespace kestrun::equalizer::testing {
namespace {

constexpr wchar_t kClassKey[] = L"CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}";
constexpr wchar_t kFilterName[] = L"Quenfold' Equalizer";
constexpr DWORD kMeritDoNotUse = 0x00200000;

// Runs "regsvr32 [/u] /s <module>" and returns its exit code.
std::wstring ReadString(const wchar_t* keyPath, const wchar_t* name, bool* found) {
  wchar_t value[MAX_PATH * 2] = {};
  DWORD bytes = sizeof value - sizeof(wchar_t);
  DWORD type = 0;
  HKEY key = nullptr;
  *found = RegOpenKeyExW(HKEY_CLASSES_ROOT, keyPath, 0, KEY_READ, &key) == ERROR_SUCCESS;
  if (*found) {
    *found = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &bytes) == ERROR_SUCCESS &&
             type == REG_SZ;
    RegCloseKey(key);
  }
  return value;
}

bool ClassKeyExists() {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kClassKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

struct FilterEntry {
  int count = 0;
  std::wstring name;
  DWORD merit = 0;
};

// Our entries among the registered DirectShow filters, as the system enumerates
// them (fresh each time).
FilterEntry FindFilterEntries() {
  FilterEntry entry;
  ComPtr<ICreateDevEnum> devices;
  if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&devices)))) {
    return entry;
  }
  ComPtr<IEnumMoniker> monikers;
  if (devices->CreateClassEnumerator(CLSID_LegacyAmFilterCategory, &monikers, 0) != S_OK) {
    return entry;
  }
  ComPtr<IMoniker> moniker;
  while (monikers->Next(1, moniker.ReleaseAndGetAddressOf(), nullptr) == S_OK) {
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_PPV_ARGS(&bag)))) continue;
    VARIANT value;
    VariantInit(&value);
    if (FAILED(bag->Read(L"CLSID", &value, nullptr)) || value.vt != VT_BSTR) continue;
    CLSID clsid = {};
    CLSIDFromString(value.bstrVal, &clsid);
    VariantClear(&value);
    if (clsid != CLSID_Equalizer) continue;
    ++entry.count;
    if (SUCCEEDED(bag->Read(L"FriendlyName", &value, nullptr)) && value.vt == VT_BSTR) {
      entry.name = value.bstrVal;
    }
    VariantClear(&value);
    // The mapper's binary record starts with its version and the merit.
    if (SUCCEEDED(bag->Read(L"FilterData", &value, nullptr)) && value.vt == (VT_ARRAY | VT_UI1) &&
        value.parray->rgsabound[0].cElements >= 8) {
      const auto* bytes = static_cast<const BYTE*>(value.parray->pvData);
      entry.merit = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | static_cast<DWORD>(bytes[7]) << 24;
    }
    VariantClear(&value);
  }
  return entry;
}

class Registration : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    ASSERT_NE(Module().module, nullptr);
  }
  void TearDown() override {
    EXPECT_EQ(Module().canUnloadNow(), S_OK);
    CoUninitialize();
  }
};

TEST_F(Registration, Regsvr32WritesTheClassKeysAndOneFilterEntry) {
  ASSERT_EQ(Regsvr32(L"/u /s"), 0u);
  ASSERT_EQ(Regsvr32(L"/s"), 0u);
  ASSERT_EQ(Regsvr32(L"/s"), 0u) << "registering again is harmless";

  bool found = false;
  EXPECT_EQ(ReadString(kClassKey, nullptr, &found), kFilterName);
  EXPECT_TRUE(found);
  const std::wstring server = std::wstring(kClassKey) + L"\\InprocServer32";
  EXPECT_EQ(lstrcmpiW(ReadString(server.c_str(), nullptr, &found).c_str(), Module().path.c_str()), 0);
  EXPECT_TRUE(found);
  EXPECT_EQ(ReadString(server.c_str(), L"ThreadingModel", &found), L"Both");

  const FilterEntry entry = FindFilterEntries();
  EXPECT_EQ(entry.count, 1) << "the second registration replaced the first";
  EXPECT_EQ(entry.name, kFilterName);
  EXPECT_EQ(entry.merit, kMeritDoNotUse);

  // Created the way the player creates it.
  ComPtr<IEqualizer> eq;
  ASSERT_EQ(CoCreateInstance(CLSID_Equalizer, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&eq)), S_OK);
  int bands[15] = {};
  EXPECT_EQ(eq->GetBands(bands), S_OK);
  EXPECT_EQ(bands[14], 24);
}

TEST_F(Registration, UnregisteringRemovesEverythingAndSucceedsWhenNothingIsThere) {
  ASSERT_EQ(Regsvr32(L"/s"), 0u);
  ASSERT_EQ(Regsvr32(L"/u /s"), 0u);
  EXPECT_FALSE(ClassKeyExists());
  EXPECT_EQ(FindFilterEntries().count, 0);
  EXPECT_EQ(Regsvr32(L"/u /s"), 0u) << "nothing registered is not a failure";
  EXPECT_EQ(Module().unregisterServer(), S_OK);

  // In-process registration gives the same result as the tool's.
  EXPECT_EQ(Module().registerServer(), S_OK);
  EXPECT_EQ(Module().registerServer(), S_OK);
  EXPECT_TRUE(ClassKeyExists());
  EXPECT_EQ(FindFilterEntries().count, 1);
}

TEST_F(Registration, MovieSetupRegistersTheFilterEntry) {
  ComPtr<IBaseFilter> filter = CreateEqualizer();
  ComPtr<IAMovieSetup> setup;
  ASSERT_EQ(filter.As(&setup), S_OK);
  EXPECT_EQ(setup->Unregister(), S_OK);
  EXPECT_EQ(FindFilterEntries().count, 0);
  EXPECT_EQ(setup->Register(), S_OK);
  EXPECT_EQ(FindFilterEntries().count, 1);
  setup.Reset();
  EXPECT_EQ(filter.Detach()->Release(), 0u);
}

}  // namespace
}  // namespace kestrun::equalizer::testing
