#include "playback/effect_table_win.h"

#include <dmo.h>

#include <cstring>
#include <string>

#include "platform/ansi_text.h"
#include "platform/win32_handles_win.h"

namespace kestrun::playback {
namespace {

// {F3602B3F-0592-48DF-A4CD-674721E7EBEB}
constexpr GUID kDmoCategoryAudioEffect = {0xF3602B3F, 0x0592, 0x48DF, {0xA4, 0xCD, 0x67, 0x47, 0x21, 0xE7, 0xEB, 0xEB}};

// The ANSI form of name in capacity bytes, cut before a character that would not fit
// whole (a lead byte never stands alone at the end).
void ToAnsi(const wchar_t* name, char* out, int capacity) {
  out[0] = '\0';
  const int needed = WideCharToMultiByte(CP_ACP, 0, name, -1, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return;
  std::string whole(static_cast<std::size_t>(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, name, -1, whole.data(), needed, nullptr, nullptr);
  platform::CopyToBuffer(whole.c_str(), out, static_cast<std::size_t>(capacity));
}

void CopyWide(const wchar_t* name, wchar_t* out, int capacity) {
  int length = 0;
  while (name[length] != L'\0' && length < capacity - 1) ++length;
  // A surrogate pair is kept whole or not at all.
  if (length > 0 && name[length] != L'\0' && name[length - 1] >= 0xD800 && name[length - 1] <= 0xDBFF) --length;
  std::memcpy(out, name, static_cast<std::size_t>(length) * sizeof(wchar_t));
  out[length] = L'\0';
}

}  // namespace

void FillEffectEntry(EffectEntry& entry, const OfferedEffect& effect) {
  entry.clsid = effect.clsid;
  const wchar_t* name = effect.name != nullptr ? effect.name : L"";
  CopyWide(name, entry.wideName, kEffectNameCapacity);
  ToAnsi(name, entry.ansiName, kEffectNameCapacity);
  entry.enabled = 0;
  entry.wrapper.Reset();
}

int FillEffectTable(EffectTable& table) {
  for (auto& entry : table) entry = EffectEntry{};
  Microsoft::WRL::ComPtr<IEnumDMO> effects;
  if (FAILED(DMOEnum(kDmoCategoryAudioEffect, DMO_ENUMF_INCLUDE_KEYED, 0, nullptr, 0, nullptr, &effects)) || !effects) {
    return 0;
  }
  int filled = 0;
  while (filled < kEffectCount) {
    CLSID clsid{};
    platform::CoTaskMem<wchar_t> name;
    DWORD fetched = 0;
    if (effects->Next(1, &clsid, name.put(), &fetched) != S_OK || fetched != 1) break;
    FillEffectEntry(table[filled], OfferedEffect{clsid, name.get()});
    ++filled;
  }
  return filled;
}

}  // namespace kestrun::playback
