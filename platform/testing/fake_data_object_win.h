// A data object as a drag or the clipboard hands it over: one clipboard format as
// global memory, made afresh for each request and counted. It lives on the test's
// stack for one drag (its reference count is kept, never acted on), and it may be
// handed to the system's drag and drop, which marshals it into another process.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

namespace kestrun::testing {

class FakeDataObject : public IDataObject {
 public:
  FakeDataObject(UINT format, std::string bytes) : format_(format), bytes_(std::move(bytes)) {}
  virtual ~FakeDataObject() = default;
  FakeDataObject(const FakeDataObject&) = delete;
  FakeDataObject& operator=(const FakeDataObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDataObject)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&references_)); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&references_)); }

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* wanted, STGMEDIUM* medium) override {
    if (medium == nullptr) return E_INVALIDARG;
    if (QueryGetData(wanted) != S_OK) return DV_E_FORMATETC;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes_.size());
    if (block == nullptr) return E_OUTOFMEMORY;
    std::memcpy(GlobalLock(block), bytes_.data(), bytes_.size());
    GlobalUnlock(block);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    medium->pUnkForRelease = nullptr;
    InterlockedIncrement(&fetched_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* wanted) override {
    if (wanted == nullptr) return E_INVALIDARG;
    return wanted->cfFormat == format_ && (wanted->tymed & TYMED_HGLOBAL) != 0 ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    if (out != nullptr) out->ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (direction != DATADIR_GET) return E_NOTIMPL;
    FORMATETC format{static_cast<CLIPFORMAT>(format_), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return SHCreateStdEnumFmtEtc(1, &format, out);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

  // How often the data was handed out.
  int fetched() const { return static_cast<int>(fetched_); }

 private:
  UINT format_;
  std::string bytes_;
  LONG references_ = 1;
  LONG fetched_ = 0;
};

// CF_TEXT data: the text and its terminating zero.
inline std::string TextDropBytes(const std::string& text) { return text + '\0'; }

// A CF_HDROP block naming files (ANSI, each name zero-ended, a second zero at the end).
inline std::string FileDropBytes(const std::vector<std::string>& files) {
  DROPFILES header{};
  header.pFiles = sizeof(DROPFILES);
  header.fWide = FALSE;
  std::string bytes(reinterpret_cast<const char*>(&header), sizeof(header));
  for (const auto& file : files) bytes += file + '\0';
  bytes += '\0';
  return bytes;
}

}  // namespace kestrun::testing
