#include "playlist/drop_target_win.h"

#include <shellapi.h>

#include <atomic>
#include <cstring>
#include <new>
#include <vector>

#include "platform/ansi_text.h"
#include "playlist/playlist_entry.h"

namespace kestrun::playlist {
namespace {

class DropTarget final : public IDropTarget {
 public:
  DropTarget(HWND window, UINT message, std::vector<UINT> formats)
      : window_(window), message_(message), formats_(std::move(formats)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
      *object = static_cast<IDropTarget*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override {
    Notify(kDragEnter, data, keyState, point, effect);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override {
    Notify(kDragOver, nullptr, keyState, point, effect);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DragLeave() override {
    DWORD none = 0;
    Notify(kDragLeave, nullptr, 0, POINTL{}, &none);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override {
    Notify(kDrop, data, keyState, point, effect);
    return S_OK;
  }

 private:
  ~DropTarget() = default;

  // Reports one event; for enter and drop the first offered format of the list is
  // fetched for the window and released after it answered.
  void Notify(DropEvent event, IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) {
    info_ = DropInfo{};
    info_.point = &point;
    info_.keyState = keyState;
    info_.dataObject = data;
    STGMEDIUM medium{};
    bool fetched = false;
    if (data != nullptr && (event == kDragEnter || event == kDrop)) {
      for (UINT format : formats_) {
        FORMATETC wanted{static_cast<CLIPFORMAT>(format), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        if (data->QueryGetData(&wanted) != S_OK) continue;
        if (SUCCEEDED(data->GetData(&wanted, &medium)) && medium.tymed == TYMED_HGLOBAL) {
          info_.format = format;
          info_.data = medium.hGlobal;
          fetched = true;
        } else if (medium.tymed != TYMED_NULL) {
          ReleaseStgMedium(&medium);
        }
        break;
      }
    }
    SendMessageA(window_, message_, event, reinterpret_cast<LPARAM>(&info_));
    if (fetched) ReleaseStgMedium(&medium);
    if (effect != nullptr) {
      DWORD allowed = *effect & info_.effect;
      if ((allowed & DROPEFFECT_COPY) && (allowed & DROPEFFECT_MOVE)) allowed &= ~DROPEFFECT_COPY;
      info_.effect = allowed;
      *effect = allowed;
    }
    info_.point = nullptr;
    info_.data = nullptr;
    info_.dataObject = nullptr;
  }

  std::atomic<ULONG> references_{1};
  HWND window_;
  UINT message_;
  std::vector<UINT> formats_;
  DropInfo info_;
};

}  // namespace

std::string DroppedPath(const DropInfo& info) {
  char path[kPathBufferSize] = {};
  if (info.format == CF_TEXT && info.data != nullptr) {
    if (const auto* text = static_cast<const char*>(GlobalLock(info.data))) {
      // A dropped text is a path or URL; the block may hold no terminator.
      const std::size_t length = strnlen(text, GlobalSize(info.data));
      platform::CopyToBuffer(std::string_view(text, length), path, sizeof(path));
      GlobalUnlock(info.data);
    }
  } else if (info.format == CF_HDROP && info.data != nullptr) {
    DragQueryFileA(static_cast<HDROP>(info.data), 0, path, sizeof(path));
  }
  return path;
}

IDropTarget* NewDropTarget(HWND window, UINT message, const UINT* formats, int formatCount) {
  if (window == nullptr || formats == nullptr || formatCount <= 0) return nullptr;
  return new (std::nothrow) DropTarget(window, message, std::vector<UINT>(formats, formats + formatCount));
}

bool registerDropTarget(HWND window, UINT message, const UINT* formats, int formatCount) {
  IDropTarget* target = NewDropTarget(window, message, formats, formatCount);
  if (target == nullptr) return false;
  const HRESULT hr = RegisterDragDrop(window, target);
  // The platform holds its own reference from here; ours goes.
  target->Release();
  return SUCCEEDED(hr);
}

HRESULT revokeDropTarget(HWND window) { return RevokeDragDrop(window); }

}  // namespace kestrun::playlist
