#include "platform/win32_handles_win.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <utility>

namespace kestrun::platform {
namespace {

bool IsOpen(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != 0;
}

HANDLE NewEvent() { return CreateEventA(nullptr, TRUE, FALSE, nullptr); }

TEST(UniqueHandle, ClosesAtScopeEndAndOnReset) {
  HANDLE first = NewEvent();
  HANDLE second = NewEvent();
  ASSERT_TRUE(IsOpen(first));
  ASSERT_TRUE(IsOpen(second));
  {
    KernelHandle event(first);
    event.reset(second);
    EXPECT_FALSE(IsOpen(first));
    EXPECT_TRUE(IsOpen(second));
    EXPECT_EQ(event.get(), second);
  }
  EXPECT_FALSE(IsOpen(second));
}

TEST(UniqueHandle, MovedFromWrapperClosesNothing) {
  HANDLE event = NewEvent();
  HANDLE other = NewEvent();
  KernelHandle target(other);
  {
    KernelHandle source(event);
    KernelHandle middle(std::move(source));
    EXPECT_FALSE(source);
    // Move assignment closes what the target held and takes over the event.
    target = std::move(middle);
    EXPECT_FALSE(IsOpen(other));
  }
  EXPECT_TRUE(IsOpen(event));
  EXPECT_EQ(target.get(), event);

  HANDLE released = target.release();
  target.reset();
  EXPECT_TRUE(IsOpen(released));
  CloseHandle(released);
}

TEST(UniqueHandle, PutClosesTheOldHandleForAnOutParameter) {
  HANDLE old_event = NewEvent();
  HANDLE source = NewEvent();
  KernelHandle copy(old_event);
  HANDLE* slot = copy.put();
  // Checked before the call: the system may hand out the freed value again.
  EXPECT_FALSE(IsOpen(old_event));
  EXPECT_EQ(*slot, nullptr);
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), source, GetCurrentProcess(), slot, 0, FALSE, DUPLICATE_SAME_ACCESS));
  EXPECT_TRUE(IsOpen(copy.get()));
  EXPECT_NE(copy.get(), source);
  CloseHandle(source);
}

TEST(UniqueHandle, EachAliasTreatsItsOwnFailureValueAsEmpty) {
  // CreateFileA fails with INVALID_HANDLE_VALUE, not null.
  FileHandle missing(CreateFileA("Z:\\kestrun\\no\\such\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_FALSE(missing);
  EXPECT_FALSE(FileHandle());
  EXPECT_FALSE(KernelHandle());
}

TEST(UniqueHandle, MenuAndAtomAreDestroyedWithTheirWrapper) {
  HMENU raw_menu = CreatePopupMenu();
  ASSERT_TRUE(IsMenu(raw_menu));
  { MenuHandle menu(raw_menu); }
  EXPECT_FALSE(IsMenu(raw_menu));

  const char* name = "Kestrun.UniqueHandle.TestAtom";
  {
    GlobalAtom atom(GlobalAddAtomA(name));
    ASSERT_TRUE(atom);
    EXPECT_EQ(GlobalFindAtomA(name), atom.get());
  }
  EXPECT_EQ(GlobalFindAtomA(name), 0);
}

// True when another thread can take the mutex right now, that is, nobody owns it and it
// was released properly rather than abandoned.
bool FreeForAnotherThread(HANDLE mutex) {
  DWORD result = WAIT_FAILED;
  std::thread([&] {
    result = WaitForSingleObject(mutex, 0);
    if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) ReleaseMutex(mutex);
  }).join();
  return result == WAIT_OBJECT_0;
}

TEST(OwnedMutex, ReleasesOwnershipBeforeClosing) {
  const char* name = "Kestrun.OwnedMutex.Test";
  HANDLE raw = CreateMutexA(nullptr, TRUE, name);
  ASSERT_NE(raw, nullptr);
  // A second handle on the same mutex, as a second instance of the player would have.
  KernelHandle observer(OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name));
  ASSERT_TRUE(observer);
  {
    OwnedMutex owner(raw, true);
    OwnedMutex moved(std::move(owner));
    EXPECT_EQ(owner.get(), nullptr);
    EXPECT_FALSE(FreeForAnotherThread(observer.get()));
  }
  EXPECT_FALSE(IsOpen(raw));
  EXPECT_TRUE(FreeForAnotherThread(observer.get()));
}

// Probes the calling thread's COM state without changing it: S_OK means no apartment
// (the probe's own initialisation is undone), RPC_E_CHANGED_MODE a single-threaded one,
// S_FALSE a multithreaded one.
HRESULT ProbeApartment() {
  const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (SUCCEEDED(result)) CoUninitialize();
  return result;
}

TEST(ComApartment, NestedApartmentsUninitialiseOnceEach) {
  HRESULT after_inner = E_FAIL;
  HRESULT after_outer = E_FAIL;
  HRESULT inner_result = E_FAIL;
  // A fresh thread, so no earlier test's COM state leaks in.
  std::thread([&] {
    {
      ComApartment outer;
      EXPECT_EQ(outer.result(), S_OK);
      {
        ComApartment inner;
        inner_result = inner.result();
        EXPECT_TRUE(inner.ok());
      }
      after_inner = ProbeApartment();
    }
    after_outer = ProbeApartment();
  }).join();
  EXPECT_EQ(inner_result, S_FALSE);
  EXPECT_EQ(after_inner, RPC_E_CHANGED_MODE);  // the outer apartment still stands
  EXPECT_EQ(after_outer, S_OK);                // and is gone with the outer object
}

TEST(ComApartment, FailedInitialisationLeavesTheThreadsApartmentAlone) {
  bool ok = true;
  HRESULT result = S_OK;
  HRESULT after = E_FAIL;
  std::thread([&] {
    ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    {
      ComApartment apartment;
      ok = apartment.ok();
      result = apartment.result();
    }
    after = ProbeApartment();
    CoUninitialize();
  }).join();
  EXPECT_FALSE(ok);
  EXPECT_EQ(result, RPC_E_CHANGED_MODE);
  EXPECT_EQ(after, S_FALSE);  // the thread's own multithreaded apartment survived
}

TEST(OleSession, NestedSessionsUninitialiseOnceEach) {
  HRESULT after_inner = E_FAIL;
  HRESULT after_outer = E_FAIL;
  std::thread([&] {
    {
      OleSession outer;
      EXPECT_EQ(outer.result(), S_OK);
      {
        OleSession inner;
        EXPECT_EQ(inner.result(), S_FALSE);
      }
      after_inner = ProbeApartment();
    }
    after_outer = ProbeApartment();
  }).join();
  EXPECT_EQ(after_inner, RPC_E_CHANGED_MODE);
  EXPECT_EQ(after_outer, S_OK);
}

// A window whose own procedure answers WM_APP with 1; each subclass adds its data.
LRESULT CALLBACK BaseProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) return 1;
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK AddingSubclass(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
  const LRESULT below = DefSubclassProc(window, message, wParam, lParam);
  return message == WM_APP ? below + static_cast<LRESULT>(data) : below;
}

class WindowSubclassTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static const ATOM window_class = [] {
      WNDCLASSA description = {};
      description.lpfnWndProc = &BaseProcedure;
      description.hInstance = GetModuleHandleA(nullptr);
      description.lpszClassName = "KestrunSubclassTest";
      return RegisterClassA(&description);
    }();
    ASSERT_NE(window_class, 0);
    window_.reset(CreateWindowExA(0, "KestrunSubclassTest", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr));
    ASSERT_TRUE(window_);
  }

  LRESULT Ask() { return SendMessageA(window_.get(), WM_APP, 0, 0); }

  WindowHandle window_;
};

TEST_F(WindowSubclassTest, TwoSubclassesComeOffInEitherOrder) {
  for (const bool first_off_first : {true, false}) {
    SCOPED_TRACE(first_off_first ? "first removed first" : "second removed first");
    WindowSubclass first;
    WindowSubclass second;
    ASSERT_TRUE(first.Install(window_.get(), &AddingSubclass, 1, 10));
    ASSERT_TRUE(second.Install(window_.get(), &AddingSubclass, 2, 100));
    EXPECT_EQ(Ask(), 111);
    WindowSubclass& early = first_off_first ? first : second;
    WindowSubclass& late = first_off_first ? second : first;
    early.Remove();
    EXPECT_FALSE(early.installed());
    EXPECT_EQ(Ask(), first_off_first ? 101 : 11);
    late.Remove();
    EXPECT_EQ(Ask(), 1);
  }
}

TEST_F(WindowSubclassTest, ReinstallReplacesAndScopeEndRemoves) {
  {
    WindowSubclass subclass;
    ASSERT_TRUE(subclass.Install(window_.get(), &AddingSubclass, 1, 10));
    ASSERT_TRUE(subclass.Install(window_.get(), &AddingSubclass, 2, 100));
    EXPECT_EQ(Ask(), 101);
    EXPECT_EQ(subclass.window(), window_.get());
  }
  EXPECT_EQ(Ask(), 1);
  WindowSubclass refused;
  EXPECT_FALSE(refused.Install(nullptr, &AddingSubclass, 1, 10));
  EXPECT_FALSE(refused.installed());
}

TEST_F(WindowSubclassTest, RemoveAfterTheWindowIsDestroyedIsHarmless) {
  WindowSubclass subclass;
  ASSERT_TRUE(subclass.Install(window_.get(), &AddingSubclass, 1, 10));
  window_.reset();
  subclass.Remove();
  EXPECT_FALSE(subclass.installed());
  subclass.Remove();
}

}  // namespace
}  // namespace kestrun::platform

namespace kestrun::platform {
namespace {

TEST(LockedGlobal, HoldsOneLockForItsLifetimeAndLeavesTheBlock) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 16);
  ASSERT_NE(block, nullptr);
  {
    LockedGlobal<char> locked(block);
    ASSERT_TRUE(locked);
    EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 1u);
    EXPECT_GE(locked.size(), 16u);
  }
  EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u);
  EXPECT_EQ(GlobalFree(block), nullptr);  // still the caller's, and still valid
  EXPECT_FALSE(LockedGlobal<char>(nullptr));
}

// Counts the releases a storage medium gives its release object.
class ReleaseCounter final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  ULONG references = 1;
};

TEST(StorageMedium, ReleasesOnceThroughItsReleaseObject) {
  ReleaseCounter owner;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 8);
  {
    StorageMedium medium;
    STGMEDIUM* filled = medium.put();
    filled->tymed = TYMED_HGLOBAL;
    filled->hGlobal = block;
    filled->pUnkForRelease = &owner;
    owner.AddRef();  // the medium's reference, as GetData hands it out
    EXPECT_TRUE(medium);
    medium.reset();
    EXPECT_FALSE(medium);
    EXPECT_EQ(owner.references, 1u);
  }
  // Reset already gave the medium back; the scope's end adds no second release.
  EXPECT_EQ(owner.references, 1u);
  // With a release object the data stays its owner's.
  EXPECT_EQ(GlobalFree(block), nullptr);
}

TEST(UniqueHandle, FindHandleTreatsAFailedSearchAsEmpty) {
  WIN32_FIND_DATAA found{};
  FindHandle missing(FindFirstFileA("Z:\\kestrun\\no\\such\\folder\\*", &found));
  EXPECT_FALSE(missing);
  char folder[MAX_PATH] = {};
  ASSERT_GT(GetWindowsDirectoryA(folder, sizeof(folder)), 0u);
  FindHandle search(FindFirstFileA((std::string(folder) + "\\*").c_str(), &found));
  EXPECT_TRUE(search);
  EXPECT_TRUE(FindNextFileA(search.get(), &found));
}

}  // namespace
}  // namespace kestrun::platform
