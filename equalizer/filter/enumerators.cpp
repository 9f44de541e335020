#include "equalizer/filter/enumerators.h"

#include <memory>
#include <new>
#include <utility>

#include "equalizer/filter/module.h"
#include "platform/com_object_win.h"

namespace kestrun::equalizer {
namespace {

using Microsoft::WRL::ComPtr;

// Shared by both enumerators: a list, a cursor and the four IEnum* methods.
// Traits supply how one element is handed out.
template <class Interface, class Element, class Item, class Traits>
class SnapshotEnumerator final : public platform::ComObject<Interface> {
 public:
  SnapshotEnumerator(std::shared_ptr<const std::vector<Element>> items, size_t position)
      : items_(std::move(items)), position_(position) {
    ModuleObjectCreated();
  }
  ~SnapshotEnumerator() override { ModuleObjectDestroyed(); }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* out, ULONG* fetched) override {
    if (out == nullptr || (count > 1 && fetched == nullptr)) {
      return E_POINTER;
    }
    ULONG given = 0;
    while (given < count && position_ < items_->size()) {
      if (!Traits::Give((*items_)[position_], &out[given])) {
        break;
      }
      ++given;
      ++position_;
    }
    if (fetched != nullptr) {
      *fetched = given;
    }
    return given == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    const size_t left = items_->size() - position_;
    if (count > left) {
      position_ = items_->size();
      return S_FALSE;
    }
    position_ += count;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(Interface** out) override {
    if (out == nullptr) {
      return E_POINTER;
    }
    *out = new (std::nothrow) SnapshotEnumerator(items_, position_);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
  }

 private:
  std::shared_ptr<const std::vector<Element>> items_;
  size_t position_;
};

struct PinTraits {
  static bool Give(const ComPtr<IPin>& pin, IPin** out) {
    *out = pin.Get();
    pin->AddRef();
    return true;
  }
};

struct MediaTypeTraits {
  static bool Give(const MediaType& type, AM_MEDIA_TYPE** out) {
    *out = CreateMediaTypeCopy(type.get());
    return *out != nullptr;
  }
};

template <class Enumerator, class Interface, class Element>
HRESULT Create(std::vector<Element> items, Interface** out) {
  if (out == nullptr) {
    return E_POINTER;
  }
  auto shared = std::make_shared<const std::vector<Element>>(std::move(items));
  *out = new (std::nothrow) Enumerator(std::move(shared), 0);
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

HRESULT CreatePinEnumerator(std::vector<ComPtr<IPin>> pins, IEnumPins** out) {
  using Enumerator = SnapshotEnumerator<IEnumPins, ComPtr<IPin>, IPin*, PinTraits>;
  return Create<Enumerator>(std::move(pins), out);
}

HRESULT CreateMediaTypeEnumerator(std::vector<MediaType> types, IEnumMediaTypes** out) {
  using Enumerator = SnapshotEnumerator<IEnumMediaTypes, MediaType, AM_MEDIA_TYPE*, MediaTypeTraits>;
  return Create<Enumerator>(std::move(types), out);
}

}  // namespace kestrun::equalizer
