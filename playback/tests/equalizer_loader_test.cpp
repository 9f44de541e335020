// How the player finds its equalizer under Wine: a registration naming another copy
// counts as none, whichever class root holds it; and Equalizer.ax next to the
// program gives a working filter through its own factory with no registration.
#include <gtest/gtest.h>

#include <windows.h>
#include <dshow.h>
#include <wrl/client.h>

#include <string>

#include "equalizer/iequalizer.h"
#include "platform/testing/temp_dir.h"
#include "playback/equalizer_loader_win.h"
#include "playback/media_session_win.h"
#include "settings/settings_store_win.h"

namespace kestrun::playback {
namespace {

using Microsoft::WRL::ComPtr;

constexpr char kUserServerKey[] = "Software\\Classes\\CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}\\InprocServer32";
constexpr char kUserClassKey[] = "Software\\Classes\\CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}";
constexpr char kMachineClassKey[] = "CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}";
constexpr char kMachineServerKey[] = "CLSID\\{E4322820-88AC-ED99-7035-28DDFC327682}\\InprocServer32";

std::string BinaryFolder() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder(path);
  return folder.substr(0, folder.find_last_of('\\'));
}

void SetServer(HKEY root, const char* key, const std::string& path) {
  ASSERT_EQ(RegSetKeyValueA(root, key, nullptr, REG_SZ, path.c_str(), static_cast<DWORD>(path.size() + 1)),
            ERROR_SUCCESS);
}

// Each case starts and ends with no registration of the class in either root.
class EqualizerLookup : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  static void Clear() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kUserClassKey);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kMachineClassKey);
  }
  const std::string module_ = BinaryFolder() + "\\Equalizer.ax";
};

TEST_F(EqualizerLookup, NoRegistrationIsNotRegisteredHere) {
  EXPECT_TRUE(RegisteredEqualizerPath().empty());
  EXPECT_FALSE(EqualizerRegisteredAt(module_));
}

TEST_F(EqualizerLookup, MachineRegistrationOfThisCopyCounts) {
  SetServer(HKEY_CLASSES_ROOT, kMachineServerKey, module_);
  EXPECT_TRUE(EqualizerRegisteredAt(module_));
  std::string upper = module_;
  CharUpperA(upper.data());
  EXPECT_TRUE(EqualizerRegisteredAt(upper)) << "paths compare as the file system does";
}

TEST_F(EqualizerLookup, RegistrationOfACopyElsewhereCountsAsMissing) {
  SetServer(HKEY_CLASSES_ROOT, kMachineServerKey, "C:\\Old portable\\Equalizer.ax");
  EXPECT_FALSE(EqualizerRegisteredAt(module_)) << "a moved portable copy must register again";
}

TEST_F(EqualizerLookup, UsersClassesWinOverTheMachines) {
  // The user's stale copy hides the machine's registration of this one, as COM
  // sees it on Windows.
  SetServer(HKEY_CLASSES_ROOT, kMachineServerKey, module_);
  SetServer(HKEY_CURRENT_USER, kUserServerKey, "C:\\Old portable\\Equalizer.ax");
  EXPECT_FALSE(EqualizerRegisteredAt(module_));
  // And a per-user registration of this copy counts on its own.
  RegDeleteTreeA(HKEY_CLASSES_ROOT, kMachineClassKey);
  SetServer(HKEY_CURRENT_USER, kUserServerKey, module_);
  EXPECT_TRUE(EqualizerRegisteredAt(module_));
}

TEST_F(EqualizerLookup, ModuleNextToTheProgramGivesAWorkingFilterWithoutRegistration) {
  ASSERT_NE(GetFileAttributesA(module_.c_str()), INVALID_FILE_ATTRIBUTES) << module_;
  ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  {
    EqualizerModule loader;
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(loader.Create(module_, filter.GetAddressOf()), S_OK);
    ComPtr<IEqualizer> control;
    ASSERT_EQ(filter->QueryInterface(IID_IEqualizer, reinterpret_cast<void**>(control.GetAddressOf())), S_OK);
    int bands[15] = {};
    EXPECT_EQ(control->GetBands(bands), S_OK);
    EXPECT_EQ(bands[0], 24);
    // The property frame creates the filter's page through COM: with nothing
    // registered, the page's class must be known in this process.
    ComPtr<ISpecifyPropertyPages> pages;
    ASSERT_EQ(filter.As(&pages), S_OK);
    CAUUID named{};
    ASSERT_EQ(pages->GetPages(&named), S_OK);
    ASSERT_EQ(named.cElems, 1u);
    ComPtr<IPropertyPage> page;
    EXPECT_EQ(CoCreateInstance(named.pElems[0], nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&page)), S_OK);
    CoTaskMemFree(named.pElems);
    page.Reset();
    pages.Reset();
    // The filter joins a real graph.
    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&graph)), S_OK);
    EXPECT_EQ(graph->AddFilter(filter.Get(), L"Quenfold' Equalizer"), S_OK);
    EXPECT_EQ(graph->RemoveFilter(filter.Get()), S_OK);
    graph.Reset();
    control.Reset();
    // While an object lives the module stays loaded.
    loader.Unload();
    EXPECT_EQ(filter.Detach()->Release(), 0u);
  }
  {
    EqualizerModule loader;
    ComPtr<IBaseFilter> filter;
    EXPECT_HRESULT_FAILED(loader.Create(BinaryFolder() + "\\no such folder\\Equalizer.ax", filter.GetAddressOf()));
    EXPECT_FALSE(filter);
    EXPECT_FALSE(loader.loaded());
  }
  CoUninitialize();
}

class NoWindows final : public SessionWindows {
 public:
  HWND EventWindow() const override { return nullptr; }
  HWND VideoWindow() const override { return nullptr; }
};

// The working directory of the test for one scope.
class WorkingIn {
 public:
  explicit WorkingIn(const std::string& folder) {
    GetCurrentDirectoryA(sizeof(before_), before_);
    SetCurrentDirectoryA(folder.c_str());
  }
  ~WorkingIn() { SetCurrentDirectoryA(before_); }
  WorkingIn(const WorkingIn&) = delete;
  WorkingIn& operator=(const WorkingIn&) = delete;

 private:
  char before_[MAX_PATH] = {};
};

// Started from a media folder holding a program named like the registration tool
// (as the folder of a file opened through an association may), with the player's
// module in that folder too: the filter is registered for this user, in this
// process, and that program never runs.
TEST_F(EqualizerLookup, RegistrationRunsNoProgramFromTheFolderAndStaysWithTheUser) {
  testing::TempDir folder;
  ASSERT_TRUE(CopyFileA(module_.c_str(), folder.File("Equalizer.ax").c_str(), FALSE));
  ASSERT_TRUE(CopyFileA((BinaryFolder() + "\\fake_regsvr32.exe").c_str(), folder.File("regsvr32.exe").c_str(), FALSE));
  char marker[16] = {};
  settings::ReadSettingString(settings::kPlayerSubkey, "RegisterEQ", marker, sizeof(marker), "");
  const std::string markerBefore = marker;
  settings::WriteSettingString(settings::kPlayerSubkey, "RegisterEQ", "");
  ASSERT_HRESULT_SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  {
    const WorkingIn inFolder(folder.path());
    NoWindows windows;
    DirectShowSession session(windows);
    session.CreateOrRegisterEqualizer(folder.path().c_str());
    EXPECT_TRUE(session.Equalizer()) << "the filter is there after registering";
  }
  CoUninitialize();

  EXPECT_EQ(GetFileAttributesA(folder.File("regsvr32 ran.txt").c_str()), INVALID_FILE_ATTRIBUTES)
      << "a program of the media folder ran";
  EXPECT_TRUE(EqualizerRegisteredAt(folder.File("Equalizer.ax")));
  char server[2 * MAX_PATH] = {};
  DWORD size = sizeof(server);
  ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, kUserServerKey, nullptr, RRF_RT_REG_SZ, nullptr, server, &size),
            ERROR_SUCCESS)
      << "registered in the user's classes";
  EXPECT_EQ(lstrcmpiA(server, folder.File("Equalizer.ax").c_str()), 0) << server;
  size = sizeof(server);
  EXPECT_NE(RegGetValueA(HKEY_LOCAL_MACHINE, (std::string("Software\\Classes\\") + kMachineServerKey).c_str(), nullptr,
                         RRF_RT_REG_SZ, nullptr, server, &size),
            ERROR_SUCCESS)
      << "a module in a user's folder registered for the machine: " << server;
  settings::ReadSettingString(settings::kPlayerSubkey, "RegisterEQ", marker, sizeof(marker), "");
  EXPECT_STREQ(marker, "004");

  // The user's registration goes again through the module's own entry point.
  if (HMODULE copy = LoadLibraryA(folder.File("Equalizer.ax").c_str())) {
    using InstallEntry = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
    if (const auto install = reinterpret_cast<InstallEntry>(GetProcAddress(copy, "DllInstall")))
      install(FALSE, L"user");
    FreeLibrary(copy);
  }
  settings::WriteSettingString(settings::kPlayerSubkey, "RegisterEQ", markerBefore.c_str());
}

TEST_F(EqualizerLookup, RegistrationOfAMissingModuleFailsAndRegistersNothing) {
  testing::TempDir folder;
  EXPECT_HRESULT_FAILED(RegisterEqualizerForUser(folder.File("Equalizer.ax")));
  EXPECT_TRUE(RegisteredEqualizerPath().empty());
}

}  // namespace
}  // namespace kestrun::playback
