#include "platform/com_object_win.h"

#include <gtest/gtest.h>
#include <ole2.h>

namespace kestrun::platform {
namespace {

// A two-interface object that records its destruction.
class Target final : public ComObject<IDropTarget, IDropSource> {
 public:
  explicit Target(bool* destroyed) : destroyed_(destroyed) {}

  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject*, DWORD, POINTL, DWORD*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL, DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return S_OK; }

 private:
  ~Target() override { *destroyed_ = true; }
  bool* destroyed_;
};

TEST(ComObject, AnswersItsInterfacesAndIUnknownWithOneIdentity) {
  bool destroyed = false;
  auto* target = new Target(&destroyed);
  IUnknown* unknown = nullptr;
  IDropTarget* dropTarget = nullptr;
  IDropSource* dropSource = nullptr;
  ASSERT_EQ(target->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  ASSERT_EQ(target->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&dropTarget)), S_OK);
  ASSERT_EQ(target->QueryInterface(IID_IDropSource, reinterpret_cast<void**>(&dropSource)), S_OK);
  EXPECT_EQ(unknown, static_cast<IDropTarget*>(target));
  EXPECT_EQ(dropTarget, static_cast<IDropTarget*>(target));
  EXPECT_EQ(dropSource, static_cast<IDropSource*>(target));
  // The second interface's IUnknown is the same object.
  IUnknown* again = nullptr;
  ASSERT_EQ(dropSource->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&again)), S_OK);
  EXPECT_EQ(again, unknown);
  again->Release();
  unknown->Release();
  dropTarget->Release();
  dropSource->Release();
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(target->Release(), 0u);
  EXPECT_TRUE(destroyed);
}

TEST(ComObject, RefusesOtherInterfacesAndNullOutWithoutAReference) {
  bool destroyed = false;
  auto* target = new Target(&destroyed);
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(target->QueryInterface(IID_IDataObject, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(target->QueryInterface(IID_IDropTarget, nullptr), E_POINTER);
  // Neither answer took a reference: one AddRef and two Releases end the object.
  EXPECT_EQ(target->AddRef(), 2u);
  EXPECT_EQ(target->Release(), 1u);
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(target->Release(), 0u);
  EXPECT_TRUE(destroyed);
}

// A part of an aggregate: its references are the outer object's.
struct Part final : IDropSource {
  ULONG* outerReferences;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return QueryInterfaceFrom(iid, out, {{&IID_IDropSource, this}});
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++*outerReferences; }
  ULONG STDMETHODCALLTYPE Release() override { return --*outerReferences; }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL, DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return S_OK; }
};

TEST(QueryInterfaceFrom, ReferenceGoesThroughTheAnsweredInterface) {
  ULONG outer = 1;
  Part part;
  part.outerReferences = &outer;
  void* out = nullptr;
  ASSERT_EQ(part.QueryInterface(IID_IDropSource, &out), S_OK);
  EXPECT_EQ(out, static_cast<IDropSource*>(&part));
  EXPECT_EQ(outer, 2u);
  EXPECT_EQ(part.QueryInterface(IID_IUnknown, &out), E_NOINTERFACE);
  EXPECT_EQ(outer, 2u);
}

}  // namespace
}  // namespace kestrun::platform
