// The filter's own property page: named by ISpecifyPropertyPages, made by the
// module's factory and registered with the filter, and showing and changing the
// filter's bands and switches through the control interface on a real window.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <ocidl.h>

#include <string>

#include "equalizer/filter/property_page.h"
#include "equalizer/filter/property_page_ids.h"
#include "equalizer/filter/tests/com_helpers.h"

namespace kestrun::equalizer::testing {
namespace {

constexpr wchar_t kPageKey[] = L"CLSID\\{E4322822-88AC-ED99-7035-28DDFC327682}";

bool KeyExists(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::wstring DefaultValue(const std::wstring& path) {
  wchar_t value[MAX_PATH * 2] = {};
  DWORD bytes = sizeof value - sizeof(wchar_t);
  RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &bytes);
  return value;
}

class PropertyPage : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    ASSERT_NE(Module().getClassObject, nullptr);
    parent_ = CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 600, 400, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override {
    DestroyWindow(parent_);
    EXPECT_EQ(Module().canUnloadNow(), S_OK) << "every page and filter is gone";
    CoUninitialize();
  }
  ComPtr<IPropertyPage> CreatePage() {
    ComPtr<IClassFactory> factory;
    ComPtr<IPropertyPage> page;
    if (FAILED(Module().getClassObject(CLSID_EqualizerPropertyPage, IID_PPV_ARGS(&factory)))) return page;
    factory->CreateInstance(nullptr, IID_PPV_ARGS(&page));
    return page;
  }
  HWND PageWindow() { return GetWindow(parent_, GW_CHILD); }
  HWND Slider(int band) { return GetDlgItem(PageWindow(), IDC_PAGE_BAND_1 + band); }

  HWND parent_ = nullptr;
};

TEST_F(PropertyPage, FilterNamesItsPageAndTheFactoryMakesIt) {
  ComPtr<IBaseFilter> filter = CreateEqualizer();
  ComPtr<ISpecifyPropertyPages> pages;
  ASSERT_EQ(filter.As(&pages), S_OK);
  EXPECT_EQ(pages->GetPages(nullptr), E_POINTER);
  CAUUID ids{};
  ASSERT_EQ(pages->GetPages(&ids), S_OK);
  ASSERT_EQ(ids.cElems, 1u);
  EXPECT_EQ(ids.pElems[0], CLSID_EqualizerPropertyPage);
  CoTaskMemFree(ids.pElems);

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(Module().getClassObject(CLSID_EqualizerPropertyPage, IID_PPV_ARGS(&factory)), S_OK);
  ComPtr<IUnknown> outer;
  ASSERT_EQ(filter.As(&outer), S_OK);
  ComPtr<IUnknown> aggregated;
  EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, &aggregated), CLASS_E_NOAGGREGATION);
  ComPtr<IPropertyPage> page;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&page)), S_OK);
  ComPtr<IBaseFilter> notAPage;
  EXPECT_EQ(page->QueryInterface(IID_PPV_ARGS(&notAPage)), E_NOINTERFACE);

  PROPPAGEINFO info{};
  ASSERT_EQ(page->GetPageInfo(&info), S_OK);
  ASSERT_NE(info.pszTitle, nullptr);
  EXPECT_GT(info.size.cx, 100);
  EXPECT_GT(info.size.cy, 100);
  CoTaskMemFree(info.pszTitle);

  // Something without the control interface cannot be edited.
  ComPtr<IUnknown> stranger;
  ASSERT_EQ(factory.As(&stranger), S_OK);
  IUnknown* objects[] = {stranger.Get()};
  EXPECT_EQ(page->SetObjects(1, objects), E_NOINTERFACE);

  pages.Reset();
  outer.Reset();
  factory.Reset();
  stranger.Reset();
  EXPECT_EQ(page.Detach()->Release(), 0u);
  EXPECT_EQ(filter.Detach()->Release(), 0u);
}

TEST_F(PropertyPage, PageShowsAndChangesTheFiltersBandsAndSwitches) {
  ComPtr<IBaseFilter> filter = CreateEqualizer();
  ComPtr<IEqualizer> eq;
  ASSERT_EQ(filter.As(&eq), S_OK);
  int bands[kEqualizerBandCount];
  for (int band = 0; band < kEqualizerBandCount; ++band) bands[band] = band * 3;
  eq->SetBands(bands);
  eq->EnableVoiceRemoval(TRUE);

  ComPtr<IPropertyPage> page = CreatePage();
  ASSERT_NE(page, nullptr);
  IUnknown* objects[] = {filter.Get()};
  ASSERT_EQ(page->SetObjects(1, objects), S_OK);
  RECT rect{0, 0, 400, 300};
  ASSERT_EQ(page->Activate(parent_, &rect, FALSE), S_OK);
  ASSERT_EQ(page->Show(SW_SHOW), S_OK);
  ASSERT_NE(PageWindow(), nullptr);

  // +15 dB stands at the top: the slider position is the band value mirrored.
  for (int band = 0; band < kEqualizerBandCount; ++band) {
    EXPECT_EQ(SendMessageW(Slider(band), TBM_GETPOS, 0, 0), 48 - band * 3) << band;
  }
  EXPECT_EQ(IsDlgButtonChecked(PageWindow(), IDC_PAGE_EQUALIZER_ENABLE), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(PageWindow(), IDC_PAGE_VOICE_REMOVAL_ENABLE), BST_CHECKED);

  // A key on a slider reaches the filter at once, with the other bands as shown.
  SendMessageW(Slider(2), WM_KEYDOWN, VK_HOME, 0);
  int now[kEqualizerBandCount] = {};
  eq->GetBands(now);
  EXPECT_EQ(now[2], 48);
  EXPECT_EQ(now[5], 15);
  EXPECT_EQ(page->IsPageDirty(), S_FALSE) << "nothing is left for Apply";

  SendMessageW(GetDlgItem(PageWindow(), IDC_PAGE_EQUALIZER_ENABLE), BM_CLICK, 0, 0);
  SendMessageW(GetDlgItem(PageWindow(), IDC_PAGE_VOICE_REMOVAL_ENABLE), BM_CLICK, 0, 0);
  ComPtr<IEqualizerSwitches> switches;
  ASSERT_EQ(filter->QueryInterface(IID_IEqualizerSwitches, reinterpret_cast<void**>(switches.GetAddressOf())), S_OK);
  BOOL equalizerOn = FALSE;
  BOOL voiceRemovalOn = TRUE;
  switches->GetSwitches(&equalizerOn, &voiceRemovalOn);
  EXPECT_TRUE(equalizerOn);
  EXPECT_FALSE(voiceRemovalOn);

  SendMessageW(GetDlgItem(PageWindow(), IDC_PAGE_RESET), BM_CLICK, 0, 0);
  eq->GetBands(now);
  for (int band = 0; band < kEqualizerBandCount; ++band) {
    EXPECT_EQ(now[band], 24);
    EXPECT_EQ(SendMessageW(Slider(band), TBM_GETPOS, 0, 0), 24);
  }

  EXPECT_EQ(page->Apply(), S_OK);
  ASSERT_EQ(page->Deactivate(), S_OK);
  EXPECT_EQ(PageWindow(), nullptr);
  EXPECT_EQ(page->SetObjects(0, nullptr), S_OK);
  switches.Reset();
  eq.Reset();
  EXPECT_EQ(page.Detach()->Release(), 0u);
  EXPECT_EQ(filter.Detach()->Release(), 0u) << "the page let go of the filter";
}

TEST_F(PropertyPage, RegistrationWritesAndRemovesThePageClass) {
  ASSERT_EQ(Module().registerServer(), S_OK);
  EXPECT_EQ(DefaultValue(kPageKey), kPropertyPageName);
  EXPECT_EQ(lstrcmpiW(DefaultValue(std::wstring(kPageKey) + L"\\InprocServer32").c_str(), Module().path.c_str()), 0);
  // Made the way a host makes it.
  ComPtr<IPropertyPage> page;
  EXPECT_EQ(CoCreateInstance(CLSID_EqualizerPropertyPage, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&page)), S_OK);
  page.Reset();
  CoFreeUnusedLibraries();

  ASSERT_EQ(Module().unregisterServer(), S_OK);
  EXPECT_FALSE(KeyExists(kPageKey));
  // Left registered, as the player and the other tests expect it.
  EXPECT_EQ(Module().registerServer(), S_OK);
}

}  // namespace
}  // namespace kestrun::equalizer::testing
