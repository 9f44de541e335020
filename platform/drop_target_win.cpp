#include "platform/drop_target_win.h"

#include <shellapi.h>

#include <cstring>
#include <iterator>
#include <new>
#include <utility>
#include <vector>

#include "platform/ansi_path.h"
#include "platform/ansi_text.h"
#include "platform/com_object_win.h"
#include "platform/debug_line.h"
#include "platform/limits.h"
#include "platform/shell_path_win.h"
#include "platform/win32_handles_win.h"

namespace kestrun::platform {
namespace {

// What the player's windows look for, in this order: text (wide before ANSI), then files.
constexpr UINT kPathFormats[] = {CF_UNICODETEXT, CF_TEXT, CF_HDROP};

class DropTarget final : public ComObject<IDropTarget> {
 public:
  DropTarget(HWND window, UINT message, std::vector<UINT> formats)
      : window_(window), message_(message), formats_(std::move(formats)) {}

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
  ~DropTarget() override = default;

  // Reports one event; for enter and drop the first offered format of the list is
  // fetched for the window and released after it answered.
  void Notify(DropEvent event, IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) {
    info_ = DropInfo{};
    info_.point = &point;
    info_.keyState = keyState;
    info_.dataObject = data;
    StorageMedium medium;
    if (data != nullptr && (event == kDragEnter || event == kDrop)) {
      for (UINT format : formats_) {
        FORMATETC wanted{static_cast<CLIPFORMAT>(format), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        if (data->QueryGetData(&wanted) != S_OK) continue;
        if (SUCCEEDED(data->GetData(&wanted, medium.put())) && medium.get().tymed == TYMED_HGLOBAL) {
          info_.format = format;
          info_.data = medium.get().hGlobal;
        } else {
          medium.reset();
        }
        break;
      }
    }
    SendMessageA(window_, message_, event, reinterpret_cast<LPARAM>(&info_));
    medium.reset();
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

  HWND window_;
  UINT message_;
  std::vector<UINT> formats_;
  DropInfo info_;
};

}  // namespace

ShellPath DroppedPath(const DropInfo& info) {
  if (info.data == nullptr) return {};
  if (info.format == CF_UNICODETEXT) {
    LockedGlobal<const wchar_t> text(info.data);
    if (!text) return {};
    // A dropped text is a path or URL, perhaps quoted or several lines of them; the
    // block may hold no terminator.
    const std::size_t length = wcsnlen(text.get(), text.size() / sizeof(wchar_t));
    return AnsiPathFromWide(PathInText(std::wstring_view(text.get(), length)));
  }
  if (info.format == CF_TEXT) {
    LockedGlobal<const char> text(info.data);
    if (!text) return {};
    const std::string_view dropped = PathInText(std::string_view(text.get(), strnlen(text.get(), text.size())));
    ShellPath result;
    if (dropped.size() > kPathMaxLength) {
      result.refusal = PathRefusal::TooLong;
    } else {
      result.path.assign(dropped);
    }
    return result;
  }
  if (info.format == CF_HDROP) return DroppedFile(static_cast<HDROP>(info.data), 0);
  return {};
}

ShellPath DroppedFile(HDROP drop, UINT index) {
  // Asked for wide whatever the drop holds: the system converts an ANSI list.
  const UINT length = DragQueryFileW(drop, index, nullptr, 0);
  if (length == 0) return {};
  std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
  const UINT copied = DragQueryFileW(drop, index, wide.data(), length + 1);
  if (copied == 0) return {};
  wide.resize(copied < length ? copied : length);
  return AnsiPathFromWide(wide);
}

DroppedFileList DroppedFiles(HDROP drop) {
  DroppedFileList list;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    ShellPath path = DroppedFile(drop, i);
    if (path.refused()) {
      if (list.refused == PathRefusal::None) list.refused = path.refusal;
    } else if (!path.path.empty()) {
      list.paths.push_back(std::move(path.path));
    }
  }
  return list;
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

bool RegisterPathDropTarget(HWND window) {
  const int formatCount = static_cast<int>(std::size(kPathFormats));
  if (registerDropTarget(window, kDropMessage, kPathFormats, formatCount)) return true;
  DebugLine(kDropTargetFailed);
  return false;
}

DWORD AnswerDrop(WPARAM event, DropInfo* info, const DropHandlers& handlers) {
  DWORD effect = 0;
  switch (event) {
    case kDragEnter:
      if (handlers.entered) handlers.entered();
      effect = kDropAccepted;
      break;
    case kDragOver:
      effect = kDropAccepted;
      break;
    case kDragLeave:
      if (handlers.ended) handlers.ended();
      break;
    case kDrop: {
      const ShellPath dropped = info != nullptr ? DroppedPath(*info) : ShellPath();
      if (handlers.ended) handlers.ended();
      if (dropped.refused()) {
        if (handlers.refused) handlers.refused(RefusalMessage(dropped.refusal));
      } else if (handlers.dropped) {
        handlers.dropped(dropped.path);
        // The source learns that its file was taken (and is still its own): a copy.
        if (!dropped.path.empty()) effect = DROPEFFECT_COPY;
      }
      break;
    }
    default:
      return 0;
  }
  if (info != nullptr) info->effect = effect;
  return effect;
}

}  // namespace kestrun::platform
