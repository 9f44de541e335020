// The contract between Kestrun and Equalizer.ax: the filter's class identifier and
// its control interface. Band values cross as an array of 15 32-bit integers owned
// by the caller, band 1 (25 Hz) first, each 0..48 with 24 = 0 dB.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include "equalizer/band_values.h"

// {E4322820-88AC-ED99-7035-28DDFC327682}
inline constexpr GUID CLSID_Equalizer = {0xE4322820, 0x88AC, 0xED99, {0x70, 0x35, 0x28, 0xDD, 0xFC, 0x32, 0x76, 0x82}};
// {E4322821-88AC-ED99-7035-28DDFC327682}
inline constexpr GUID IID_IEqualizer = {0xE4322821, 0x88AC, 0xED99, {0x70, 0x35, 0x28, 0xDD, 0xFC, 0x32, 0x76, 0x82}};

inline constexpr int kEqualizerBandCount = kestrun::equalizer::kBandCount;

// The filter's name: its registration, its name in a graph and in the player's
// list of filters in use.
#define KESTRUN_EQUALIZER_FILTER_NAME "Quenfold' Equalizer"
inline constexpr char kEqualizerFilterNameAnsi[] = KESTRUN_EQUALIZER_FILTER_NAME;
inline constexpr wchar_t kEqualizerFilterName[] = L"" KESTRUN_EQUALIZER_FILTER_NAME;

// Slots 3..7 after IUnknown's three, in this order.
struct IEqualizer : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetBands(int* bands) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetBands(int* bands) = 0;
  virtual HRESULT STDMETHODCALLTYPE ResetBands() = 0;
  virtual HRESULT STDMETHODCALLTYPE EnableEqualizer(BOOL enable) = 0;
  virtual HRESULT STDMETHODCALLTYPE EnableVoiceRemoval(BOOL enable) = 0;
};

#ifdef __CRT_UUID_DECL
// Lets __uuidof(IEqualizer) and ComPtr<IEqualizer>::As work with mingw.
__CRT_UUID_DECL(IEqualizer, 0xE4322821, 0x88AC, 0xED99, 0x70, 0x35, 0x28, 0xDD, 0xFC, 0x32, 0x76, 0x82)
#endif
