// The filter's own property page, for hosts that show a filter's settings only
// through its pages (graph editors, players that load external filters): the
// fifteen bands, reset and the two switches, all through IEqualizer. Changes reach
// the filter at once, as in the player's own window; Apply has nothing left to do.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

#include <array>
#include <vector>

#include "equalizer/iequalizer.h"
#include "platform/com_object_win.h"

// {E4322822-88AC-ED99-7035-28DDFC327682}
inline constexpr GUID CLSID_EqualizerPropertyPage = {
    0xE4322822, 0x88AC, 0xED99, {0x70, 0x35, 0x28, 0xDD, 0xFC, 0x32, 0x76, 0x82}};

// Inside Equalizer.ax only: the page reads the two switches through it, since
// IEqualizer can set them but not tell them.
// {E4322823-88AC-ED99-7035-28DDFC327682}
inline constexpr GUID IID_IEqualizerSwitches = {
    0xE4322823, 0x88AC, 0xED99, {0x70, 0x35, 0x28, 0xDD, 0xFC, 0x32, 0x76, 0x82}};

struct IEqualizerSwitches : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetSwitches(BOOL* equalizerOn, BOOL* voiceRemovalOn) = 0;
};

namespace kestrun::equalizer {

inline constexpr wchar_t kPropertyPageName[] = L"Quenfold' Equalizer Property Page";

class EqualizerPropertyPage final : public platform::ComObject<IPropertyPage> {
 public:
  // A control of the page where the template puts it.
  struct Placed {
    HWND control;
    int id;
    RECT natural;  // client coordinates
  };

  // A new page with one reference, or E_OUTOFMEMORY.
  static HRESULT Create(IUnknown* outer, IUnknown** page);

  HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
  HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
  HRESULT STDMETHODCALLTYPE Deactivate() override;
  HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
  HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
  HRESULT STDMETHODCALLTYPE Show(UINT command) override;
  HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
  HRESULT STDMETHODCALLTYPE IsPageDirty() override;
  HRESULT STDMETHODCALLTYPE Apply() override;
  HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDirectory) override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message) override;

 private:
  EqualizerPropertyPage();
  ~EqualizerPropertyPage() override;

  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  void OnInit(HWND dialog);
  void ShowFilterState();
  void SendSliders();
  void OnCommand(int id);
  // Frames size a page from its reported pixels through their own dialog units, so
  // the width given can differ from the template's: the band sliders and their
  // labels share what is left beside the level labels, which keep their size at the
  // right edge; the switches and the reset button keep their size at the left.
  void LayOut(int width);

  Microsoft::WRL::ComPtr<IPropertyPageSite> site_;
  Microsoft::WRL::ComPtr<IEqualizer> control_;
  HWND window_ = nullptr;
  std::array<HWND, kEqualizerBandCount> sliders_{};
  std::vector<Placed> placed_;
  int naturalWidth_ = 0;
};

}  // namespace kestrun::equalizer
