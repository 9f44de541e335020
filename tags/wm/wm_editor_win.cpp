// Choosing the editor on Windows. The runtime's editor is used when WMVCore.DLL
// exports WMCreateEditor and the editor it makes opens the file; otherwise (no
// runtime on the system, or a runtime that answers a failure, as Wine's does with
// E_NOTIMPL) our own ASF editor opens the file instead.
#include <windows.h>
#include <objbase.h>
#include <wmsdkidl.h>

#include <wrl/client.h>

#include <optional>

#include "tags/wm/wm_runtime_win.h"

namespace kestrun::tags {
namespace {

using Microsoft::WRL::ComPtr;

constexpr const char* kRuntimeLibrary = "WMVCore.DLL";
constexpr const char* kCreateEditorExport = "WMCreateEditor";

class RuntimeHeaderInfo final : public WmHeaderInfo {
 public:
  explicit RuntimeHeaderInfo(ComPtr<IWMHeaderInfo> info) : info_(std::move(info)) {}

  WmResult GetAttributeByName(std::uint16_t* stream, const char16_t* name, WmAttrType* type, std::uint8_t* value,
                              std::uint16_t* length) override {
    if (type == nullptr) return kWmInvalidArg;
    WMT_ATTR_DATATYPE runtimeType = WMT_TYPE_DWORD;
    const HRESULT hr = info_->GetAttributeByName(stream, reinterpret_cast<LPCWSTR>(name), &runtimeType, value, length);
    if (SUCCEEDED(hr)) *type = static_cast<WmAttrType>(runtimeType);
    return hr;
  }

  WmResult SetAttribute(std::uint16_t stream, const char16_t* name, WmAttrType type, const std::uint8_t* value,
                        std::uint16_t length) override {
    return info_->SetAttribute(stream, reinterpret_cast<LPCWSTR>(name), static_cast<WMT_ATTR_DATATYPE>(type), value,
                               length);
  }

 private:
  ComPtr<IWMHeaderInfo> info_;
};

class RuntimeEditor final : public WmMetadataEditor {
 public:
  explicit RuntimeEditor(IWMMetadataEditor* editor) : editor_(editor) {}

  WmResult Open(const char16_t* path) override {
    const HRESULT hr = editor_->Open(reinterpret_cast<const WCHAR*>(path));
    if (FAILED(hr)) return hr;
    ComPtr<IWMHeaderInfo> info;
    if (SUCCEEDED(editor_.As(&info)) && info) header_.emplace(std::move(info));
    return hr;
  }
  WmResult Flush() override { return editor_->Flush(); }
  WmResult Close() override {
    header_.reset();
    return editor_->Close();
  }
  WmHeaderInfo* HeaderInfo() override { return header_ ? &*header_ : nullptr; }
  WmEditorKind Kind() const override { return WmEditorKind::Runtime; }

 private:
  ComPtr<IWMMetadataEditor> editor_;
  std::optional<RuntimeHeaderInfo> header_;
};

// Tries the runtime on Open and keeps whichever editor opened the file.
class SelectingEditor final : public WmMetadataEditor {
 public:
  explicit SelectingEditor(WmCreateEditorFn createEditor) : createEditor_(createEditor) {}

  WmResult Open(const char16_t* path) override {
    if (active_) return kWmInvalidRequest;
    if (auto runtime = OpenWithRuntime(path)) {
      active_ = std::move(runtime);
      return kWmOk;
    }
    auto own = CreateAsfFileEditor();
    const WmResult result = own->Open(path);
    if (WmSucceeded(result)) active_ = std::move(own);
    return result;
  }
  WmResult Flush() override { return active_ ? active_->Flush() : kWmInvalidRequest; }
  WmResult Close() override {
    const WmResult result = active_ ? active_->Close() : kWmOk;
    active_.reset();
    return result;
  }
  WmHeaderInfo* HeaderInfo() override { return active_ ? active_->HeaderInfo() : nullptr; }
  WmEditorKind Kind() const override { return kind_; }

 private:
  std::unique_ptr<WmMetadataEditor> OpenWithRuntime(const char16_t* path) {
    if (createEditor_ == nullptr) return nullptr;
    IWMMetadataEditor* raw = nullptr;
    if (FAILED(createEditor_(&raw)) || raw == nullptr) return nullptr;
    auto editor = WrapRuntimeEditor(raw);
    raw->Release();  // the wrapper holds its own reference
    if (FAILED(editor->Open(path))) return nullptr;
    if (editor->HeaderInfo() == nullptr) {
      editor->Close();
      return nullptr;
    }
    kind_ = WmEditorKind::Runtime;
    return editor;
  }

  WmCreateEditorFn createEditor_;
  std::unique_ptr<WmMetadataEditor> active_;
  WmEditorKind kind_ = WmEditorKind::Own;
};

}  // namespace

WmCreateEditorFn BindWmCreateEditor() {
  static const WmCreateEditorFn bound = [] {
    HMODULE module = LoadLibraryA(kRuntimeLibrary);
    if (module == nullptr) return WmCreateEditorFn{nullptr};
    return reinterpret_cast<WmCreateEditorFn>(reinterpret_cast<void*>(GetProcAddress(module, kCreateEditorExport)));
  }();
  return bound;
}

std::unique_ptr<WmMetadataEditor> WrapRuntimeEditor(IWMMetadataEditor* editor) {
  return std::make_unique<RuntimeEditor>(editor);
}

std::unique_ptr<WmMetadataEditor> CreateSelectingEditor(WmCreateEditorFn createEditor) {
  return std::make_unique<SelectingEditor>(createEditor);
}

std::unique_ptr<WmMetadataEditor> CreateWmEditor() { return CreateSelectingEditor(BindWmCreateEditor()); }

WmComScope::WmComScope() {
  const HRESULT hr = CoInitialize(nullptr);
  initialised_ = SUCCEEDED(hr);  // S_FALSE (already initialised) is balanced too
}

WmComScope::~WmComScope() {
  if (initialised_) CoUninitialize();
}

}  // namespace kestrun::tags
