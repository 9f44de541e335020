// IUnknown for the player's and the equalizer filter's COM objects: the
// QueryInterface rule over a list of interfaces, and a reference-counted base for
// objects that live on the heap until their last reference goes.
//
// Header-only, so Equalizer.ax can use it without linking any of the player's
// libraries.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <initializer_list>

namespace kestrun::platform {

// One interface an object answers for: its id, and the object seen as that
// interface (the pointer a caller gets back).
struct ComInterfaceEntry {
  const IID* iid;
  IUnknown* object;
};

// QueryInterface over entries: E_POINTER for a null out; the first entry whose id
// matches is handed out with a reference taken through that interface's own AddRef
// (for a part of an aggregate that is the outer object's); otherwise out is set to
// null and the answer is E_NOINTERFACE.
inline HRESULT QueryInterfaceFrom(REFIID iid, void** out, std::initializer_list<ComInterfaceEntry> entries) noexcept {
  if (out == nullptr) return E_POINTER;
  for (const ComInterfaceEntry& entry : entries) {
    if (IsEqualIID(iid, *entry.iid)) {
      entry.object->AddRef();
      *out = entry.object;
      return S_OK;
    }
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

// Implements QueryInterface for an object made of Interfaces: IUnknown and each
// listed interface (by its __uuidof), IUnknown answered by the first. The derived
// class supplies AddRef and Release (ComObject below, or its own lifetime rule).
template <class First, class... Rest>
class ComInterfaces : public First, public Rest... {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return QueryInterfaceFrom(iid, out,
                              {ComInterfaceEntry{&IID_IUnknown, static_cast<First*>(this)},
                               ComInterfaceEntry{&__uuidof(First), static_cast<First*>(this)},
                               ComInterfaceEntry{&__uuidof(Rest), static_cast<Rest*>(this)}...});
  }

 protected:
  ComInterfaces() = default;
  ~ComInterfaces() = default;
};

// A heap object with a thread-safe reference count: made with one reference (the
// creator's) and deleted when the last one is released. Derived classes may keep
// their destructors private; deletion goes through the virtual destructor here.
template <class... Interfaces>
class ComObject : public ComInterfaces<Interfaces...> {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;

 private:
  std::atomic<ULONG> references_{1};
};

}  // namespace kestrun::platform
