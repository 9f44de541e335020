#include "equalizer/filter/property_page.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "equalizer/band_slider.h"
#include "equalizer/filter/module.h"
#include "equalizer/filter/property_page_ids.h"
#include "platform/win32_handles_win.h"

namespace kestrun::equalizer {
namespace {

constexpr wchar_t kPageTemplate[] = L"IDD_EQUALIZER_PAGE";
constexpr wchar_t kPageTitle[] = L"イコライザ";

constexpr int kSliderIds[kEqualizerBandCount] = {IDC_PAGE_BAND_1,  IDC_PAGE_BAND_2,  IDC_PAGE_BAND_3,  IDC_PAGE_BAND_4,
                                                 IDC_PAGE_BAND_5,  IDC_PAGE_BAND_6,  IDC_PAGE_BAND_7,  IDC_PAGE_BAND_8,
                                                 IDC_PAGE_BAND_9,  IDC_PAGE_BAND_10, IDC_PAGE_BAND_11, IDC_PAGE_BAND_12,
                                                 IDC_PAGE_BAND_13, IDC_PAGE_BAND_14, IDC_PAGE_BAND_15};

INT_PTR CALLBACK MeasureProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// The page's size in pixels, from its template in dialog units: the page is a child
// window, so it is measured inside a hidden stand-in parent.
SIZE PageSize() {
  SIZE size{0, 0};
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  if (parent == nullptr) return size;
  HWND probe = CreateDialogParamW(ModuleHandle(), kPageTemplate, parent, &MeasureProc, 0);
  if (probe != nullptr) {
    RECT rect{};
    GetWindowRect(probe, &rect);
    size.cx = rect.right - rect.left;
    size.cy = rect.bottom - rect.top;
  }
  DestroyWindow(parent);
  return size;
}

}  // namespace

HRESULT EqualizerPropertyPage::Create(IUnknown* outer, IUnknown** page) {
  *page = nullptr;
  // A page is never part of an aggregate.
  if (outer != nullptr) return CLASS_E_NOAGGREGATION;
  auto* created = new (std::nothrow) EqualizerPropertyPage();
  if (created == nullptr) return E_OUTOFMEMORY;
  *page = created;
  return S_OK;
}

EqualizerPropertyPage::EqualizerPropertyPage() { ModuleObjectCreated(); }

EqualizerPropertyPage::~EqualizerPropertyPage() {
  if (window_ != nullptr) DestroyWindow(window_);
  ModuleObjectDestroyed();
}

HRESULT EqualizerPropertyPage::SetPageSite(IPropertyPageSite* site) {
  // The frame gives a site once and takes it back (null) before releasing the page.
  if (site != nullptr && site_) return E_UNEXPECTED;
  site_ = site;
  return S_OK;
}

HRESULT EqualizerPropertyPage::SetObjects(ULONG count, IUnknown** objects) {
  control_.Reset();
  if (count == 0) return S_OK;
  if (objects == nullptr || objects[0] == nullptr) return E_POINTER;
  // One filter is edited; further objects would get the first one's settings anyway.
  const HRESULT hr = objects[0]->QueryInterface(IID_IEqualizer, reinterpret_cast<void**>(control_.GetAddressOf()));
  if (FAILED(hr)) return E_NOINTERFACE;
  if (window_ != nullptr) ShowFilterState();
  return S_OK;
}

HRESULT EqualizerPropertyPage::Activate(HWND parent, LPCRECT rect, BOOL) {
  if (rect == nullptr) return E_POINTER;
  if (window_ != nullptr) return E_UNEXPECTED;
  // The sliders are trackbars; a host that never loaded the common controls gets them here.
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  HWND created = CreateDialogParamW(ModuleHandle(), kPageTemplate, parent, &DialogProc, reinterpret_cast<LPARAM>(this));
  if (created == nullptr) return E_OUTOFMEMORY;
  Move(rect);
  return S_OK;
}

HRESULT EqualizerPropertyPage::Deactivate() {
  if (window_ == nullptr) return E_UNEXPECTED;
  HWND window = window_;
  window_ = nullptr;
  sliders_ = {};
  DestroyWindow(window);
  return S_OK;
}

HRESULT EqualizerPropertyPage::GetPageInfo(PROPPAGEINFO* info) {
  if (info == nullptr) return E_POINTER;
  const std::size_t bytes = sizeof(kPageTitle);
  auto* title = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (title == nullptr) return E_OUTOFMEMORY;
  std::memcpy(title, kPageTitle, bytes);
  info->cb = sizeof(PROPPAGEINFO);
  info->pszTitle = title;
  info->size = PageSize();
  info->pszDocString = nullptr;
  info->pszHelpFile = nullptr;
  info->dwHelpContext = 0;
  return S_OK;
}

HRESULT EqualizerPropertyPage::Show(UINT command) {
  if (window_ == nullptr) return E_UNEXPECTED;
  ShowWindow(window_, command);
  return S_OK;
}

HRESULT EqualizerPropertyPage::Move(LPCRECT rect) {
  if (rect == nullptr) return E_POINTER;
  if (window_ == nullptr) return E_UNEXPECTED;
  MoveWindow(window_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, TRUE);
  return S_OK;
}

// Every change has reached the filter already.
HRESULT EqualizerPropertyPage::IsPageDirty() { return S_FALSE; }
HRESULT EqualizerPropertyPage::Apply() { return S_OK; }
HRESULT EqualizerPropertyPage::Help(LPCOLESTR) { return E_NOTIMPL; }

HRESULT EqualizerPropertyPage::TranslateAccelerator(MSG* message) {
  if (message == nullptr) return E_POINTER;
  return (window_ != nullptr && IsDialogMessageW(window_, message)) ? S_OK : S_FALSE;
}

namespace {

BOOL CALLBACK RememberChild(HWND child, LPARAM param) {
  auto* placed = reinterpret_cast<std::vector<EqualizerPropertyPage::Placed>*>(param);
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  placed->push_back({child, GetDlgCtrlID(child), rect});
  return TRUE;
}

}  // namespace

void EqualizerPropertyPage::OnInit(HWND dialog) {
  window_ = dialog;
  RECT client{};
  GetClientRect(dialog, &client);
  naturalWidth_ = client.right;
  placed_.clear();
  EnumChildWindows(dialog, &RememberChild, reinterpret_cast<LPARAM>(&placed_));
  for (int band = 0; band < kEqualizerBandCount; ++band) {
    sliders_[band] = GetDlgItem(dialog, kSliderIds[band]);
    SendMessageW(sliders_[band], TBM_SETRANGE, FALSE, MAKELPARAM(kMinBand, kMaxBand));
  }
  ShowFilterState();
}

void EqualizerPropertyPage::LayOut(int width) {
  if (naturalWidth_ <= 0 || width <= 0) return;
  int levelColumn = naturalWidth_;  // where the level labels start
  for (const Placed& item : placed_) {
    if (item.id >= IDC_PAGE_LEVEL_PLUS && item.id <= IDC_PAGE_LEVEL_MINUS) {
      levelColumn = std::min<int>(levelColumn, item.natural.left);
    }
  }
  const int levelWidth = naturalWidth_ - levelColumn;
  const double bandScale = levelColumn > 0 ? std::max(0.0, static_cast<double>(width - levelWidth)) / levelColumn : 1.0;
  // Band labels that no longer fit their narrower places give up every second one
  // (25, 63, 160 ... 16K stay), which then takes twice the room.
  LONG firstLeft = 0;
  LONG secondLeft = 0;
  for (const Placed& item : placed_) {
    if (item.id == IDC_PAGE_BAND_1) firstLeft = item.natural.left;
    if (item.id == IDC_PAGE_BAND_2) secondLeft = item.natural.left;
  }
  const int pitch = static_cast<int>((secondLeft - firstLeft) * bandScale);
  bool crowded = false;
  if (platform::WindowDc windowDc(window_); windowDc) {
    const HDC dc = windowDc.get();
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(window_, WM_GETFONT, 0, 0)));
    for (const Placed& item : placed_) {
      if (item.id < IDC_PAGE_BAND_LABEL_1 || item.id > IDC_PAGE_BAND_LABEL_15) continue;
      wchar_t text[16] = {};
      const int length = GetWindowTextW(item.control, text, 16);
      SIZE extent{};
      if (GetTextExtentPoint32W(dc, text, length, &extent) && extent.cx > pitch) crowded = true;
    }
    SelectObject(dc, old);
  }
  for (const Placed& item : placed_) {
    RECT rect = item.natural;
    const bool slider = item.id >= IDC_PAGE_BAND_1 && item.id <= IDC_PAGE_BAND_15;
    const bool label = item.id >= IDC_PAGE_BAND_LABEL_1 && item.id <= IDC_PAGE_BAND_LABEL_15;
    if (slider || label) {
      rect.left = static_cast<LONG>(item.natural.left * bandScale);
      rect.right = static_cast<LONG>(item.natural.right * bandScale);
    } else if (item.id >= IDC_PAGE_LEVEL_PLUS && item.id <= IDC_PAGE_LEVEL_MINUS) {
      const LONG shift = width - naturalWidth_;
      rect.left += shift;
      rect.right += shift;
    } else {
      rect.right = std::min<LONG>(rect.right, width);
    }
    if (label) {
      const bool second = (item.id - IDC_PAGE_BAND_LABEL_1) % 2 == 1;
      ShowWindow(item.control, crowded && second ? SW_HIDE : SW_SHOWNA);
      if (crowded) {
        const LONG centre = (rect.left + rect.right) / 2;
        rect.left = centre - pitch;
        rect.right = centre + pitch;
      }
    }
    MoveWindow(item.control, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, FALSE);
  }
  InvalidateRect(window_, nullptr, TRUE);
}

void EqualizerPropertyPage::ShowFilterState() {
  int bands[kEqualizerBandCount];
  for (int& band : bands) band = kFlatBand;
  BOOL equalizerOn = FALSE;
  BOOL voiceRemovalOn = FALSE;
  if (control_) {
    control_->GetBands(bands);
    Microsoft::WRL::ComPtr<IEqualizerSwitches> switches;
    if (SUCCEEDED(
            control_->QueryInterface(IID_IEqualizerSwitches, reinterpret_cast<void**>(switches.GetAddressOf())))) {
      switches->GetSwitches(&equalizerOn, &voiceRemovalOn);
    }
  }
  for (int band = 0; band < kEqualizerBandCount; ++band) {
    SendMessageW(sliders_[band], TBM_SETPOS, TRUE, SliderPositionFromBand(bands[band]));
  }
  CheckDlgButton(window_, IDC_PAGE_EQUALIZER_ENABLE, equalizerOn ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(window_, IDC_PAGE_VOICE_REMOVAL_ENABLE, voiceRemovalOn ? BST_CHECKED : BST_UNCHECKED);
}

void EqualizerPropertyPage::SendSliders() {
  if (!control_) return;
  int bands[kEqualizerBandCount];
  for (int band = 0; band < kEqualizerBandCount; ++band) {
    bands[band] = BandFromSliderPosition(static_cast<int>(SendMessageW(sliders_[band], TBM_GETPOS, 0, 0)));
  }
  control_->SetBands(bands);
}

void EqualizerPropertyPage::OnCommand(int id) {
  if (!control_) return;
  switch (id) {
    case IDC_PAGE_RESET:
      control_->ResetBands();
      ShowFilterState();
      break;
    case IDC_PAGE_EQUALIZER_ENABLE:
      control_->EnableEqualizer(IsDlgButtonChecked(window_, id) == BST_CHECKED);
      break;
    case IDC_PAGE_VOICE_REMOVAL_ENABLE:
      control_->EnableVoiceRemoval(IsDlgButtonChecked(window_, id) == BST_CHECKED);
      break;
    default:
      break;
  }
}

INT_PTR CALLBACK EqualizerPropertyPage::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    reinterpret_cast<EqualizerPropertyPage*>(lParam)->OnInit(dialog);
    return TRUE;
  }
  auto* page = reinterpret_cast<EqualizerPropertyPage*>(GetWindowLongPtrW(dialog, DWLP_USER));
  if (page == nullptr || page->window_ != dialog) return FALSE;
  switch (message) {
    case WM_SIZE:
      page->LayOut(LOWORD(lParam));
      return TRUE;
    case WM_NCDESTROY:
      // The frame may destroy its pages' windows before deactivating them.
      page->window_ = nullptr;
      page->sliders_ = {};
      page->placed_.clear();
      return FALSE;
    case WM_VSCROLL:
      page->SendSliders();
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      page->OnCommand(LOWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace kestrun::equalizer
