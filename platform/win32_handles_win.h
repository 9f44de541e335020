// Owning wrappers for Win32 handles and per-thread COM/OLE initialisation.
//
// Every handle the player opens has exactly one owner, which closes it when it goes
// away; ownership moves explicitly and is never copied. A wrapper that was moved from
// holds nothing and closes nothing.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <ole2.h>

#include <utility>

namespace kestrun::platform {

// Owns one handle described by Traits:
//   using Type = ...;                      the handle type
//   static Type Invalid() noexcept;        the value meaning "no handle"
//   static void Close(Type) noexcept;      releases a valid handle
template <typename Traits>
class UniqueHandle {
 public:
  using Type = typename Traits::Type;

  UniqueHandle() = default;
  explicit UniqueHandle(Type value) noexcept : value_(value) {}
  ~UniqueHandle() { CloseCurrent(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  UniqueHandle(UniqueHandle&& other) noexcept : value_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Type get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Traits::Invalid(); }

  // Takes value, closing the handle held so far (unless it is the same one).
  void reset(Type value = Traits::Invalid()) noexcept {
    if (value == value_) return;
    CloseCurrent();
    value_ = value;
  }

  // Gives up ownership without closing.
  Type release() noexcept { return std::exchange(value_, Traits::Invalid()); }

  // For out-parameters (RegCreateKeyExA and the like): closes the current handle and
  // returns where the callee writes the new one.
  Type* put() noexcept {
    reset();
    return &value_;
  }

 private:
  void CloseCurrent() noexcept {
    if (value_ != Traits::Invalid()) Traits::Close(std::exchange(value_, Traits::Invalid()));
  }

  Type value_ = Traits::Invalid();
};

namespace handle_traits {

struct Kernel {
  using Type = HANDLE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { CloseHandle(value); }
};

// CreateFileA reports failure as INVALID_HANDLE_VALUE rather than null.
struct File {
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type value) noexcept { CloseHandle(value); }
};

struct Registry {
  using Type = HKEY;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { RegCloseKey(value); }
};

struct Menu {
  using Type = HMENU;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { DestroyMenu(value); }
};

struct Module {
  using Type = HMODULE;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { FreeLibrary(value); }
};

struct Gdi {
  using Type = HGDIOBJ;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { DeleteObject(value); }
};

struct Icon {
  using Type = HICON;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { DestroyIcon(value); }
};

struct Window {
  using Type = HWND;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { DestroyWindow(value); }
};

// A memory drawing surface made by CreateCompatibleDC.
struct MemoryDc {
  using Type = HDC;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { DeleteDC(value); }
};

struct Atom {
  using Type = ATOM;
  static Type Invalid() noexcept { return 0; }
  static void Close(Type value) noexcept { GlobalDeleteAtom(value); }
};

// A directory search of FindFirstFileA: closed by FindClose, not CloseHandle, and
// failure is INVALID_HANDLE_VALUE.
struct Find {
  using Type = HANDLE;
  static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Type value) noexcept { FindClose(value); }
};

// Memory the system handed out through the COM task allocator (names, id lists,
// format blocks, shell item lists).
template <typename T>
struct CoTaskMemory {
  using Type = T*;
  static Type Invalid() noexcept { return nullptr; }
  static void Close(Type value) noexcept { CoTaskMemFree(value); }
};

}  // namespace handle_traits

using KernelHandle = UniqueHandle<handle_traits::Kernel>;
using FileHandle = UniqueHandle<handle_traits::File>;
using RegistryKey = UniqueHandle<handle_traits::Registry>;
using MenuHandle = UniqueHandle<handle_traits::Menu>;
using ModuleHandle = UniqueHandle<handle_traits::Module>;
using GdiObject = UniqueHandle<handle_traits::Gdi>;
using IconHandle = UniqueHandle<handle_traits::Icon>;
using WindowHandle = UniqueHandle<handle_traits::Window>;
using GlobalAtom = UniqueHandle<handle_traits::Atom>;
using MemoryDc = UniqueHandle<handle_traits::MemoryDc>;
using FindHandle = UniqueHandle<handle_traits::Find>;
template <typename T>
using CoTaskMem = UniqueHandle<handle_traits::CoTaskMemory<T>>;

// The drawing surface of a window (GetDC), given back with ReleaseDC to the same
// window when this object goes away.
class WindowDc {
 public:
  explicit WindowDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }

  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;

  HDC get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// A global memory block locked for reading or writing (GlobalLock) while this object
// lives. The block stays the owner's (the clipboard's, a data object's, the caller's):
// only the lock is given back.
template <typename T>
class LockedGlobal {
 public:
  explicit LockedGlobal(HGLOBAL block) noexcept
      : block_(block), data_(block != nullptr ? static_cast<T*>(GlobalLock(block)) : nullptr) {}
  ~LockedGlobal() {
    if (data_ != nullptr) GlobalUnlock(block_);
  }

  LockedGlobal(const LockedGlobal&) = delete;
  LockedGlobal& operator=(const LockedGlobal&) = delete;

  T* get() const noexcept { return data_; }
  explicit operator bool() const noexcept { return data_ != nullptr; }
  // The block's size in bytes (it may be larger than what was asked for).
  SIZE_T size() const noexcept { return data_ != nullptr ? GlobalSize(block_) : 0; }

 private:
  HGLOBAL block_;
  T* data_;
};

// A storage medium filled by IDataObject::GetData: released with ReleaseStgMedium,
// which frees the data or leaves it to the medium's release object as the data
// object decided.
class StorageMedium {
 public:
  StorageMedium() noexcept = default;
  ~StorageMedium() { reset(); }

  StorageMedium(const StorageMedium&) = delete;
  StorageMedium& operator=(const StorageMedium&) = delete;

  const STGMEDIUM& get() const noexcept { return medium_; }
  explicit operator bool() const noexcept { return medium_.tymed != TYMED_NULL; }

  void reset() noexcept {
    if (medium_.tymed != TYMED_NULL) ReleaseStgMedium(&medium_);
    medium_ = STGMEDIUM{};
  }
  // For GetData: releases what is held and returns the empty medium to fill.
  STGMEDIUM* put() noexcept {
    reset();
    return &medium_;
  }

 private:
  STGMEDIUM medium_{};
};

// A named mutex, possibly created with initial ownership (the single-instance check):
// ownership is given back before the handle is closed, so a second instance waiting on
// it sees a release rather than an abandoned mutex.
class OwnedMutex {
 public:
  OwnedMutex() = default;
  explicit OwnedMutex(HANDLE mutex, bool owned) noexcept : mutex_(mutex), owned_(mutex != nullptr && owned) {}
  ~OwnedMutex() { Close(); }

  OwnedMutex(const OwnedMutex&) = delete;
  OwnedMutex& operator=(const OwnedMutex&) = delete;

  OwnedMutex(OwnedMutex&& other) noexcept
      : mutex_(std::exchange(other.mutex_, nullptr)), owned_(std::exchange(other.owned_, false)) {}
  OwnedMutex& operator=(OwnedMutex&& other) noexcept {
    if (this != &other) {
      Close();
      mutex_ = std::exchange(other.mutex_, nullptr);
      owned_ = std::exchange(other.owned_, false);
    }
    return *this;
  }

  HANDLE get() const noexcept { return mutex_; }
  bool owned() const noexcept { return owned_; }

 private:
  void Close() noexcept {
    if (mutex_ == nullptr) return;
    if (owned_) ReleaseMutex(mutex_);
    CloseHandle(mutex_);
    mutex_ = nullptr;
    owned_ = false;
  }

  HANDLE mutex_ = nullptr;
  bool owned_ = false;
};

// COM on the current thread for this object's lifetime. CoInitialize counts: every
// success (S_OK, or S_FALSE when the thread already had an apartment) needs its own
// CoUninitialize, and a failure (another apartment model) must not get one.
class ComApartment {
 public:
  ComApartment() noexcept : result_(CoInitialize(nullptr)) {}
  ~ComApartment() {
    if (ok()) CoUninitialize();
  }

  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  HRESULT result() const noexcept { return result_; }
  bool ok() const noexcept { return result_ == S_OK || result_ == S_FALSE; }

 private:
  const HRESULT result_;
};

// OLE (drag and drop, clipboard) on the current thread, balanced like ComApartment.
class OleSession {
 public:
  OleSession() noexcept : result_(OleInitialize(nullptr)) {}
  ~OleSession() {
    if (ok()) OleUninitialize();
  }

  OleSession(const OleSession&) = delete;
  OleSession& operator=(const OleSession&) = delete;

  HRESULT result() const noexcept { return result_; }
  bool ok() const noexcept { return result_ == S_OK || result_ == S_FALSE; }

 private:
  const HRESULT result_;
};

// One comctl32 subclass (SetWindowSubclass) on a window, removed when this object goes
// away. Subclasses installed this way chain through DefSubclassProc, so several can sit
// on one window and come off in any order.
class WindowSubclass {
 public:
  WindowSubclass() = default;
  ~WindowSubclass() { Remove(); }

  WindowSubclass(const WindowSubclass&) = delete;
  WindowSubclass& operator=(const WindowSubclass&) = delete;

  // Installs procedure under id with data; a previous installation of this object is
  // removed first. False when the system refuses (no window, another thread's window).
  bool Install(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data) {
    Remove();
    if (window == nullptr || procedure == nullptr) return false;
    if (!SetWindowSubclass(window, procedure, id, data)) return false;
    window_ = window;
    procedure_ = procedure;
    id_ = id;
    return true;
  }

  // Takes the subclass off. Idempotent; a window that is already gone has lost its
  // subclasses with it, so there is nothing to call then.
  void Remove() noexcept {
    if (window_ == nullptr) return;
    if (IsWindow(window_)) RemoveWindowSubclass(window_, procedure_, id_);
    window_ = nullptr;
    procedure_ = nullptr;
    id_ = 0;
  }

  HWND window() const noexcept { return window_; }
  bool installed() const noexcept { return window_ != nullptr; }

 private:
  HWND window_ = nullptr;
  SUBCLASSPROC procedure_ = nullptr;
  UINT_PTR id_ = 0;
};

}  // namespace kestrun::platform
